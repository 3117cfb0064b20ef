#pragma once
// The host object, as the wrapper hands it over, over the hand-declared binary interface. It
// lives on the test's stack, so its count only records what the component holds.
#include <cstdint>
#include <cstring>
#include <string>

#include "plugin/com/bstr.h"
#include "plugin/com/com_abi.h"
#include "plugin/com/identifiers.h"

namespace marqel::test {

class TestHost final : public com::IBrelWinAmpGenHost {
 public:
  com::HRESULT QueryInterface(const com::IID& riid, void** out) override {
    if (riid == com::IID_IUnknown || (offersHostInterface && riid == com::IID_IBrelWinAmpGenHost)) {
      *out = static_cast<com::IBrelWinAmpGenHost*>(this);
      AddRef();
      return com::S_OK;
    }
    *out = nullptr;
    return com::E_NOINTERFACE;
  }
  com::ULONG AddRef() override { return ++references; }
  com::ULONG Release() override { return --references; }
  com::HRESULT Reserved() override { return com::E_NOTIMPL; }
  com::HRESULT SetDescription(com::BSTR text) override {
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, text - 2, sizeof bytes);
    lengthPrefix = bytes;
    description = com::BstrText(text);
    return setDescriptionStatus;
  }
  com::HRESULT GetPlayerWindow(std::int32_t* window) override {
    *window = 0;
    return com::E_FAIL;
  }

  com::ULONG references = 1;
  bool offersHostInterface = true;
  std::u16string description;
  std::uint32_t lengthPrefix = 0;
  com::HRESULT setDescriptionStatus = com::S_OK;
};

}  // namespace marqel::test
