#pragma once
// What the in-process server shell (server_module.h, class_factory.h, tolvane.h,
// com_host_link.h) needs from a platform: the interface types and identifiers, the status codes,
// who the calling thread is, and how a BSTR is made. The hand-declared binary interface supplies
// them in abi_traits.h; the Windows module supplies the system's own.
#include <concepts>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/platform.h"

// The calling convention of every interface method: the system's (stdcall) on 32-bit Windows,
// the compiler's own elsewhere.
#if defined(_WIN32)
#define MARQEL_COM_CALL __stdcall
#else
#define MARQEL_COM_CALL
#endif

namespace marqel::com {

// A Traits type for the shell gives:
//   types      HRESULT, ULONG, BOOL, IID, CLSID; the interfaces IUnknown, IClassFactory,
//              IBrelWinAmpGenPlugin, IBrelWinAmpGenHost; WindowHandle, the host's
//              GetPlayerWindow out type; TolvaneExtra, a further base of the Tolvane object
//              (an empty struct when there is none)
//   identifiers kIidUnknown, kIidClassFactory, kIidPlugin, kIidHost, kClsidTolvane
//   statuses   kOk, kFalse, kPointer, kNoInterface, kNoAggregation, kClassNotAvailable,
//              kWrongThread, kUnexpected
//   ThreadId   with ThreadId{} meaning "no thread", and CurrentThread()
//   MakeBstr(text)  an owner of a new BSTR, with get(); raises the Out of memory error
//   OtherInterface(object, iid)  the pointer for an interface the Tolvane object answers beyond
//              IUnknown and IBrelWinAmpGenPlugin, or nullptr
template <class T>
concept ShellTraits = requires(std::u16string_view text, const typename T::IID& iid) {
  typename T::HRESULT;
  typename T::ULONG;
  typename T::BOOL;
  typename T::CLSID;
  typename T::IUnknown;
  typename T::IClassFactory;
  typename T::IBrelWinAmpGenPlugin;
  typename T::IBrelWinAmpGenHost;
  typename T::WindowHandle;
  typename T::TolvaneExtra;
  { T::kIidUnknown } -> std::convertible_to<const typename T::IID&>;
  { T::kIidClassFactory } -> std::convertible_to<const typename T::IID&>;
  { T::kIidPlugin } -> std::convertible_to<const typename T::IID&>;
  { T::kIidHost } -> std::convertible_to<const typename T::IID&>;
  { T::kClsidTolvane } -> std::convertible_to<const typename T::CLSID&>;
  { T::kOk } -> std::convertible_to<typename T::HRESULT>;
  { T::kFalse } -> std::convertible_to<typename T::HRESULT>;
  { T::kPointer } -> std::convertible_to<typename T::HRESULT>;
  { T::kNoInterface } -> std::convertible_to<typename T::HRESULT>;
  { T::kNoAggregation } -> std::convertible_to<typename T::HRESULT>;
  { T::kClassNotAvailable } -> std::convertible_to<typename T::HRESULT>;
  { T::kWrongThread } -> std::convertible_to<typename T::HRESULT>;
  { T::kUnexpected } -> std::convertible_to<typename T::HRESULT>;
  { T::CurrentThread() } -> std::same_as<typename T::ThreadId>;
  {T::MakeBstr(text).get()};
};

// The platform a home gives the component: the seams it runs on, alive as long as this object.
class ComponentPlatform {
 public:
  virtual ~ComponentPlatform() = default;
  virtual platform::Platform platform() = 0;
};

}  // namespace marqel::com
