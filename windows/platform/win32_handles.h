#pragma once
// Owners for the Win32 handle kinds Marqel holds, one line each over UniqueResource. A handle is
// released only by its owner, never by hand.
#include <windows.h>
#include <oleauto.h>

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
using UniqueHkey = UniqueResource<handle_traits::RegistryKey>;
using UniqueBstr = UniqueResource<handle_traits::Bstr>;
using UniqueModule = UniqueResource<handle_traits::Module>;
using UniqueWindow = UniqueResource<handle_traits::Window>;
using UniqueGdiObject = UniqueResource<handle_traits::GdiObject>;

}  // namespace marqel::platform::win32
