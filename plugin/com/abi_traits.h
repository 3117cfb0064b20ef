#pragma once
// The in-process server shell over the hand-declared binary interface (com_abi.h).
#include <string_view>
#include <thread>

#include "plugin/com/bstr.h"
#include "plugin/com/com_abi.h"
#include "plugin/com/identifiers.h"
#include "plugin/com/shell_traits.h"

namespace marqel::com {

struct AbiTraits {
  using HRESULT = com::HRESULT;
  using ULONG = com::ULONG;
  using BOOL = com::BOOL;
  using IID = com::IID;
  using CLSID = com::CLSID;
  using IUnknown = com::IUnknown;
  using IClassFactory = com::IClassFactory;
  using IBrelWinAmpGenPlugin = com::IBrelWinAmpGenPlugin;
  using IBrelWinAmpGenHost = com::IBrelWinAmpGenHost;
  using WindowHandle = std::int32_t;
  // _Tolvane has no members here (no dispatch): the plug-in interface stands for it.
  struct TolvaneExtra {};

  static constexpr const IID& kIidUnknown = IID_IUnknown;
  static constexpr const IID& kIidClassFactory = IID_IClassFactory;
  static constexpr const IID& kIidPlugin = IID_IBrelWinAmpGenPlugin;
  static constexpr const IID& kIidHost = IID_IBrelWinAmpGenHost;
  static constexpr const CLSID& kClsidTolvane = CLSID_Tolvane;

  static constexpr HRESULT kOk = S_OK;
  static constexpr HRESULT kFalse = S_FALSE;
  static constexpr HRESULT kPointer = E_POINTER;
  static constexpr HRESULT kNoInterface = E_NOINTERFACE;
  static constexpr HRESULT kNoAggregation = CLASS_E_NOAGGREGATION;
  static constexpr HRESULT kClassNotAvailable = CLASS_E_CLASSNOTAVAILABLE;
  static constexpr HRESULT kWrongThread = RPC_E_WRONG_THREAD;
  static constexpr HRESULT kUnexpected = E_UNEXPECTED;

  using ThreadId = std::thread::id;
  static ThreadId CurrentThread() noexcept { return std::this_thread::get_id(); }

  static Bstr MakeBstr(std::u16string_view text) { return Bstr(text); }

  template <class Object>
  static void* OtherInterface(Object& object, const IID& iid) {
    return iid == IID__Tolvane ? static_cast<IBrelWinAmpGenPlugin*>(&object) : nullptr;
  }
};

static_assert(ShellTraits<AbiTraits>);

}  // namespace marqel::com
