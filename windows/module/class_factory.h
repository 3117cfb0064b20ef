#pragma once
// The class object of Tolvane. One per module; its references count as locks on the module.
#include <unknwn.h>
#include <windows.h>

namespace marqel::windows {

// COM objects go with their last Release, never through a base pointer's destructor, and COM
// interfaces have no virtual destructor (it would take a slot in the table).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TolvaneClassFactory final : public IClassFactory {
 public:
  static TolvaneClassFactory& instance();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Runs Main before the first object; an error from it is the call's failure status.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  TolvaneClassFactory() = default;
  ~TolvaneClassFactory() = default;
};
#pragma GCC diagnostic pop

}  // namespace marqel::windows
