#include "wrapper_typelib.h"
// (the OLE headers need windows.h before them)
#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "gen_wrapper.h"
#include "plugin/com/com_ptr.h"

namespace marqel::windows {
namespace {

constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;

std::wstring ModulePath(HINSTANCE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

HRESULT RegisterWrapperTypeLib(HINSTANCE module) {
  std::wstring path = ModulePath(module);
  if (path.empty()) {
    return SELFREG_E_TYPELIB;
  }
  marqel::com::ComPtr<ITypeLib> library;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.putTyped())) ||
      FAILED(::RegisterTypeLib(library.get(), path.data(), nullptr))) {
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterWrapperTypeLib() {
  const HRESULT status =
      ::UnRegisterTypeLib(LIBID_BrelWinAmpGenLib, kLibraryMajor, kLibraryMinor, LANG_NEUTRAL,
                          sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  if (FAILED(status) && status != TYPE_E_REGISTRYACCESS && status != TYPE_E_CANTLOADLIBRARY &&
      status != TYPE_E_LIBNOTREGISTERED) {
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

}  // namespace marqel::windows
