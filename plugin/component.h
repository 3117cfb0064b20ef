#pragma once
// The component-wide state: one object per loaded component. The module's entry points own the
// single instance; tests start a fresh one each. It composes the layers below: the LCD link
// (which reaches the port control through the link window held here), what the refresh cycle
// works with, and the dialog with what it needs of the component.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "common/shared_types.h"
#include "display/display_memory.h"
#include "display/refresh_cycle.h"
#include "lcd/lcd_link.h"
#include "platform/platform.h"
#include "plugin/host_link.h"
#include "plugin/host_player_window.h"
#include "settings/form2.h"
#include "settings/settings_file.h"

namespace marqel {

// The hidden link window: owns the serial-port control and the refresh timer.
struct Form1 {
  std::unique_ptr<platform::SerialPort> MSComm1;
  std::unique_ptr<platform::Timer> Timer1;
};

class Component final : private PortControlHolder, private settings::Form2Owner {
 public:
  explicit Component(const platform::Platform& platform);
  ~Component() override;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const platform::Platform& platform() const { return platform_; }

  LinkSettings linkSettings;
  std::filesystem::path pluginDirectory;
  DisplayMemory displayMemory;
  std::shared_ptr<HostLink> hostLink;

  // The link to the display; its SendBothNibbles is the component's nibble flag.
  LcdLink& lcdLink() { return lcdLink_; }
  // The player as the refresh cycle polls it, through the stored host.
  Player player();
  // Everything the refresh cycle works with.
  NowPlaying nowPlaying();
  // Where the settings file lies, and how it is reached and reported on.
  settings::SettingsFileAccess settingsFile();

  // The serial-port control and the timer of Form1. Touching either while Form1 is not loaded
  // loads it first, and loading runs the link start-up.
  platform::SerialPort& MSComm1() override;
  platform::Timer& Timer1();
  bool form1Loaded() const { return form1_ != nullptr; }
  void loadForm1();
  void unloadForm1();

  // The configuration dialog; created on first use, with its load step.
  settings::Form2& form2();
  bool form2Loaded() const { return form2_ != nullptr; }
  void unloadForm2() override;

 private:
  platform::SerialPort* loadedMSComm1() override;
  Form1& loadedForm1();

  const platform::Platform platform_;
  LcdLink lcdLink_;
  HostLinkPlayerWindow hostPlayerWindow_;
  RefreshBuffers refreshBuffers_;
  std::unique_ptr<Form1> form1_;
  // Shared: a view showing the dialog modally keeps it alive until its loop has unwound.
  std::shared_ptr<settings::Form2> form2_;
};

}  // namespace marqel
