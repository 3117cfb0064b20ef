#include "linux/players/mpris_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "common/utf.h"

namespace marqel::players::mpris {
namespace {

constexpr std::u16string_view kSeparator = u" - ";
constexpr std::u16string_view kSuffix = u" - Winamp";
constexpr std::u16string_view kPlayerWord = u"Winamp";
constexpr char16_t kNoBreakSpace = u'\u00A0';
constexpr char16_t kReplacement = u'\uFFFD';
constexpr std::size_t kLongestField = 255;
constexpr std::int64_t kMicrosecondsPerMs = 1000;
constexpr double kMicrosecondsPerSecond = 1e6;

bool IsBlank(char16_t ch) {
  return ch == u' ' || ch == kNoBreakSpace;
}

// One line of plain characters: controls as blanks, a surrogate pair (or a stray half) as one
// replacement character, no blanks at either end, at most kLongestField characters.
std::u16string Tidy(std::string_view utf8) {
  const std::u16string raw = Utf8ToUtf16(utf8);
  std::u16string text;
  text.reserve(std::min(raw.size(), kLongestField));
  for (std::size_t i = 0; i < raw.size() && text.size() < kLongestField; ++i) {
    const char16_t ch = raw[i];
    if (ch < u' ' || ch == u'\x7F') {
      text.push_back(u' ');
    } else if (ch >= 0xD800 && ch <= 0xDFFF) {
      const bool pair =
          ch <= 0xDBFF && i + 1 < raw.size() && raw[i + 1] >= 0xDC00 && raw[i + 1] <= 0xDFFF;
      if (pair) ++i;
      text.push_back(kReplacement);
    } else {
      text.push_back(ch);
    }
  }
  const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlank).base();
  return first < last ? std::u16string(first, last) : std::u16string();
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// The last path segment of a URL, percent-decoded, without a short extension: what a player
// shows for a file without a title tag.
std::string FileNameOf(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  const auto slash = url.rfind('/');
  if (slash != std::string_view::npos) url.remove_prefix(slash + 1);
  std::string name;
  for (std::size_t i = 0; i < url.size(); ++i) {
    const int high = url[i] == '%' && i + 2 < url.size() ? HexValue(url[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(url[i + 2]) : -1;
    if (low >= 0) {
      name.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      name.push_back(url[i]);
    }
  }
  const auto dot = name.rfind('.');
  const bool shortExtension =
      dot != std::string::npos && dot > 0 && name.size() - dot >= 2 && name.size() - dot <= 5 &&
      std::all_of(name.begin() + static_cast<long>(dot) + 1, name.end(),
                  [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) != 0; });
  if (shortExtension) name.resize(dot);
  return name;
}

std::string JoinArtists(const std::vector<std::string>& artists) {
  std::string joined;
  for (const auto& artist : artists) {
    if (artist.empty()) continue;
    if (!joined.empty()) joined += ", ";
    joined += artist;
  }
  return joined;
}

// Every `pattern` in `text` that starts before `end` loses its leading blank to a no-break space.
void GuardBefore(std::u16string& text, std::u16string_view pattern, std::size_t end) {
  for (auto at = text.find(pattern); at != std::u16string::npos && at < end;
       at = text.find(pattern, at + 1)) {
    text[at] = kNoBreakSpace;
  }
}

bool NameElementValid(std::string_view element) {
  if (element.empty() || (element.front() >= '0' && element.front() <= '9')) return false;
  return std::all_of(element.begin(), element.end(), [](char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) != 0 || ch == '_' || ch == '-';
  });
}

}  // namespace

Status StatusFromText(std::string_view playbackStatus) {
  if (playbackStatus == "Playing") return Status::Playing;
  if (playbackStatus == "Paused") return Status::Paused;
  return Status::Stopped;
}

std::int32_t StateNumber(Status status) {
  switch (status) {
    case Status::Playing:
      return 1;
    case Status::Paused:
      return 3;
    case Status::Stopped:
      break;
  }
  return 0;
}

std::u16string WindowText(const Track& track, std::optional<std::int64_t> listPosition) {
  const std::int64_t number = track.trackNumber.value_or(listPosition.value_or(1));
  std::u16string artist = Tidy(JoinArtists(track.artists));
  std::u16string title = Tidy(track.title);
  if (title.empty()) title = Tidy(FileNameOf(track.url));

  // The parser splits at the first " - ": none may come before the one after the artist.
  artist += kSeparator;
  GuardBefore(artist, kSeparator, artist.size() - kSeparator.size());
  // It cuts at the first " - Winamp": none may come before the suffix.
  if (title.starts_with(kPlayerWord)) title.insert(title.begin(), kNoBreakSpace);
  std::u16string body = title + std::u16string(kSuffix);
  GuardBefore(body, kSuffix, body.size() - kSuffix.size());

  return DecimalText(number) + u". " + artist + body;
}

std::int32_t LengthSeconds(std::optional<std::int64_t> lengthUs) {
  if (!lengthUs || *lengthUs <= 0) return 0;
  const double seconds = std::round(static_cast<double>(*lengthUs) / kMicrosecondsPerSecond);
  return static_cast<std::int32_t>(
      std::clamp(seconds, 1.0, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

std::int32_t PositionMs(std::int64_t positionUs) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      positionUs / kMicrosecondsPerMs, 0, std::numeric_limits<std::int32_t>::max()));
}

std::vector<std::string> ParsePlayerNames(std::string_view list) {
  std::vector<std::string> names;
  if (list.empty()) return names;
  std::size_t start = 0;
  while (true) {
    const auto comma = list.find(',', start);
    const std::string_view name = list.substr(start, comma - start);
    std::size_t from = 0;
    bool valid = !name.empty();
    while (valid && from <= name.size()) {
      const auto dot = name.find('.', from);
      valid = NameElementValid(name.substr(from, dot - from));
      if (dot == std::string_view::npos) break;
      from = dot + 1;
    }
    if (!valid) {
      throw std::invalid_argument("`" + std::string(name) +
                                  "` is no player name (letters, digits, _ and -, e.g. vlc,mpv)");
    }
    names.emplace_back(name);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return names;
}

bool NameMatches(std::string_view busName, std::string_view name) {
  if (!busName.starts_with(kBusNamePrefix)) return false;
  busName.remove_prefix(kBusNamePrefix.size());
  if (!busName.starts_with(name)) return false;
  busName.remove_prefix(name.size());
  return busName.empty() || busName.starts_with(".instance");
}

std::optional<std::size_t> ChoosePlayer(const std::vector<Candidate>& players,
                                        const std::vector<std::string>& names) {
  const auto best = [&](auto&& eligible) -> std::optional<std::size_t> {
    std::optional<std::size_t> chosen;
    const auto rank = [&](std::size_t i) {
      return std::make_tuple(players[i].status == Status::Playing, players[i].lastPlayedMs);
    };
    for (std::size_t i = 0; i < players.size(); ++i) {
      if (eligible(players[i]) && (!chosen || rank(i) > rank(*chosen))) chosen = i;
    }
    return chosen;
  };
  if (names.empty()) return best([](const Candidate&) { return true; });
  for (const auto& name : names) {
    if (const auto chosen =
            best([&](const Candidate& player) { return NameMatches(player.busName, name); })) {
      return chosen;
    }
  }
  return std::nullopt;
}

}  // namespace marqel::players::mpris
