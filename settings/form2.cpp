#include "settings/form2.h"

#include <algorithm>
#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "lcd/lcd_protocol.h"
#include "settings/form2_layout.h"

namespace marqel::settings {
namespace {

// Raised for a control that the dialog does not have, or a value a control cannot take.
constexpr std::int32_t kNoSuchControlElement = 340;
constexpr std::int32_t kInvalidPropertyValue = 380;

// What "Set & Save" leaves in DisplayMemory so that the next refresh redraws: a state the
// player never reports, and a text no title equals.
constexpr std::uint8_t kForcedRedrawState = 42;
constexpr std::u16string_view kForcedRedrawArtist = u"ALL YOUR BASE";
constexpr std::u16string_view kForcedRedrawTitle = u"ARE BELONG TO US";

}  // namespace

void Form2::load() {
  // No error handling of its own; the change and click events it fires catch their own.
  pendingPort_ = context_.linkSettings.port;
  pendingContrast_ = context_.linkSettings.contrast;
  lblContrast_ = DecimalText(pendingContrast_);
  notify();
  moveContrastBar(pendingContrast_);
  selectCOM(pendingPort_);
}

void Form2::detachView() {
  if (unloaded_) {
    return;
  }
  unloaded_ = true;
  observer_ = nullptr;
  try {
    context_.views.closeDialog();
  } catch (...) {
    // The component is unloading the dialog whatever its view says.
  }
}

void Form2::setObserver(platform::DialogObserver* observer) {
  observer_ = unloaded_ ? nullptr : observer;
}

std::shared_ptr<platform::ConfigurationDialog> Form2::keepAlive() {
  return weak_from_this().lock();
}

void Form2::notify() {
  if (observer_ != nullptr) {
    observer_->controlsChanged(*this);
  }
}

// --- option buttons --------------------------------------------------------------------------

void Form2::COM_Click(int index) {
  if (unloaded_) {
    return;
  }
  if (index < kFirstPort || index > kLastPort) {
    throw RuntimeError(kNoSuchControlElement,
                       "Control array element '" + std::to_string(index) + "' doesn't exist");
  }
  if (selectedCOM_ != index) {
    selectedCOM_ = index;
    notify();
  }
  // The handler: the port itself is not touched until "Set & Save".
  pendingPort_ = static_cast<std::uint8_t>(index);
}

void Form2::selectCOM(int index) {
  // A hand-edited file can name a port without a button: then none is selected. A selection
  // that changes fires the button's click, as the user's click would.
  if (index >= kFirstPort && index <= kLastPort && index != selectedCOM_) {
    COM_Click(index);
  }
}

// --- contrast bar ----------------------------------------------------------------------------

void Form2::setContrastPosition(int position) {
  if (unloaded_) {
    return;
  }
  if (position < kContrastMin || position > kContrastMax) {
    throw RuntimeError(kInvalidPropertyValue, "Invalid property value: the contrast position " +
                                                  std::to_string(position) +
                                                  " is outside 0 to 127");
  }
  moveContrastBar(position);
}

void Form2::moveContrastBar(int position) {
  // The bar cannot stand outside its range; a contrast above 127 from a hand-edited file puts
  // it at the end.
  const int clamped = std::clamp(position, kContrastMin, kContrastMax);
  if (clamped == contrastPosition_) {
    return;
  }
  contrastPosition_ = clamped;
  notify();
  // The event edge: the change handler has no error handling, and a preview byte that cannot go
  // out (the refresh cycle closed the port while the player is stopped) is simply not sent. One
  // that can goes out at once, as the bar moves.
  try {
    Contrast_Change();
  } catch (const RuntimeError&) {
  }
  context_.link.sendQueued();
}

void Form2::Contrast_Change() {
  pendingContrast_ = static_cast<std::uint8_t>(contrastPosition_);
  lblContrast_ = DecimalText(static_cast<unsigned>(contrastPosition_));
  notify();
  SendContrastByte(context_.link, pendingContrast_);
}

// --- push buttons ----------------------------------------------------------------------------

void Form2::Exit_Click() {
  if (unloaded_) {
    return;
  }
  const auto keepAlive = weak_from_this().lock();
  // The saved contrast, not the pending one. A closed port must not keep the dialog open: the
  // byte is dropped and the dialog unloads all the same.
  ResumeNext([&] { SendContrastByte(context_.link, context_.linkSettings.contrast); });
  context_.link.sendQueued();
  context_.owner.unloadForm2();
}

void Form2::SetSave_Click() {
  if (unloaded_) {
    return;
  }
  // The failure box runs the message loop; Quit may unload the dialog (or the host drop the
  // component) meanwhile.
  const auto keepAlive = weak_from_this().lock();
  try {
    LinkSettings& settings = context_.linkSettings;
    settings.contrast = pendingContrast_;
    settings.port = pendingPort_;
    ReopenPort(context_.link, settings.port);
    SendContrastByte(context_.link, settings.contrast);
    context_.link.waitOnLine(kContrastSettleMs);
    DisplayMemory& memory = context_.displayMemory;
    memory.lastState = kForcedRedrawState;
    memory.lastArtist = kForcedRedrawArtist;
    memory.lastTitle = kForcedRedrawTitle;
    WriteSettingsFile(context_.settingsFile, settings);
  } catch (const RuntimeError& error) {
    context_.messageBoxes.show(u"Error: " + Utf8ToUtf16(error.description()) +
                                   u"\r\nSettings: Port[" + DecimalText(pendingPort_) +
                                   u"] Contrast[" + DecimalText(pendingContrast_) + u"]",
                               platform::MessageIcon::Warning);
    if (unloaded_) {
      return;  // Quit has closed the port already; reaching it now would start the link again
    }
    // The user has been told; a port that refuses to close changes nothing for them.
    ClosePortAfterFailure(context_.link);
  }
}

void Form2::close() {
  if (unloaded_) {
    return;
  }
  const auto keepAlive = weak_from_this().lock();
  context_.owner.unloadForm2();
}

}  // namespace marqel::settings
