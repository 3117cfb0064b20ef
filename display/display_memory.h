#pragma once
#include <cstdint>
#include <string>

namespace marqel {

// What the refresh cycle last put on the display. The dialog's "Set & Save" also writes it, so
// that the next tick draws everything again.
struct DisplayMemory {
  std::u16string lastArtist;
  std::u16string lastTitle;
  std::uint8_t lastState = 0;
  std::uint8_t lastBar = 0;  // 255: line 4 holds no bar
};

inline constexpr std::uint8_t kNoBar = 255;

}  // namespace marqel
