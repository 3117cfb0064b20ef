#pragma once
// The class object of Tolvane. One per module; its references count as locks on the module.
#include "plugin/com/com_abi.h"

namespace marqel::module {

class TolvaneClassFactory final : public com::IClassFactory {
 public:
  static TolvaneClassFactory& instance();

  com::HRESULT QueryInterface(const com::IID& riid, void** ppvObject) override;
  com::ULONG AddRef() override;
  com::ULONG Release() override;
  // Runs Main before the first object; an error from it is the call's failure status.
  com::HRESULT CreateInstance(com::IUnknown* pUnkOuter, const com::IID& riid,
                              void** ppvObject) override;
  com::HRESULT LockServer(com::BOOL fLock) override;

 private:
  TolvaneClassFactory() = default;
  ~TolvaneClassFactory() = default;

  com::ULONG references_ = 0;
  com::ULONG serverLocks_ = 0;
};

}  // namespace marqel::module
