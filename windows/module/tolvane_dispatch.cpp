#include "windows/module/tolvane_dispatch.h"

#include <oleauto.h>

#include <string>

#include "plugin/com/com_ptr.h"
#include "windows/module/module_state.h"
#include "windows/platform/module_file_info.h"

namespace marqel::windows {

HRESULT STDMETHODCALLTYPE TolvaneDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TolvaneDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  *info = nullptr;
  if (index != 0) {
    return DISP_E_BADINDEX;
  }
  const std::wstring path = platform::win32::ModuleFilePath(ModuleInstance());
  com::ComPtr<ITypeLib> library;
  const HRESULT loaded = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.putTyped());
  if (FAILED(loaded)) {
    return loaded;
  }
  return library->GetTypeInfoOfGuid(IID__Tolvane, info);
}

HRESULT STDMETHODCALLTYPE TolvaneDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                                         DISPID* ids) {
  if (ids == nullptr && count > 0) {
    return E_POINTER;
  }
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TolvaneDispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                  EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace marqel::windows
