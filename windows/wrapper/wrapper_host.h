#pragma once
// The host object the wrapper hands the component: it keeps the component's description (and
// shows it as the plug-in's name in the player's list) and names the player's main window.
#include <windows.h>

#include <string>

#include "gen_wrapper.h"

namespace marqel::windows {

struct GeneralPurposePlugin;

// COM objects go with their last Release, never through a base pointer's destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class WrapperHost final : public IBrelWinAmpGenHost {
 public:
  explicit WrapperHost(GeneralPurposePlugin& header) : header_(header) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  // The object lives as long as the wrapper's DLL; the count only tells who still holds it.
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Reserved() override;
  HRESULT STDMETHODCALLTYPE SetDescription(BSTR description) override;
  HRESULT STDMETHODCALLTYPE GetPlayerWindow(LONG* window) override;

 private:
  GeneralPurposePlugin& header_;
  std::string description_;  // in the ANSI code page, as the player's list shows it
  LONG references_ = 0;
};
#pragma GCC diagnostic pop

}  // namespace marqel::windows
