#pragma once
// Helpers the Win32 back-ends share: the core's UTF-16 strings as the system's wide strings, and
// the system's own text for an error code.
#include <windows.h>

#include <string>
#include <string_view>

namespace marqel::platform::win32 {

// wchar_t is a UTF-16 code unit on Windows: these only change the element type.
std::wstring WideFrom(std::u16string_view text);
std::u16string U16From(std::wstring_view text);

// The system's message text for a Win32 error code, in UTF-8, without the trailing line end and
// full stop; "error N" when the system has no text for it.
std::string SystemErrorText(DWORD code);

}  // namespace marqel::platform::win32
