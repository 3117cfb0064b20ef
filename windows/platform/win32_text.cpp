#include "windows/platform/win32_text.h"

#include "common/utf.h"

namespace marqel::platform::win32 {

std::wstring WideFrom(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string U16From(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer != nullptr) {
    text.assign(buffer, length);
  }
  if (buffer != nullptr) {
    ::LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) {
    return "error " + std::to_string(code);
  }
  return Utf16ToUtf8(U16From(text));
}

}  // namespace marqel::platform::win32
