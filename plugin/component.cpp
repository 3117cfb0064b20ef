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

platform::SerialPort& Component::MSComm1() {
  if (!form1_) {
    loadForm1();
  }
  return *form1_->MSComm1;
}

platform::Timer& Component::Timer1() {
  if (!form1_) {
    loadForm1();
  }
  return *form1_->Timer1;
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
    form2_ = std::make_unique<settings::Form2>(*this);
    form2_->load();
  }
  return *form2_;
}

void Component::unloadForm2() {
  if (form2_) {
    form2_->detachView();
    form2_.reset();
  }
}

void Component::waitOnLine(std::int32_t ms) {
  if (form1_ && form1_->MSComm1) {
    // Not being able to drain is no reason to skip the wait itself.
    ResumeNext([&] { form1_->MSComm1->drain(); });
  }
  platform_.delay.DELAY(ms);
}

}  // namespace marqel
