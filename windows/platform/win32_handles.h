#pragma once
// Owners for the Win32 handle kinds Marqel holds, one line each over UniqueResource. A handle is
// released only by its owner, never by hand.
#include <oleauto.h>
#include <windows.h>

#include "common/unique_resource.h"

namespace marqel::platform::win32 {

namespace handle_traits {

// Kernel objects that answer failure with a null handle (events, timers, threads).
struct Kernel {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { ::CloseHandle(handle); }
};
// Files and devices: CreateFile answers failure with INVALID_HANDLE_VALUE.
struct File {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) noexcept { ::CloseHandle(handle); }
};
// A directory search of FindFirstFile.
struct FindSearch {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Handle search) noexcept { ::FindClose(search); }
};
struct RegistryKey {
  using Handle = HKEY;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle key) noexcept { ::RegCloseKey(key); }
};
struct Bstr {
  using Handle = BSTR;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle text) noexcept { ::SysFreeString(text); }
};
struct Module {
  using Handle = HMODULE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle module) noexcept { ::FreeLibrary(module); }
};
struct Window {
  using Handle = HWND;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle window) noexcept { ::DestroyWindow(window); }
};
struct GdiObject {
  using Handle = HGDIOBJ;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle object) noexcept { ::DeleteObject(object); }
};

}  // namespace handle_traits

using UniqueHandle = UniqueResource<handle_traits::Kernel>;
using UniqueFileHandle = UniqueResource<handle_traits::File>;
using UniqueFindHandle = UniqueResource<handle_traits::FindSearch>;
using UniqueHkey = UniqueResource<handle_traits::RegistryKey>;
using UniqueBstr = UniqueResource<handle_traits::Bstr>;
using UniqueModule = UniqueResource<handle_traits::Module>;
using UniqueWindow = UniqueResource<handle_traits::Window>;
using UniqueGdiObject = UniqueResource<handle_traits::GdiObject>;

// Closes the file now and answers whether the system accepted the close: a write the system
// deferred can fail only here.
inline bool CloseReporting(UniqueFileHandle& file) {
  return ::CloseHandle(file.release()) != FALSE;
}

}  // namespace marqel::platform::win32
