#pragma once
// Upper-casing through the C library's wide-character tables of a UTF-8 locale.
#include <locale.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text.h"

namespace marqel::platform::linux_ {

// Upper-cases each UTF-16 code unit on its own, so the length never changes: surrogate halves
// stay as they are, and so does a character whose upper case is not a single BMP character (ß).
// Without the locale (a system that lacks it) only ASCII letters change.
class LocaleTextCase final : public TextCase {
 public:
  // The user's own case rules (a Turkish user's i becomes İ): the character-type locale that the
  // environment names (LC_ALL, else LC_CTYPE, else LANG, the first that is set and not empty)
  // where it is a UTF-8 locale, C.UTF-8 otherwise. The process's locale is left alone: the
  // component is a guest in its host.
  LocaleTextCase();
  // Exactly the named locale.
  explicit LocaleTextCase(const char* localeName);

  std::u16string upperCase(std::u16string_view text) const override;
  void upperCaseInto(std::u16string_view text, std::u16string& out) const override;
  // False when the locale was missing and upper-casing is down to ASCII.
  bool hasLocale() const { return locale_ != nullptr; }

 private:
  struct FreeLocale {
    void operator()(std::remove_pointer_t<locale_t>* locale) const { ::freelocale(locale); }
  };
  using OwnedLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, FreeLocale>;
  static OwnedLocale UserUtf8Locale();

  OwnedLocale locale_;
};

}  // namespace marqel::platform::linux_
