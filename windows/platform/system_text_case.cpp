#include "windows/platform/system_text_case.h"

#include <windows.h>

#include <climits>

#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {

std::u16string SystemTextCase::upperCase(std::u16string_view text) const {
  std::wstring wide = WideFrom(text);
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::u16string(text);
  }
  const int length = static_cast<int>(wide.size());
  std::wstring upper(wide.size(), L'\0');
  const int mapped =
      ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING,
                      wide.data(), length, upper.data(), length, nullptr, nullptr, 0);
  if (mapped == length) {
    return U16From(upper);
  }
  // The locale mapping refused (or changed the length, which it should never do): the system's
  // plain per-character mapping, in place.
  ::CharUpperBuffW(wide.data(), static_cast<DWORD>(length));
  return U16From(wide);
}

}  // namespace marqel::platform::win32
