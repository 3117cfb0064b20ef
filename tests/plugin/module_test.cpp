// The module as a host loads it: its four entry points, the class object, reference counts, the
// object's three calls, and self-registration.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/runtime_error.h"
#include "linux/system/registry.h"
#include "linux/system/session.h"
#include "plugin/com/bstr.h"
#include "plugin/com/com_ptr.h"
#include "plugin/com/identifiers.h"
#include "plugin/version_record.h"
#include "tests/plugin/test_host.h"

namespace marqel {
namespace {

using namespace com;
using ::testing::HasSubstr;

class RecordingBoxes final : public platform::MessageBoxes {
 public:
  void show(std::u16string_view text, platform::MessageIcon) override { shown.emplace_back(text); }
  std::vector<std::u16string> shown;
};

using test::TestHost;

// A copy of the module in a scratch directory (its settings file is the test's own), loaded
// as a host loads it, with a session whose COM1 goes nowhere harmful.
class Module : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/marqel-module-test-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::filesystem::copy_file(MARQEL_MODULE_PATH, dir_ / "Marqel.so");
    session_.comPorts[1] = (dir_ / "no-such-port").string();
    system::SetCurrentSession(&session_);
    handle_ = ::dlopen((dir_ / "Marqel.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << ::dlerror();
    getClassObject_ = reinterpret_cast<DllGetClassObjectFn>(::dlsym(handle_, "DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(handle_, "DllCanUnloadNow"));
    register_ = reinterpret_cast<DllRegisterServerFn>(::dlsym(handle_, "DllRegisterServer"));
    unregister_ = reinterpret_cast<DllUnregisterServerFn>(::dlsym(handle_, "DllUnregisterServer"));
    ASSERT_TRUE(getClassObject_ && canUnloadNow_ && register_ && unregister_);
  }
  void TearDown() override {
    if (handle_ != nullptr) {
      EXPECT_EQ(canUnloadNow_(), S_OK) << "a test left something of the module in use";
      ::dlclose(handle_);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  IClassFactory* factory() {
    void* out = nullptr;
    EXPECT_EQ(getClassObject_(CLSID_Tolvane, IID_IClassFactory, &out), S_OK);
    return static_cast<IClassFactory*>(out);
  }

  IBrelWinAmpGenPlugin* create() {
    IClassFactory* classObject = factory();
    void* out = nullptr;
    EXPECT_EQ(classObject->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, &out), S_OK);
    classObject->Release();
    return static_cast<IBrelWinAmpGenPlugin*>(out);
  }

  std::filesystem::path dir_;
  // Host objects live until the module lets them go, at its unload.
  TestHost host_;
  TestHost stranger_;
  TestHost failing_;
  platform::EventLoop loop_{true};
  platform::WindowTable windows_;
  RecordingBoxes boxes_;
  system::Session session_{loop_, windows_, boxes_};
  void* handle_ = nullptr;
  DllGetClassObjectFn getClassObject_ = nullptr;
  DllCanUnloadNowFn canUnloadNow_ = nullptr;
  DllRegisterServerFn register_ = nullptr;
  DllUnregisterServerFn unregister_ = nullptr;
};

TEST_F(Module, ExportsOnlyItsFourEntryPoints) {
  for (const char* hidden :
       {"_ZN6marqel4MainERNS_9ComponentE", "_ZN6marqel4QuitERNS_9ComponentE"}) {
    EXPECT_EQ(::dlsym(handle_, hidden), nullptr) << hidden;
  }
}

TEST_F(Module, ClassObjectOnlyForTolvane) {
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(getClassObject_(IID__Tolvane, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(getClassObject_(CLSID_Tolvane, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject_(CLSID_Tolvane, IID_IBrelWinAmpGenPlugin, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(getClassObject_(CLSID_Tolvane, IID_IUnknown, &out), S_OK);
  ASSERT_NE(out, nullptr);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_TRUE(boxes_.shown.empty()) << "handing out the class object starts nothing";
}

TEST_F(Module, ReferencesAndLocksKeepTheModuleLoaded) {
  EXPECT_EQ(canUnloadNow_(), S_OK);
  IClassFactory* classObject = factory();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(classObject->LockServer(1), S_OK);
  classObject->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a server lock";
  classObject = factory();
  EXPECT_EQ(classObject->LockServer(0), S_OK);
  EXPECT_EQ(classObject->LockServer(0), S_OK) << "an unbalanced unlock changes nothing";

  void* out = nullptr;
  ASSERT_EQ(classObject->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, &out), S_OK);
  classObject->Release();
  auto* plugin = static_cast<IBrelWinAmpGenPlugin*>(out);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a live object";
  EXPECT_EQ(plugin->AddRef(), 2u);
  EXPECT_EQ(plugin->Release(), 1u);

  // The same object answers for IUnknown, its plug-in interface and _Tolvane; not for IDispatch.
  for (const IID& iid : {IID_IUnknown, IID_IBrelWinAmpGenPlugin, IID__Tolvane}) {
    void* same = nullptr;
    EXPECT_EQ(plugin->QueryInterface(iid, &same), S_OK);
    EXPECT_EQ(same, plugin);
    static_cast<IUnknown*>(same)->Release();
  }
  void* none = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(plugin->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  EXPECT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(plugin->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(Module, TheLinkWindowKeepsTheModuleAndOtherThreadsAreRefused) {
  ComPtr<IBrelWinAmpGenPlugin>::attach(create()).reset();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the link window and its timer live in the module";

  const auto classObject = ComPtr<IClassFactory>::attach(factory());
  ComPtr<IBrelWinAmpGenPlugin> plugin;
  HRESULT elsewhere = S_OK;
  std::thread([&] {
    elsewhere = classObject->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, plugin.put());
  }).join();
  EXPECT_EQ(elsewhere, RPC_E_WRONG_THREAD);
  EXPECT_FALSE(plugin);

  ASSERT_EQ(classObject->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, plugin.put()), S_OK);
  EXPECT_EQ(plugin->Quit(), S_OK);
}

TEST_F(Module, AggregationIsRefused) {
  IClassFactory* classObject = factory();
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(classObject->CreateInstance(&host_, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  classObject->Release();
}

TEST_F(Module, MainRunsOnceBeforeTheFirstObject) {
  IBrelWinAmpGenPlugin* first = create();
  IBrelWinAmpGenPlugin* second = create();
  // One notice (no settings file beside the module), one start-up failure (the port's device
  // does not exist): Main and the link start-up ran once for both objects.
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].rfind(u"No settings file found.", 0), 0u);
  EXPECT_NE(boxes_.shown[1].find(u"\r\nPort = 1"), std::u16string::npos);
  EXPECT_EQ(first->Quit(), S_OK);
  first->Release();
  second->Release();
}

TEST_F(Module, HostCallsReturnStatuses) {
  IBrelWinAmpGenPlugin* plugin = create();
  EXPECT_EQ(plugin->Initialize(&host_), S_OK);
  EXPECT_EQ(host_.description, u"Pellucor v.1.1 by Tolvane (https://marqel.example.org)");
  EXPECT_EQ(host_.lengthPrefix, host_.description.size() * 2);
  EXPECT_EQ(host_.references, 2u) << "the component keeps the host";

  EXPECT_EQ(plugin->Initialize(nullptr), FailureStatusOf(err::kObjectNotSet));
  EXPECT_EQ(host_.references, 1u) << "the host it had is let go when another is stored";
  stranger_.offersHostInterface = false;
  EXPECT_EQ(plugin->Initialize(&stranger_), FailureStatusOf(err::kTypeMismatch));
  failing_.setDescriptionStatus = E_FAIL;
  EXPECT_EQ(plugin->Initialize(&failing_), E_FAIL) << "the host's own status comes back";

  EXPECT_EQ(plugin->Configure(), S_OK) << "no way to show the dialog: it closes at once";
  EXPECT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(plugin->Quit(), S_OK);
  plugin->Release();
}

TEST_F(Module, TheSessionEndingDropsTheComponentAndReleasesTheHost) {
  TestHost& host = host_;
  {
    platform::EventLoop loop(true);
    platform::WindowTable windows;
    RecordingBoxes boxes;
    auto session = std::make_unique<system::Session>(loop, windows, boxes);
    system::SetCurrentSession(session.get());
    // A copy of its own, so the component is made on this session.
    const auto copy = dir_ / "Second.so";
    std::filesystem::copy_file(dir_ / "Marqel.so", copy);
    void* second = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(second, nullptr);
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFn>(::dlsym(second, "DllGetClassObject"));
    void* out = nullptr;
    ASSERT_EQ(getClassObject(CLSID_Tolvane, IID_IClassFactory, &out), S_OK);
    auto* classObject = static_cast<IClassFactory*>(out);
    ASSERT_EQ(classObject->CreateInstance(nullptr, IID_IBrelWinAmpGenPlugin, &out), S_OK);
    classObject->Release();
    auto* plugin = static_cast<IBrelWinAmpGenPlugin*>(out);
    ASSERT_EQ(plugin->Initialize(&host), S_OK);
    EXPECT_EQ(host.references, 2u);
    session.reset();  // the host tears its session down while the component still runs on it
    EXPECT_EQ(host.references, 1u);
    plugin->Release();
    ::dlclose(second);
  }
  system::SetCurrentSession(&session_);
}

class Registration : public Module {
 protected:
  void SetUp() override {
    Module::SetUp();
    saved_ = Saved("XDG_CONFIG_HOME");
    savedHome_ = Saved("HOME");
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  }
  void TearDown() override {
    Restore("XDG_CONFIG_HOME", saved_);
    Restore("HOME", savedHome_);
    Module::TearDown();
  }
  static std::optional<std::string> Saved(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  std::optional<std::string> saved_;
  std::optional<std::string> savedHome_;
};

TEST_F(Registration, RegisterRecordsTheClassAndUnregisterRemovesIt) {
  ASSERT_EQ(register_(), S_OK);
  const system::Registry registry(dir_ / "config" / "marqel" / "registry.ini");
  const auto entry = registry.findClass("{7a56bc4e-24b3-4dbb-bed7-2f13f7d19f22}");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->modulePath, std::filesystem::canonical(dir_ / "Marqel.so").string());
  EXPECT_EQ(entry->progId, "Marqel.Tolvane");
  EXPECT_EQ(entry->typeLib, "{E1EB66E6-29DD-43D4-A941-C036E6923C3B}");
  EXPECT_EQ(entry->typeLibVersion, "1.0");
  EXPECT_EQ(entry->threadingModel, "Apartment");
  EXPECT_TRUE(registry.findProgId("Marqel.Tolvane").has_value());

  ASSERT_EQ(register_(), S_OK) << "registering again replaces the entry";
  EXPECT_EQ(registry.classes().size(), 1u);

  ASSERT_EQ(unregister_(), S_OK);
  EXPECT_FALSE(registry.findClass(GuidText(CLSID_Tolvane)).has_value());
  EXPECT_EQ(unregister_(), S_OK) << "nothing to remove is no failure";
}

TEST_F(Registration, FallsBackToHomeAndReportsARegistryItCannotWrite) {
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", (dir_ / "home").c_str(), 1);
  ASSERT_EQ(register_(), S_OK);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "home" / ".config" / "marqel" / "registry.ini"));

  // A file where the directory should be: the failure is a status, not a crash.
  std::ofstream(dir_ / "blocked") << "x";
  ::setenv("XDG_CONFIG_HOME", (dir_ / "blocked").c_str(), 1);
  EXPECT_EQ(register_(), SELFREG_E_CLASS);
}

TEST(RegistryFile, MalformedLinesAreReportedWithTheirNumber) {
  char pattern[] = "/tmp/marqel-registry-test-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(pattern);
  std::ofstream(dir / "registry.ini") << "# classes\n[{1}]\nProgID=A\nnot a value\n";
  const system::Registry registry(dir / "registry.ini");
  try {
    registry.classes();
    ADD_FAILURE() << "a malformed line was accepted";
  } catch (const system::RegistryError& error) {
    EXPECT_THAT(error.what(), HasSubstr("registry.ini:4: expected Key=Value"));
  }
  std::filesystem::remove_all(dir);
}

TEST(VersionRecord, NumbersAndTextsComeFromOneVersion) {
  char record[32];
  std::snprintf(record, sizeof record, "%u.%02u.%04u", unsigned{version::kMajor},
                unsigned{version::kMinor}, unsigned{version::kRevision});
  EXPECT_STREQ(version::kFileVersion, record);
  EXPECT_STREQ(version::kProductVersion, record);
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u", unsigned{version::kMajor}, unsigned{version::kMinor},
                unsigned{version::kRevision});
  EXPECT_STREQ(MARQEL_VERSION_TEXT, text);
}

TEST(GuidText, RoundTripsAndRejectsOtherForms) {
  EXPECT_EQ(GuidText(CLSID_Tolvane), "{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F22}");
  EXPECT_EQ(ParseGuid("{7a56bc4e-24b3-4dbb-bed7-2f13f7d19f22}"), CLSID_Tolvane);
  EXPECT_EQ(ParseGuid("7A56BC4E-24B3-4DBB-BED7-2F13F7D19F22"), CLSID_Tolvane);
  for (const char* bad :
       {"", "{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F2}", "{7A56BC4E+24B3-4DBB-BED7-2F13F7D19F22}",
        "{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F2G}"}) {
    EXPECT_FALSE(ParseGuid(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace marqel
