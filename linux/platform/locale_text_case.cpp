#include "linux/platform/locale_text_case.h"

#include <wctype.h>

namespace marqel::platform::linux_ {
namespace {

bool IsSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

}  // namespace

LocaleTextCase::LocaleTextCase(const char* localeName)
    : locale_(::newlocale(LC_CTYPE_MASK, localeName, static_cast<locale_t>(nullptr))) {}

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
