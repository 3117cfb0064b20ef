#include "plugin/component.h"

#include "common/runtime_error.h"
#include "plugin/link_startup.h"

namespace marqel {

Component::Component(const platform::Platform& platform)
    : platform_(platform),
      lcdLink_(*this, platform_.delay, platform_.codePage),
      hostPlayerWindow_(hostLink) {}

Component::~Component() {
  // Unloading the component drops the windows without running any of their handlers.
  if (form2_) {
    form2_->detachView();
  }
}

Player Component::player() {
  return Player{hostPlayerWindow_, platform_.playerWindows, platform_.codePage};
}

NowPlaying Component::nowPlaying() {
  return NowPlaying{player(), lcdLink_, platform_.textCase, displayMemory, refreshBuffers_};
}

settings::SettingsFileAccess Component::settingsFile() {
  return settings::SettingsFileAccess{pluginDirectory, platform_.files, platform_.messageBoxes};
}

Form1& Component::loadedForm1() {
  if (!form1_) {
    loadForm1();
  }
  // The start-up's failure box keeps the message loop running; a Quit delivered meanwhile
  // unloads the window again before its load step has returned.
  if (!form1_) {
    throw RuntimeError(err::kObjectNotSet, "The link window was closed while it was starting");
  }
  return *form1_;
}

platform::SerialPort& Component::MSComm1() {
  // Loaded, as it is for nearly every byte the link sends: no call beyond this one.
  if (form1_) {
    return *form1_->MSComm1;
  }
  return *loadedForm1().MSComm1;
}

platform::SerialPort* Component::loadedMSComm1() {
  return form1_ ? form1_->MSComm1.get() : nullptr;
}

platform::Timer& Component::Timer1() {
  return *loadedForm1().Timer1;
}

void Component::loadForm1() {
  if (form1_) {
    return;
  }
  auto form = std::make_unique<Form1>();
  form->MSComm1 = platform_.serialPorts.createSerialPort();
  form->Timer1 = platform_.timers.createTimer([this] { OnTimer1Tick(*this); });
  // The window counts as loaded from here on, so its own load step reaches its controls.
  form1_ = std::move(form);
  RunLinkStartup(*this);
}

void Component::unloadForm1() {
  // Destroying the controls stops the timer and releases the port.
  form1_.reset();
}

settings::Form2& Component::form2() {
  if (!form2_) {
    // Held here while its load step runs: the contrast preview may load Form1, whose failure
    // box keeps the message loop running, and a Quit delivered meanwhile unloads the dialog.
    const auto form = std::make_shared<settings::Form2>(
        settings::Form2Context{*this, linkSettings, lcdLink_, displayMemory, settingsFile(),
                               platform_.messageBoxes, platform_.dialogs});
    form2_ = form;
    form->load();
    if (form2_ != form) {
      throw RuntimeError(err::kObjectNotSet, "The dialog was closed while it was loading");
    }
  }
  return *form2_;
}

void Component::unloadForm2() {
  // Taken out first: detaching closes the view, which must find the dialog already unloaded.
  // A view still inside its modal loop holds its own reference, so the dialog is destroyed only
  // once that loop has unwound.
  if (auto form = std::move(form2_)) {
    form->detachView();
  }
}

}  // namespace marqel
