// The in-process server shell that both modules instantiate, here over the hand-declared binary
// interface and a component on recording fakes: what keeps the module loaded, the class
// object's counts, the component's thread, and the host object's reference.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "common/runtime_error.h"
#include "plugin/com/abi_traits.h"
#include "plugin/com/com_ptr.h"
#include "plugin/com/server_module.h"
#include "tests/fakes/fake_platform.h"
#include "tests/plugin/test_host.h"

namespace {

// While set, every allocation through operator new fails: how a test makes "out of memory".
std::atomic<bool> g_allocationsFail{false};

}  // namespace

// These replace the program's own: GCC, seeing free() where a delete expression was inlined,
// would take them for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (g_allocationsFail.load()) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
#pragma GCC diagnostic pop

namespace marqel {
namespace {

using namespace com;
using test::TestHost;
using ::testing::Each;
using ::testing::ElementsAre;

class FakeComponentPlatform final : public ComponentPlatform {
 public:
  FakeComponentPlatform(fake::FakePlatform& fake, fake::SwappedSeams swapped)
      : fake_(fake), swapped_(swapped) {}
  platform::Platform platform() override { return fake_.platform(swapped_); }

 private:
  fake::FakePlatform& fake_;
  fake::SwappedSeams swapped_;
};

// Timers the system cannot make while `failing` is set.
class FailingTimers final : public platform::TimerFactory {
 public:
  explicit FailingTimers(platform::TimerFactory& working) : working_(working) {}
  std::unique_ptr<platform::Timer> createTimer(std::function<void()> onTick) override {
    if (failing) {
      throw RuntimeError(err::kOutOfMemory, "Out of memory");
    }
    return working_.createTimer(std::move(onTick));
  }
  bool failing = true;

 private:
  platform::TimerFactory& working_;
};

class Shell : public ::testing::Test {
 protected:
  ComPtr<IClassFactory> classObject() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(module.getClassObject(CLSID_Tolvane, IID_IClassFactory, factory.put()), S_OK);
    return factory;
  }
  ComPtr<IBrelWinAmpGenPlugin> create() {
    ComPtr<IBrelWinAmpGenPlugin> plugin;
    EXPECT_EQ(classObject()->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, plugin.put()), S_OK);
    return plugin;
  }

  fake::FakePlatform fp;
  fake::SwappedSeams swapped;
  TestHost host;  // outlives the module, whose component may hold it
  int platformsMade = 0;
  ServerModule<AbiTraits> module{[this] {
    ++platformsMade;
    return std::make_unique<FakeComponentPlatform>(fp, swapped);
  }};
};

TEST_F(Shell, UnloadingWaitsForEveryReferenceLockAndOpenWindow) {
  std::vector<HRESULT> answers{module.canUnloadNow()};
  {
    ComPtr<IClassFactory> factory = classObject();
    answers.push_back(module.canUnloadNow());  // a class-object reference
    factory->LockServer(1);
  }
  answers.push_back(module.canUnloadNow());  // a server lock
  {
    ComPtr<IClassFactory> factory = classObject();
    factory->LockServer(0);
    factory->LockServer(0);  // one more than was locked
  }
  answers.push_back(module.canUnloadNow());

  ComPtr<IBrelWinAmpGenPlugin> plugin = create();
  answers.push_back(module.canUnloadNow());  // a live object
  plugin.reset();
  answers.push_back(module.canUnloadNow());  // no object, but the link window and its timer
  plugin = create();
  plugin->Quit();
  plugin.reset();
  answers.push_back(module.canUnloadNow());

  // The host lets its object go while the dialog is open: the dialog alone keeps the module.
  plugin = create();
  fp.dialogs.whileOpen = [&](platform::ConfigurationDialog&) {
    plugin.reset();
    answers.push_back(module.canUnloadNow());
  };
  IBrelWinAmpGenPlugin* configuring = plugin.get();
  EXPECT_EQ(configuring->Configure(), S_OK);
  answers.push_back(module.canUnloadNow());

  EXPECT_THAT(answers,
              ElementsAre(S_OK, S_FALSE, S_FALSE, S_OK, S_FALSE, S_FALSE, S_OK, S_FALSE, S_OK));
}

TEST_F(Shell, ClassObjectCountsItsReferencesAndIgnoresASurplusRelease) {
  IClassFactory* factory = classObject().detach();
  EXPECT_EQ(factory->AddRef(), 2u);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(factory->Release(), 0u) << "one Release too many";
  EXPECT_EQ(module.canUnloadNow(), S_OK);
  ComPtr<IClassFactory> again = classObject();
  EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "the surplus Release took nothing off the module";
}

TEST_F(Shell, CallsFromAnotherThreadAreRefused) {
  ComPtr<IClassFactory> factory = classObject();
  ComPtr<IBrelWinAmpGenPlugin> plugin = create();
  const std::size_t bytesBefore = fp.recorder.bytes().size();

  std::vector<HRESULT> statuses;
  ComPtr<IBrelWinAmpGenPlugin> other;
  std::thread([&] {
    statuses.push_back(factory->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, other.put()));
    statuses.push_back(plugin->Initialize(&host));
    statuses.push_back(plugin->Configure());
    statuses.push_back(plugin->Quit());
  }).join();

  EXPECT_THAT(statuses, Each(RPC_E_WRONG_THREAD));
  EXPECT_EQ(statuses.size(), 4u);
  EXPECT_FALSE(other);
  EXPECT_EQ(host.references, 1u);
  EXPECT_EQ(fp.dialogs.shown, 0);
  EXPECT_EQ(fp.recorder.bytes().size(), bytesBefore) << "the refused Quit sent nothing";
  EXPECT_EQ(plugin->Quit(), S_OK) << "the component's own thread is still served";
}

TEST_F(Shell, TheHostIsLetGoWhenTheLinkCannotBeMade) {
  ComPtr<IBrelWinAmpGenPlugin> plugin = create();
  TestHost stranger;
  stranger.offersHostInterface = false;
  EXPECT_EQ(plugin->Initialize(&stranger), FailureStatusOf(err::kTypeMismatch));
  EXPECT_EQ(stranger.references, 1u);

  g_allocationsFail = true;
  const HRESULT status = plugin->Initialize(&host);
  g_allocationsFail = false;
  EXPECT_EQ(status, FailureStatusOf(err::kOutOfMemory));
  EXPECT_EQ(host.references, 1u) << "the reference the link was to keep is released";

  EXPECT_EQ(plugin->Initialize(&host), S_OK);
  EXPECT_EQ(host.references, 2u);
  plugin->Quit();
}

TEST_F(Shell, AnErrorFromMainIsTheCreationStatusAndTheNextCreationTriesAgain) {
  FailingTimers timers(fp.timers);
  swapped.timers = &timers;
  ComPtr<IClassFactory> factory = classObject();
  ComPtr<IBrelWinAmpGenPlugin> plugin;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, plugin.put()),
            FailureStatusOf(err::kOutOfMemory));
  EXPECT_FALSE(plugin);
  EXPECT_TRUE(fp.recorder.bytes().empty());

  timers.failing = false;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, plugin.put()), S_OK);
  ASSERT_TRUE(plugin);
  EXPECT_FALSE(fp.recorder.bytes().empty()) << "Main ran to the link start-up this time";
  EXPECT_EQ(platformsMade, 1);
  plugin->Quit();
}

}  // namespace
}  // namespace marqel
