#pragma once
// The binary interface between the host and the component, laid out as COM lays it out: an
// interface pointer points at a pointer to a table of functions, whose first three slots are
// QueryInterface, AddRef and Release. Declared here because no COM headers exist on Linux; the
// vtable of a class with only pure virtual functions (and no virtual destructor) has exactly
// these slots, in declaration order.
#include <cstdint>
#include <cstring>

namespace marqel::com {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
// A wide string as the host's set-description operation takes it: UTF-16, zero-terminated, with
// its length in bytes in the 32 bits before the first character (see plugin/com/bstr.h).
using BSTR = char16_t*;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
// A call from another thread than the one the object lives on.
inline constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010Eu);
inline constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

inline bool Failed(HRESULT status) {
  return status < 0;
}

// Interfaces have no virtual destructor (it would take a slot): objects go with Release().
struct IUnknown {
  virtual HRESULT QueryInterface(const IID& riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, const IID& riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The plug-in interface of the host's wrapper (type library BrelWinAmpGenLib), which the class
// Tolvane implements.
struct IBrelWinAmpGenPlugin : IUnknown {
  virtual HRESULT Initialize(IUnknown* Wrapper) = 0;
  virtual HRESULT Configure() = 0;
  virtual HRESULT Quit() = 0;

 protected:
  ~IBrelWinAmpGenPlugin() = default;
};

// The host object's interface, handed over as Initialize's Wrapper.
struct IBrelWinAmpGenHost : IUnknown {
  // Not used by the component.
  virtual HRESULT Reserved() = 0;
  virtual HRESULT SetDescription(BSTR description) = 0;
  // The player's main window handle (a 32-bit window handle).
  virtual HRESULT GetPlayerWindow(std::int32_t* window) = 0;

 protected:
  ~IBrelWinAmpGenHost() = default;
};

// The module's exported entry points, as a host looks them up.
using DllGetClassObjectFn = HRESULT (*)(const CLSID& rclsid, const IID& riid, void** ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

}  // namespace marqel::com
