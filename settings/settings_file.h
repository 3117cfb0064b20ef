#pragma once
// The settings file gen_marqel.ini beside the component's own file: two lines, the port number
// and the LCD contrast, each written as " value " and CR LF.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/shared_types.h"
#include "platform/message_box.h"
#include "platform/settings_files.h"

namespace marqel::settings {

inline constexpr std::u16string_view kSettingsFileName = u"gen_marqel.ini";

// Shown, with the information icon, at every start until "Set & Save" has written the file once.
inline constexpr std::u16string_view kMissingSettingsNotice =
    u"No settings file found. Please set the options for this plugin in winamp's general purpose "
    u"plugins list and click \"Set & Save\"!";

// Where the settings file lies (the plug-in directory, ending in its separator, as the system
// gives it) and the services that reach it and report on it.
struct SettingsFileAccess {
  const std::filesystem::path& pluginDirectory;
  platform::SettingsFiles& files;
  platform::MessageBoxes& messageBoxes;
};

// The plug-in directory followed directly by the file name; reading and writing use this path.
std::filesystem::path SettingsFilePath(const std::filesystem::path& pluginDirectory);

// The file's exact bytes for these settings, e.g. " 2 \r\n 64 \r\n".
std::string SettingsFileContent(const LinkSettings& settings);

// Reads the numbers of a settings file one by one. Blanks and line ends before a number are
// skipped; a number ends at a blank, a comma, a line end or the end of the text. Raises a
// RuntimeError for a missing number (input past end of file), a number outside 0..255 (overflow)
// or a field that is not a decimal number (type mismatch); `what` names the value in the
// description.
class SettingsNumberReader {
 public:
  explicit SettingsNumberReader(std::string_view content) : content_(content) {}
  std::uint8_t next(std::string_view what);

 private:
  std::string_view content_;
  std::size_t pos_ = 0;
};

// Start-up: fills LinkSettings from the file, or shows the missing-file notice (the file is not
// created). A file that is present but cannot be read to the end is reported once, with its
// path, in a warning box; the values read before the failure stay, the others keep their
// defaults, and start-up goes on. Raises nothing for a bad file.
void ReadSettingsFile(const SettingsFileAccess& file, LinkSettings& settings);

// "Set & Save": replaces the file with these settings. Raises a RuntimeError when it
// cannot be written; the old file is then left as it was.
void WriteSettingsFile(const SettingsFileAccess& file, const LinkSettings& settings);

}  // namespace marqel::settings
