#pragma once
// Every service the portable core takes from the system it runs on. Each platform (and each test)
// hands the component one of these; the core never reaches the system any other way.
#include "platform/delay.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/module_info.h"
#include "platform/player_window.h"
#include "platform/serial_port.h"
#include "platform/settings_files.h"
#include "platform/text.h"
#include "platform/timer.h"

namespace marqel::platform {

struct Platform {
  SerialPortFactory& serialPorts;
  Delay& delay;
  const CodePage& codePage;
  const TextCase& textCase;
  MessageBoxes& messageBoxes;
  TimerFactory& timers;
  PlayerWindows& playerWindows;
  const ModuleInfo& module;
  SettingsFiles& files;
  DialogViews& dialogs;
};

}  // namespace marqel::platform
