#pragma once
// Text services of the system: the ANSI code page and upper-casing.
#include <cstdint>
#include <string>
#include <string_view>

namespace marqel::platform {

// The system's ANSI code page. Single-byte pages give every character a code 0..255; a double-byte
// page gives lead/trail pairs, whose single-character code does not fit in one byte.
class CodePage {
 public:
  virtual ~CodePage() = default;
  // The character's code in the code page (as one number: a double-byte character yields
  // lead * 256 + trail). A character the page cannot hold becomes '?'.
  virtual std::uint32_t codeOf(char16_t ch) const = 0;
  // Whole-text conversions, one byte (or a lead/trail pair) per character.
  virtual std::string toAnsi(std::u16string_view text) const = 0;
  virtual std::u16string fromAnsi(std::string_view bytes) const = 0;
  // The same conversions into a string the caller keeps, so that a caller converting again and
  // again reuses its storage. `out` must not be what `text` or `bytes` views.
  virtual void toAnsiInto(std::u16string_view text, std::string& out) const { out = toAnsi(text); }
  virtual void fromAnsiInto(std::string_view bytes, std::u16string& out) const {
    out = fromAnsi(bytes);
  }
};

// The system's ordinary, locale-aware upper-casing of a whole string. Never changes the length:
// a character whose upper case would take more characters stays as it is.
class TextCase {
 public:
  virtual ~TextCase() = default;
  virtual std::u16string upperCase(std::u16string_view text) const = 0;
  // The same into a string the caller keeps (see CodePage::toAnsiInto).
  virtual void upperCaseInto(std::u16string_view text, std::u16string& out) const {
    out = upperCase(text);
  }
};

}  // namespace marqel::platform
