#include "plugin/lifecycle.h"

#include <filesystem>
#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "lcd/controller_startup.h"
#include "lcd/lcd_link.h"
#include "plugin/component.h"
#include "plugin/host_link.h"
#include "plugin/version_record.h"
#include "settings/form2.h"
#include "settings/settings_file.h"

namespace marqel {

std::u16string PluginDescription() {
  return u"Pellucor v." + DecimalText(version::kMajor) + u"." + DecimalText(version::kMinor) +
         u" by Tolvane (" + version::kMakerWebAddress + u")";
}

void Main(Component& component) {
  component.linkSettings.port = 1;
  std::filesystem::path directory = component.platform().module.moduleDirectory();
  const auto separator = component.platform().module.pathSeparator();
  if (directory.empty() || directory.native().back() != separator) {
    directory += separator;
  }
  component.pluginDirectory = directory;
  settings::ReadSettingsFile(component.settingsFile(), component.linkSettings);
  component.loadForm1();
}

void Initialize(Component& component, std::shared_ptr<HostLink> wrapper) {
  component.hostLink = std::move(wrapper);
  HostSetDescription(component, PluginDescription());
}

void Configure(Component& component) {
  platform::ConfigurationDialog& form = component.form2();
  component.platform().dialogs.showModal(form);
  // A modal dialog that has returned is closed: the next opening starts afresh.
  if (component.form2Loaded()) {
    component.unloadForm2();
  }
}

void Quit(Component& component) {
  LcdLink& link = component.lcdLink();
  ResumeNext([&] { InitLcdController(link, 1); });
  ResumeNext([&] { InitLcdController(link, 2); });
  ClosePortIfOpen(link);
  ResumeNext([&] { component.unloadForm1(); });
  ResumeNext([&] { component.unloadForm2(); });
}

}  // namespace marqel
