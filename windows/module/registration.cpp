#include "plugin/com/identifiers.h"
// (before any header that brings in windows.h, whose status macros have the names of the
// identifiers' status constants)
#include "windows/module/registration.h"
// (the OLE headers need windows.h before them)
#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <string_view>

#include "marqel.h"
#include "plugin/com/com_ptr.h"
#include "windows/platform/module_file_info.h"
#include "windows/platform/win32_handles.h"

namespace marqel::windows {
namespace {

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

// Creates `key` under HKEY_CLASSES_ROOT and sets one string value (the default one for an empty
// name).
bool SetClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  platform::win32::UniqueHkey handle;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, handle.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

bool DeleteClassesTree(const std::wstring& key) {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    return false;
  }
  ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return true;
}

// The ProgID is plain ASCII, so widening each character converts it.
std::wstring ProgId() {
  const std::string_view id = com::kTolvaneProgId;
  return std::wstring(id.begin(), id.end());
}

SYSKIND ThisSysKind() {
  return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

}  // namespace

HRESULT RegisterServer(HINSTANCE module) {
  const std::wstring path = platform::win32::ModuleFilePath(module);
  if (path.empty()) {
    return SELFREG_E_CLASS;
  }
  com::ComPtr<ITypeLib> library;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.putTyped()))) {
    return SELFREG_E_TYPELIB;
  }
  std::wstring fullPath = path;  // the call takes a writable string it does not write
  if (FAILED(::RegisterTypeLib(library.get(), fullPath.data(), nullptr))) {
    return SELFREG_E_TYPELIB;
  }

  const std::wstring clsid = GuidText(CLSID_Tolvane);
  const std::wstring classKey = L"CLSID\\" + clsid;
  const std::wstring progId = ProgId();
  const std::wstring libraryVersion =
      std::to_wstring(com::kMarqelLibMajor) + L"." + std::to_wstring(com::kMarqelLibMinor);
  const bool ok =
      SetClassesValue(classKey, nullptr, progId) &&
      SetClassesValue(classKey + L"\\InprocServer32", nullptr, path) &&
      SetClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
      SetClassesValue(classKey + L"\\ProgID", nullptr, progId) &&
      SetClassesValue(classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Marqel)) &&
      SetClassesValue(classKey + L"\\VERSION", nullptr, libraryVersion) &&
      SetClassesValue(progId, nullptr, progId) &&
      SetClassesValue(progId + L"\\CLSID", nullptr, clsid);
  if (!ok) {
    UnregisterServer();
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  const bool classGone = DeleteClassesTree(L"CLSID\\" + GuidText(CLSID_Tolvane));
  const bool progIdGone = DeleteClassesTree(ProgId());
  const HRESULT library = ::UnRegisterTypeLib(LIBID_Marqel, com::kMarqelLibMajor,
                                              com::kMarqelLibMinor, LANG_NEUTRAL, ThisSysKind());
  if (!classGone || !progIdGone) {
    return SELFREG_E_CLASS;
  }
  // A library that was never registered (or is gone already) is no failure.
  if (FAILED(library) && library != TYPE_E_REGISTRYACCESS && library != TYPE_E_CANTLOADLIBRARY &&
      library != TYPE_E_LIBNOTREGISTERED) {
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

}  // namespace marqel::windows
