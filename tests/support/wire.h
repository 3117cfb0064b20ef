#pragma once
// Expected bytes on the LCD line, written the way the board's byte format defines them, so tests
// can say "this went out" without going through the code under test.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marqel::harness::wire {

// A vector of its own type, so that + between expected pieces is found wherever a test stands.
struct Bytes : std::vector<std::uint8_t> {
  using std::vector<std::uint8_t>::vector;
  Bytes() = default;
  Bytes(std::vector<std::uint8_t> bytes) : std::vector<std::uint8_t>(std::move(bytes)) {}
};

// One controller byte in 4-bit mode: high nibble, then low nibble, each with RS and controller.
Bytes command(int controller, std::uint8_t value);
Bytes data(int controller, std::uint8_t value);
// 27 data bytes: `text` (one byte a character, ANSI) cut or filled with blanks.
Bytes text(int controller, std::string_view text);
// A line address command followed by its 27 characters.
Bytes line(int displayLine, std::string_view text);
// Line 4 as a bar with `filled` cells (0 to 27; more counts as 27).
Bytes bar(int filled);
// Both controllers cleared, controller 1 first.
Bytes clearBoth();

Bytes operator+(Bytes left, const Bytes& right);

// "0C 00 12 10 ..." for readable failure output.
std::string hex(const std::vector<std::uint8_t>& bytes);

}  // namespace marqel::harness::wire
