#include "windows/platform/ansi_code_page.h"

#include <windows.h>

#include <climits>

#include "common/runtime_error.h"
#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {
namespace {

// A page whose characters are byte sequences (UTF-8, UTF-7) rather than single bytes or
// lead/trail pairs; the system's ANSI page can be UTF-8 since Windows 10.
bool IsUnicodePage(UINT codePage) {
  return codePage == CP_UTF8 || codePage == CP_UTF7;
}

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw RuntimeError(err::kOutOfMemory, "Out of memory");
  }
  return static_cast<int>(size);
}

}  // namespace

std::uint32_t ToAnsiFlags(std::uint32_t codePage) {
  return IsUnicodePage(codePage) ? 0u : static_cast<std::uint32_t>(WC_NO_BEST_FIT_CHARS);
}

AnsiCodePage::AnsiCodePage(std::uint32_t codePage)
    : codePage_(codePage == CP_ACP ? ::GetACP() : codePage) {}

std::uint32_t AnsiCodePage::codeOf(char16_t ch) const {
  const wchar_t wide = static_cast<wchar_t>(ch);
  char bytes[4] = {};
  const int count = ::WideCharToMultiByte(codePage_, ToAnsiFlags(codePage_), &wide, 1, bytes,
                                          sizeof bytes, nullptr, nullptr);
  // A character of several UTF-8 bytes is no lead/trail pair: the display cannot show it.
  if (count <= 0 || (count > 1 && IsUnicodePage(codePage_))) {
    return '?';
  }
  std::uint32_t code = 0;
  for (int i = 0; i < count; ++i) {
    code = code * 256 + static_cast<unsigned char>(bytes[i]);
  }
  return code;
}

std::string AnsiCodePage::toAnsi(std::u16string_view text) const {
  if (text.empty()) {
    return {};
  }
  const std::wstring wide = WideFrom(text);
  const int length = CheckedLength(wide.size());
  const DWORD flags = ToAnsiFlags(codePage_);
  const int needed =
      ::WideCharToMultiByte(codePage_, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    return std::string(text.size(), '?');
  }
  std::string out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(codePage_, flags, wide.data(), length, out.data(), needed, nullptr,
                        nullptr);
  return out;
}

std::u16string AnsiCodePage::fromAnsi(std::string_view bytes) const {
  if (bytes.empty()) {
    return {};
  }
  const int length = CheckedLength(bytes.size());
  // No flags: the one choice valid for every page (UTF-8 refuses MB_PRECOMPOSED).
  const int needed = ::MultiByteToWideChar(codePage_, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) {
    return std::u16string(bytes.size(), u'?');
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(codePage_, 0, bytes.data(), length, wide.data(), needed);
  return U16From(wide);
}

}  // namespace marqel::platform::win32
