#include "plugin/component.h"

#include "common/runtime_error.h"
#include "display/refresh_cycle.h"
#include "plugin/link_startup.h"
#include "settings/form2.h"

namespace marqel {

Component::Component(const platform::Platform& platform) : platform_(platform) {}

Component::~Component() {
  // Unloading the component drops the windows without running any of their handlers.
  if (form2_) {
    form2_->detachView();
  }
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
  return *loadedForm1().MSComm1;
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
    const auto form = std::make_shared<settings::Form2>(*this);
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

void Component::waitOnLine(std::int32_t ms) {
  if (form1_ && form1_->MSComm1) {
    // Not being able to drain is no reason to skip the wait itself.
    ResumeNext([&] { form1_->MSComm1->drain(); });
  }
  platform_.delay.DELAY(ms);
}

namespace {

void CloseIfOpen(Component& component) {
  if (component.MSComm1().portOpen()) {
    component.MSComm1().close();
  }
}

}  // namespace

void OpenPortIfClosed(Component& component) {
  if (ResumeNextCondition([&] { return !component.MSComm1().portOpen(); })) {
    ResumeNext([&] { component.MSComm1().open(); });
  }
}

void ClosePortIfOpen(Component& component) {
  if (ResumeNextCondition([&] { return component.MSComm1().portOpen(); })) {
    ResumeNext([&] { component.MSComm1().close(); });
  }
}

void ReopenPort(Component& component, std::uint8_t port) {
  // The number may only change while the port is closed.
  CloseIfOpen(component);
  component.MSComm1().setCommPort(port);
  if (!component.MSComm1().portOpen()) {
    component.MSComm1().open();
  }
}

void ClosePortAfterFailure(Component& component) {
  ResumeNext([&] { CloseIfOpen(component); });
}

}  // namespace marqel
