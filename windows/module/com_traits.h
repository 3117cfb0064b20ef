#pragma once
// The in-process server shell over the system's COM declarations and the interfaces generated
// from the IDL (marqel.h, gen_wrapper.h).
#include "windows/platform/core_platform.h"
// (before any header that brings in windows.h)
#include <windows.h>

#include <string_view>

#include "gen_wrapper.h"
#include "marqel.h"
#include "plugin/com/shell_traits.h"
#include "windows/module/tolvane_dispatch.h"
#include "windows/platform/win32_handles.h"

namespace marqel::windows {

struct Win32ComTraits {
  using HRESULT = ::HRESULT;
  using ULONG = ::ULONG;
  using BOOL = ::BOOL;
  using IID = ::IID;
  using CLSID = ::CLSID;
  using IUnknown = ::IUnknown;
  using IClassFactory = ::IClassFactory;
  using IBrelWinAmpGenPlugin = ::IBrelWinAmpGenPlugin;
  using IBrelWinAmpGenHost = ::IBrelWinAmpGenHost;
  using WindowHandle = LONG;
  using TolvaneExtra = TolvaneDispatch;

  static inline const IID& kIidUnknown = IID_IUnknown;
  static inline const IID& kIidClassFactory = IID_IClassFactory;
  static inline const IID& kIidPlugin = IID_IBrelWinAmpGenPlugin;
  static inline const IID& kIidHost = IID_IBrelWinAmpGenHost;
  static inline const CLSID& kClsidTolvane = CLSID_Tolvane;

  static constexpr HRESULT kOk = S_OK;
  static constexpr HRESULT kFalse = S_FALSE;
  static constexpr HRESULT kPointer = E_POINTER;
  static constexpr HRESULT kNoInterface = E_NOINTERFACE;
  static constexpr HRESULT kNoAggregation = CLASS_E_NOAGGREGATION;
  static constexpr HRESULT kClassNotAvailable = CLASS_E_CLASSNOTAVAILABLE;
  static constexpr HRESULT kWrongThread = RPC_E_WRONG_THREAD;
  static constexpr HRESULT kUnexpected = E_UNEXPECTED;

  using ThreadId = DWORD;  // 0 is no thread's identifier
  static ThreadId CurrentThread() noexcept { return ::GetCurrentThreadId(); }

  // Raises the Out of memory error when the system has no room for the string.
  static platform::win32::UniqueBstr MakeBstr(std::u16string_view text);

  // _Tolvane, and IDispatch through it.
  template <class Object>
  static void* OtherInterface(Object& object, REFIID iid) {
    if (IsEqualIID(iid, IID__Tolvane) || IsEqualIID(iid, IID_IDispatch)) {
      return static_cast<_Tolvane*>(&object);
    }
    return nullptr;
  }
};

static_assert(com::ShellTraits<Win32ComTraits>);

}  // namespace marqel::windows
