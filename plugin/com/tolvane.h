#pragma once
// The component's one public class, Tolvane. It holds no state of its own: each of the host's
// three calls goes to the module's component, and an error that escapes becomes the call's
// failure status.
#include <atomic>

#include "plugin/com/com_host_link.h"
#include "plugin/com/shell_traits.h"
#include "plugin/lifecycle.h"

namespace marqel::com {

template <ShellTraits Traits>
class ServerModule;

// COM objects go with their last Release, never through an interface pointer; the system's
// interfaces have no virtual destructor (it would take a slot in the table).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <ShellTraits Traits>
class Tolvane final : public Traits::IBrelWinAmpGenPlugin, public Traits::TolvaneExtra {
 public:
  using HRESULT = typename Traits::HRESULT;
  using ULONG = typename Traits::ULONG;
  using IID = typename Traits::IID;
  using Plugin = typename Traits::IBrelWinAmpGenPlugin;

  // Starts with one reference, the creator's; counts as one lock on the module while it lives.
  explicit Tolvane(ServerModule<Traits>& module) : module_(module) { module_.lock(); }

  HRESULT MARQEL_COM_CALL QueryInterface(const IID& riid, void** object) override {
    if (object == nullptr) {
      return Traits::kPointer;
    }
    if (riid == Traits::kIidUnknown || riid == Traits::kIidPlugin) {
      *object = static_cast<Plugin*>(this);
    } else {
      *object = Traits::OtherInterface(*this, riid);
      if (*object == nullptr) {
        return Traits::kNoInterface;
      }
    }
    AddRef();
    return Traits::kOk;
  }
  ULONG MARQEL_COM_CALL AddRef() override { return ++references_; }
  ULONG MARQEL_COM_CALL Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  HRESULT MARQEL_COM_CALL Initialize(typename Traits::IUnknown* Wrapper) override {
    return module_.hostCall([&](Component& component) {
      marqel::Initialize(component, HostLinkFromWrapper<Traits>(Wrapper));
    });
  }
  HRESULT MARQEL_COM_CALL Configure() override {
    return module_.hostCall([](Component& component) { marqel::Configure(component); });
  }
  HRESULT MARQEL_COM_CALL Quit() override {
    return module_.hostCall([](Component& component) { marqel::Quit(component); });
  }

 private:
  ~Tolvane() { module_.unlock(); }

  ServerModule<Traits>& module_;
  std::atomic<ULONG> references_{1};
};
#pragma GCC diagnostic pop

}  // namespace marqel::com
