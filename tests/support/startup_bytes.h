#pragma once
// The controller start-up bytes exactly as they must appear on the line, written out once for
// every test that checks them.
#include <cstdint>
#include <vector>

namespace marqel::test {

// Starting controller 1: 52 bytes.
inline const std::vector<std::uint8_t> kControllerOneStartup = {
    0x03, 0x03, 0x03, 0x02, 0x02, 0x0A, 0x00, 0x08, 0x00, 0x01, 0x00, 0x06, 0x00,
    0x0C, 0x04, 0x08, 0x10, 0x18, 0x10, 0x1C, 0x10, 0x1E, 0x10, 0x1F, 0x10, 0x1E,
    0x10, 0x1C, 0x10, 0x18, 0x10, 0x10, 0x05, 0x08, 0x10, 0x10, 0x11, 0x1B, 0x11,
    0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x10, 0x10, 0x10, 0x10, 0x08, 0x00};

// Starting controller 2: its own 14 bytes, then the glyphs again, which go to controller 1.
inline const std::vector<std::uint8_t> kControllerTwoStartup = [] {
  std::vector<std::uint8_t> bytes = {0x43, 0x43, 0x43, 0x42, 0x42, 0x4A, 0x40,
                                     0x48, 0x40, 0x41, 0x40, 0x46, 0x40, 0x4C};
  bytes.insert(bytes.end(), kControllerOneStartup.begin() + 14, kControllerOneStartup.end());
  return bytes;
}();

// Controller 1, then controller 2, as the link start-up and Quit send them: 104 bytes.
inline const std::vector<std::uint8_t> kBothControllersStartup = [] {
  std::vector<std::uint8_t> bytes = kControllerOneStartup;
  bytes.insert(bytes.end(), kControllerTwoStartup.begin(), kControllerTwoStartup.end());
  return bytes;
}();

}  // namespace marqel::test
