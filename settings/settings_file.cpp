#include "settings/settings_file.h"

#include "common/path_text.h"
#include "common/runtime_error.h"
#include "common/utf.h"

namespace marqel::settings {
namespace {

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool EndsNumber(char c) {
  return c == ' ' || c == ',' || IsLineEnd(c);
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A field from a hand-edited (or damaged) file, fit to be shown in a message: printable ASCII
// only, and short.
std::string Shown(std::string_view field) {
  constexpr std::size_t kMaxShown = 16;
  std::string out;
  for (const char c : field.substr(0, kMaxShown)) {
    out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  }
  if (field.size() > kMaxShown) {
    out += "...";
  }
  return out;
}

std::u16string UnreadableFileText(const RuntimeError& error, const std::filesystem::path& path,
                                  const LinkSettings& settings) {
  return u"Error: " + Utf8ToUtf16(error.description()) + u"\r\nSettings file: " + PathText(path) +
         u"\r\nGoing on with Port[" + DecimalText(settings.port) + u"] Contrast[" +
         DecimalText(settings.contrast) + u"]";
}

}  // namespace

std::filesystem::path SettingsFilePath(const std::filesystem::path& pluginDirectory) {
  // Joined as text, not with the path operator: the directory already ends in its separator.
  std::filesystem::path path = pluginDirectory;
  path += kSettingsFileName;
  return path;
}

std::string SettingsFileContent(const LinkSettings& settings) {
  const auto line = [](unsigned value) { return " " + std::to_string(value) + " \r\n"; };
  return line(settings.port) + line(settings.contrast);
}

std::uint8_t SettingsNumberReader::next(std::string_view what) {
  while (pos_ < content_.size() && (content_[pos_] == ' ' || IsLineEnd(content_[pos_]))) {
    ++pos_;
  }
  if (pos_ == content_.size()) {
    throw RuntimeError(err::kInputPastEndOfFile,
                       "Input past end of file: the " + std::string(what) + " value is missing");
  }
  const std::size_t start = pos_;
  while (pos_ < content_.size() && !EndsNumber(content_[pos_])) {
    ++pos_;
  }
  const std::string_view field = content_.substr(start, pos_ - start);
  // One separator after the number belongs to it, so "3 , 90" reads like "3,90".
  while (pos_ < content_.size() && content_[pos_] == ' ') {
    ++pos_;
  }
  if (pos_ < content_.size() && content_[pos_] == ',') {
    ++pos_;
  }

  std::string_view digits = field;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    digits.remove_prefix(1);
  }
  bool decimal = !digits.empty();
  unsigned value = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) {
      decimal = false;
      break;
    }
    // Saturates: anything past 255 is an overflow however long it is.
    value = value > 255 ? value : value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!decimal) {
    throw RuntimeError(err::kTypeMismatch, "Type mismatch: the " + std::string(what) + " value \"" +
                                               Shown(field) + "\" is not a decimal number");
  }
  if (value > 255 || (negative && value != 0)) {
    throw RuntimeError(err::kOverflow, "Overflow: the " + std::string(what) + " value " +
                                           Shown(field) + " is outside 0 to 255");
  }
  return static_cast<std::uint8_t>(value);
}

void ReadSettingsFile(const SettingsFileAccess& file, LinkSettings& settings) {
  const std::filesystem::path path = SettingsFilePath(file.pluginDirectory);
  // Handler at the end: a file that cannot be read to the end is reported once and start-up goes
  // on with what was read, rather than leaving the plug-in without a link.
  try {
    if (!file.files.isOrdinaryFile(path)) {
      file.messageBoxes.show(kMissingSettingsNotice, platform::MessageIcon::Information);
      return;
    }
    const std::string content = file.files.readAll(path);
    SettingsNumberReader reader(content);
    settings.port = reader.next("port");
    settings.contrast = reader.next("contrast");
  } catch (const RuntimeError& error) {
    file.messageBoxes.show(UnreadableFileText(error, path, settings),
                           platform::MessageIcon::Warning);
  }
}

void WriteSettingsFile(const SettingsFileAccess& file, const LinkSettings& settings) {
  file.files.replaceContent(SettingsFilePath(file.pluginDirectory), SettingsFileContent(settings));
}

}  // namespace marqel::settings
