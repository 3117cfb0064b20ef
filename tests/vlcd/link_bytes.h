#pragma once
// What the sender puts on the line, for feeding the model in tests.
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

#include "vlcd/line_model.h"

namespace marqel::vlcd::linktest {

// The start-up of one controller: 14 bytes to it, then 38 bytes loading the two glyphs, which
// always go to controller 1.
inline std::vector<std::uint8_t> controllerStartup(int controller) {
  const std::uint8_t select = controller == 2 ? 0x40 : 0x00;
  std::vector<std::uint8_t> bytes;
  static constexpr std::uint8_t kOwn[] = {0x3, 0x3, 0x3, 0x2, 0x2, 0xA, 0x0,
                                          0x8, 0x0, 0x1, 0x0, 0x6, 0x0, 0xC};
  static constexpr std::uint8_t kGlyphs[] = {
      0x04, 0x08, 0x10, 0x18, 0x10, 0x1C, 0x10, 0x1E, 0x10, 0x1F, 0x10, 0x1E, 0x10,
      0x1C, 0x10, 0x18, 0x10, 0x10, 0x05, 0x08, 0x10, 0x10, 0x11, 0x1B, 0x11, 0x1B,
      0x11, 0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x10, 0x10, 0x10, 0x10, 0x08, 0x00};
  for (std::uint8_t nibble : kOwn) {
    bytes.push_back(static_cast<std::uint8_t>(select | nibble));
  }
  bytes.insert(bytes.end(), std::begin(kGlyphs), std::end(kGlyphs));
  return bytes;
}

// When the sender's waits start: as soon as the bytes before them are queued (the sender does not
// wait for the UART), or once those bytes have left the line.
enum class WaitsFrom { kQueueing, kLineIdle };

// Both controllers' start-up and a contrast byte, with the sender's waits: 10 ms after the first
// 0x3, 2 ms after the second, 5 ms after the clear.
inline std::vector<LineEvent> linkStartup(WaitsFrom waits) {
  std::vector<LineEvent> script;
  const auto wait = [&](int ms) {
    if (waits == WaitsFrom::kLineIdle) script.push_back(LineEvent::drain());
    script.push_back(LineEvent::waitFor(std::chrono::milliseconds(ms)));
  };
  for (int controller : {1, 2}) {
    const std::vector<std::uint8_t> bytes = controllerStartup(controller);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      script.push_back(LineEvent::byte(bytes[i]));
      if (i == 0) wait(10);
      if (i == 1) wait(2);
      if (i == 9) wait(5);
    }
  }
  script.push_back(LineEvent::byte(0x80));
  return script;
}

// Set DDRAM address of `row` (0 or 1) of a controller, then 27 data bytes of `text`, space-padded.
inline std::vector<std::uint8_t> lineBytes(int controller, int row, std::string_view text) {
  const int select = controller == 2 ? 0x40 : 0x00;
  const int address = row == 0 ? 0x80 : 0xC0;
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(select | address >> 4),
                                     static_cast<std::uint8_t>(select | (address & 0x0F))};
  for (std::size_t column = 0; column < 27; ++column) {
    const int code = column < text.size() ? static_cast<unsigned char>(text[column]) : ' ';
    bytes.push_back(static_cast<std::uint8_t>(select | 0x10 | code >> 4));
    bytes.push_back(static_cast<std::uint8_t>(select | 0x10 | (code & 0x0F)));
  }
  return bytes;
}

}  // namespace marqel::vlcd::linktest
