#pragma once
// The default interface of Tolvane, _Tolvane: a dual dispatch interface without members. The
// shell's Tolvane object derives from this and supplies IUnknown for both of its interfaces.
#include <windows.h>

#include "marqel.h"

namespace marqel::windows {

// COM interfaces have no virtual destructor (it would take a slot in the table); objects go with
// their last Release, never through a pointer to this part.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TolvaneDispatch : public _Tolvane {
 public:
  // Its type information comes from the type library inside the module's file.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  // No names are known and nothing can be invoked.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 protected:
  TolvaneDispatch() = default;
  ~TolvaneDispatch() = default;
};
#pragma GCC diagnostic pop

}  // namespace marqel::windows
