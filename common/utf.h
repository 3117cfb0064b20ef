#pragma once
// Conversions between the component's wide strings (UTF-16) and UTF-8, for texts that cross into
// the platform (error descriptions, terminal output). Invalid sequences become U+FFFD.
#include <cstdint>
#include <string>
#include <string_view>

namespace marqel {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// A number as users read it: plain decimal, no blanks, no leading zeros.
std::u16string DecimalText(std::int64_t value);

}  // namespace marqel
