#include "tests/support/wire.h"

#include <cstdio>

namespace marqel::harness::wire {
namespace {

constexpr std::size_t kLineWidth = 27;

Bytes controllerByte(int controller, bool isData, std::uint8_t value) {
  const int base = (controller - 1) * 64 + (isData ? 16 : 0);
  return {static_cast<std::uint8_t>(base + (value >> 4)),
          static_cast<std::uint8_t>(base + (value & 0x0F))};
}

}  // namespace

Bytes command(int controller, std::uint8_t value) {
  return controllerByte(controller, false, value);
}

Bytes data(int controller, std::uint8_t value) {
  return controllerByte(controller, true, value);
}

Bytes text(int controller, std::string_view chars) {
  Bytes out;
  for (std::size_t i = 0; i < kLineWidth; ++i) {
    const auto code = i < chars.size() ? static_cast<std::uint8_t>(chars[i]) : std::uint8_t{0x20};
    out = std::move(out) + data(controller, code);
  }
  return out;
}

Bytes line(int displayLine, std::string_view chars) {
  const int controller = displayLine <= 2 ? 1 : 2;
  const std::uint8_t address = displayLine % 2 == 1 ? 0x80 : 0xC0;
  return command(controller, address) + text(controller, chars);
}

Bytes bar(int filled) {
  Bytes out = command(2, 0xC0);
  for (int cell = 1; cell <= static_cast<int>(kLineWidth); ++cell) {
    out = std::move(out) + data(2, cell <= filled ? 0xFF : 0x20);
  }
  return out;
}

Bytes clearBoth() {
  return command(1, 0x01) + command(2, 0x01);
}

Bytes operator+(Bytes left, const Bytes& right) {
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

}  // namespace marqel::harness::wire
