#pragma once
// The class object of Tolvane: one per module, living as long as the module. Its references and
// server locks count as locks on the module.
#include <atomic>

#include "plugin/com/com_ptr.h"
#include "plugin/com/shell_traits.h"
#include "plugin/com/tolvane.h"

namespace marqel::com {

template <ShellTraits Traits>
class ServerModule;

// COM objects go with their last Release, never through an interface pointer; the system's
// interfaces have no virtual destructor (it would take a slot in the table).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <ShellTraits Traits>
class ClassFactory final : public Traits::IClassFactory {
 public:
  using HRESULT = typename Traits::HRESULT;
  using ULONG = typename Traits::ULONG;
  using IID = typename Traits::IID;

  explicit ClassFactory(ServerModule<Traits>& module) : module_(module) {}
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT MARQEL_COM_CALL QueryInterface(const IID& riid, void** object) override {
    if (object == nullptr) {
      return Traits::kPointer;
    }
    if (riid == Traits::kIidUnknown || riid == Traits::kIidClassFactory) {
      *object = static_cast<typename Traits::IClassFactory*>(this);
      AddRef();
      return Traits::kOk;
    }
    *object = nullptr;
    return Traits::kNoInterface;
  }
  ULONG MARQEL_COM_CALL AddRef() override {
    module_.lock();
    return ++references_;
  }
  // A surplus Release answers 0 and leaves the module's count alone.
  ULONG MARQEL_COM_CALL Release() override {
    ULONG held = references_.load();
    do {
      if (held == 0) {
        return 0;
      }
    } while (!references_.compare_exchange_weak(held, held - 1));
    module_.unlock();
    return held - 1;
  }

  // Runs Main before the first object; an error from it is the call's failure status, and the
  // next call tries again. Only the thread the component lives on may create objects.
  HRESULT MARQEL_COM_CALL CreateInstance(typename Traits::IUnknown* outer, const IID& riid,
                                         void** object) override {
    if (object == nullptr) {
      return Traits::kPointer;
    }
    *object = nullptr;
    if (outer != nullptr) {
      return Traits::kNoAggregation;
    }
    if (!module_.claimComponentThread()) {
      return Traits::kWrongThread;
    }
    ComPtr<Tolvane<Traits>> created;
    const HRESULT made = ServerModule<Traits>::StatusOf([&] {
      module_.componentForNewObject();
      created = ComPtr<Tolvane<Traits>>::attach(new Tolvane<Traits>(module_));
    });
    if (made < 0) {
      return made;
    }
    // Without the interface asked for, the object goes again with `created`.
    return created->QueryInterface(riid, object);
  }

  // Unlocking more often than locking changes nothing.
  HRESULT MARQEL_COM_CALL LockServer(typename Traits::BOOL lock) override {
    if (lock) {
      ++serverLocks_;
      module_.lock();
      return Traits::kOk;
    }
    ULONG held = serverLocks_.load();
    do {
      if (held == 0) {
        return Traits::kOk;
      }
    } while (!serverLocks_.compare_exchange_weak(held, held - 1));
    module_.unlock();
    return Traits::kOk;
  }

 private:
  ServerModule<Traits>& module_;
  std::atomic<ULONG> references_{0};
  std::atomic<ULONG> serverLocks_{0};
};
#pragma GCC diagnostic pop

}  // namespace marqel::com
