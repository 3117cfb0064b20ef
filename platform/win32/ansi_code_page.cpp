#include "platform/win32/ansi_code_page.h"

#include <windows.h>

#include <climits>

#include "common/runtime_error.h"

namespace marqel::platform::win32 {
namespace {

constexpr DWORD kToAnsiFlags = WC_NO_BEST_FIT_CHARS;

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw RuntimeError(err::kOutOfMemory, "Out of memory");
  }
  return static_cast<int>(size);
}

}  // namespace

std::uint32_t AnsiCodePage::codeOf(char16_t ch) const {
  const wchar_t wide = static_cast<wchar_t>(ch);
  char bytes[4] = {};
  const int count =
      ::WideCharToMultiByte(CP_ACP, kToAnsiFlags, &wide, 1, bytes, sizeof bytes, nullptr, nullptr);
  if (count <= 0) {
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
  const std::wstring wide(text.begin(), text.end());
  const int length = CheckedLength(wide.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, kToAnsiFlags, wide.data(), length, nullptr, 0,
                                           nullptr, nullptr);
  if (needed <= 0) {
    return std::string(text.size(), '?');
  }
  std::string out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, kToAnsiFlags, wide.data(), length, out.data(), needed, nullptr,
                        nullptr);
  return out;
}

std::u16string AnsiCodePage::fromAnsi(std::string_view bytes) const {
  if (bytes.empty()) {
    return {};
  }
  const int length = CheckedLength(bytes.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) {
    return std::u16string(bytes.size(), u'?');
  }
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), needed);
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace marqel::platform::win32
