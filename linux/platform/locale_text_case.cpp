#include "linux/platform/locale_text_case.h"

#include <langinfo.h>
#include <wctype.h>

#include <cstdlib>
#include <string_view>

namespace marqel::platform::linux_ {
namespace {

bool IsSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

}  // namespace

LocaleTextCase::LocaleTextCase() : locale_(UserUtf8Locale()) {}

LocaleTextCase::LocaleTextCase(const char* localeName)
    : locale_(::newlocale(LC_CTYPE_MASK, localeName, static_cast<locale_t>(nullptr))) {}

LocaleTextCase::OwnedLocale LocaleTextCase::UserUtf8Locale() {
  // The ranking the C library gives these variables; an empty one counts as not set.
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  if (name != nullptr) {
    OwnedLocale user(::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr)));
    // An 8-bit locale's tables (or C's) hold only the letters of its character set and would
    // leave the others as they are; C.UTF-8 knows them all.
    if (user && std::string_view(::nl_langinfo_l(CODESET, user.get())) == "UTF-8") {
      return user;
    }
  }
  return OwnedLocale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr)));
}

std::u16string LocaleTextCase::upperCase(std::u16string_view text) const {
  std::u16string result;
  upperCaseInto(text, result);
  return result;
}

void LocaleTextCase::upperCaseInto(std::u16string_view text, std::u16string& result) const {
  result.assign(text);
  for (char16_t& unit : result) {
    if (locale_ == nullptr) {
      if (unit >= u'a' && unit <= u'z') {
        unit = static_cast<char16_t>(unit - (u'a' - u'A'));
      }
      continue;
    }
    if (IsSurrogate(unit)) {
      continue;
    }
    const wint_t upper = ::towupper_l(static_cast<wint_t>(unit), locale_.get());
    // One code unit in, one out: anything that would not fit stays as it was.
    if (upper <= 0xFFFF && !IsSurrogate(static_cast<char16_t>(upper))) {
      unit = static_cast<char16_t>(upper);
    }
  }
}

}  // namespace marqel::platform::linux_
