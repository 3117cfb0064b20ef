#pragma once
// What the sender puts on the line, for feeding the model in tests. The bytes are the same data
// the sender's tests check against; only the data is shared, not the sender.
#include <cstdint>
#include <vector>

#include "tests/support/startup_bytes.h"
#include "vlcd/line_model.h"

namespace marqel::vlcd::linktest {

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
  for (const auto* controller : {&test::kControllerOneStartup, &test::kControllerTwoStartup}) {
    const std::vector<std::uint8_t>& bytes = *controller;
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

}  // namespace marqel::vlcd::linktest
