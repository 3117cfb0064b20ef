#include "player_script/script.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

#include "common/utf.h"

namespace marqel::players {
namespace {

using Kind = ScriptCommand::Kind;

// The blanks that part a command from its arguments and the arguments from each other.
constexpr std::string_view kBlanks = " \t";

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto start = text.find_first_not_of(kBlanks, at);
    if (start == std::string_view::npos) break;
    const auto end = std::min(text.find_first_of(kBlanks, start), text.size());
    words.push_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

std::optional<std::int32_t> Number(std::string_view word) {
  // from_chars reads a minus but no plus: the plus is taken here, and no other sign after it.
  if (!word.empty() && word.front() == '+') {
    word.remove_prefix(1);
    if (word.empty() || word.front() < '0' || word.front() > '9') return std::nullopt;
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

bool IsValidUtf8(std::string_view text) {
  // The converter marks what it cannot read with U+FFFD; the text itself may hold one too.
  const std::u16string wide = Utf8ToUtf16(text);
  std::size_t marked = 0;
  for (const char16_t ch : wide) marked += ch == u'\uFFFD' ? 1 : 0;
  std::size_t written = 0;
  for (std::size_t at = text.find("\xEF\xBF\xBD"); at != std::string_view::npos;
       at = text.find("\xEF\xBF\xBD", at + 3)) {
    ++written;
  }
  return marked == written;
}

// A word from the script, fit to be shown in a message: printable ASCII only (no NUL to cut the
// message short, no escape sequence for the terminal), and short.
std::string Shown(std::string_view word) {
  constexpr std::size_t kMaxShown = 16;
  std::string out;
  for (const char c : word.substr(0, kMaxShown)) {
    out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  }
  if (word.size() > kMaxShown) out += "...";
  return out;
}

// The next line of `text` from `at`, without its end: LF, CR LF or a CR alone. Moves `at` past
// the end; false when nothing is left.
bool NextLine(std::string_view text, std::size_t& at, std::string_view& line) {
  if (at >= text.size()) return false;
  const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
  line = text.substr(at, end - at);
  at = end;
  if (at < text.size() && text[at] == '\r') ++at;
  if (at < text.size() && text[at] == '\n') ++at;
  return true;
}

class Parser {
 public:
  explicit Parser(std::string name) { script_.name = std::move(name); }

  void line(std::string_view text) {
    ++number_;
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos || text[first] == '#') return;

    const auto blank = text.find_first_of(kBlanks);
    const std::string_view word = text.substr(0, blank);
    if (word == "title") {
      const std::string_view rest = blank == std::string_view::npos ? "" : text.substr(blank + 1);
      if (!IsValidUtf8(rest)) fail("the title is not valid UTF-8");
      add(Kind::Title, 0, std::string(rest));
      return;
    }
    const auto words = Words(text);
    if (words.empty() || words.front() != word) fail("a command must start the line");
    const std::vector<std::string_view> args(words.begin() + 1, words.end());

    if (word == "state") {
      add(Kind::State, one(args, "state N"));
    } else if (word == "length") {
      add(Kind::Length, one(args, "length N (seconds)"));
    } else if (word == "position") {
      add(Kind::Position, one(args, "position N (milliseconds)"));
    } else if (word == "window") {
      if (args.size() != 1 || (args[0] != "none" && args[0] != "ok")) {
        fail("expected `window none` or `window ok`");
      }
      add(args[0] == "none" ? Kind::WindowNone : Kind::WindowOk);
    } else if (word == "tick") {
      const std::int32_t count = args.empty() ? 1 : one(args, "tick [N]");
      if (count < 0) fail("a tick count cannot be negative");
      add(Kind::Tick, count);
    } else if (word == "configure") {
      none(args, "configure");
      if (dialogOpen_) fail("the dialog is already open (close it with `dialog exit` first)");
      dialogOpen_ = true;
      add(Kind::Configure);
    } else if (word == "dialog") {
      dialog(args);
    } else if (word == "quit") {
      none(args, "quit");
      add(Kind::Quit);
    } else {
      fail("unknown command `" + Shown(word) +
           "` (expected title, state, length, position, window, tick, configure, dialog or "
           "quit)");
    }
  }

  Script finish() { return std::move(script_); }

 private:
  void dialog(const std::vector<std::string_view>& args) {
    if (args.empty()) fail("expected `dialog com N`, `contrast N`, `setsave`, `exit` or `close`");
    if (!dialogOpen_) fail("no dialog is open here (dialog lines follow a `configure`)");
    const std::string_view what = args.front();
    const std::vector<std::string_view> rest(args.begin() + 1, args.end());
    if (what == "com") {
      const std::int32_t port = one(rest, "dialog com N");
      if (port < 1 || port > 4) fail("the dialog has the buttons COM1 to COM4");
      add(Kind::DialogCom, port);
    } else if (what == "contrast") {
      const std::int32_t contrast = one(rest, "dialog contrast N");
      if (contrast < 0 || contrast > 127) fail("the contrast bar runs from 0 to 127");
      add(Kind::DialogContrast, contrast);
    } else if (what == "setsave") {
      none(rest, "dialog setsave");
      add(Kind::DialogSetSave);
    } else if (what == "exit" || what == "close") {
      none(rest, "dialog " + std::string(what));
      dialogOpen_ = false;
      add(what == "exit" ? Kind::DialogExit : Kind::DialogClose);
    } else {
      fail("unknown dialog action `" + Shown(what) +
           "` (expected com, contrast, setsave, exit or close)");
    }
  }

  std::int32_t one(const std::vector<std::string_view>& args, const std::string& form) {
    if (args.size() != 1) fail("expected `" + form + "`");
    const auto value = Number(args[0]);
    if (!value) fail("`" + Shown(args[0]) + "` is not a signed 32-bit decimal number");
    return *value;
  }

  void none(const std::vector<std::string_view>& args, const std::string& form) {
    if (!args.empty()) fail("`" + form + "` takes nothing after it");
  }

  void add(Kind kind, std::int32_t value = 0, std::string text = {}) {
    script_.commands.push_back({kind, value, std::move(text), number_});
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw ScriptError(script_.name + ":" + std::to_string(number_) + ": " + what);
  }

  Script script_;
  int number_ = 0;
  bool dialogOpen_ = false;
};

}  // namespace

Script ParseScript(std::istream& in, const std::string& name) {
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw ScriptError(name + ": cannot be read");
  Parser parser(name);
  std::size_t at = 0;
  std::string_view line;
  while (NextLine(text, at, line)) parser.line(line);
  return parser.finish();
}

Script LoadScript(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw ScriptError(file.string() +
                      ": cannot be opened: " + std::generic_category().message(errno));
  }
  return ParseScript(in, file.string());
}

}  // namespace marqel::players
