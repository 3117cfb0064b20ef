#include "vlcd/recording.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <istream>
#include <stdexcept>
#include <string_view>

namespace marqel::vlcd {

std::string recordingLine(const TimedByte& byte) {
  char text[40];
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(byte.at).count();
  std::snprintf(text, sizeof text, "%lld %02X\n", static_cast<long long>(micros),
                static_cast<unsigned>(byte.value));
  return text;
}

std::vector<TimedByte> parseRecording(std::istream& in) {
  std::vector<TimedByte> bytes;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string_view rest = line;
    const auto skipSpace = [&rest] {
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '\r'))
        rest.remove_prefix(1);
    };
    skipSpace();
    if (rest.empty() || rest.front() == '#') continue;
    const auto fail = [&](const char* what) {
      throw std::runtime_error("recording line " + std::to_string(number) + ": " + what + ": " +
                               line);
    };

    long long micros = 0;
    auto parsed = std::from_chars(rest.data(), rest.data() + rest.size(), micros);
    if (parsed.ec != std::errc{} || micros < 0) fail("expected a time in microseconds");
    rest.remove_prefix(static_cast<std::size_t>(parsed.ptr - rest.data()));
    if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) fail("expected a space");
    skipSpace();

    unsigned value = 0;
    parsed = std::from_chars(rest.data(), rest.data() + rest.size(), value, 16);
    const auto digits = parsed.ptr - rest.data();
    if (parsed.ec != std::errc{} || digits < 1 || digits > 2) fail("expected a hex byte");
    rest.remove_prefix(static_cast<std::size_t>(digits));
    skipSpace();
    if (!rest.empty()) fail("unexpected text after the byte");

    bytes.push_back({std::chrono::microseconds(micros), static_cast<std::uint8_t>(value)});
  }
  return bytes;
}

}  // namespace marqel::vlcd
