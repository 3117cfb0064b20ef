#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace marqel::vlcd {

// Every time in the model is a duration since an arbitrary epoch chosen by whoever feeds it.
using Nanos = std::chrono::nanoseconds;

enum class FaultKind {
  kBusy,         // a write reached the controller before its last instruction had finished
  kStartupWait,  // the 0x3 writes of the start-up came closer together than the chip allows
};

// What a single strobe carried, seen from the controller.
enum class WriteRole {
  kByte,        // 8-bit interface: the strobe is a whole instruction or data byte
  kHighNibble,  // 4-bit interface: first half of a byte
  kLowNibble,   // 4-bit interface: second half, the byte executes now
};

struct Fault {
  FaultKind kind = FaultKind::kBusy;
  int controller = 1;           // 1 or 2
  std::uint64_t byteIndex = 0;  // position of the byte on the serial line, counting from 0
  Nanos at{0};                  // when the write reached the controller
  Nanos early{0};               // how much later it would have had to come
  bool rs = false;              // register select: false = instruction, true = data
  std::uint8_t bus = 0;         // D7-D0 as driven
  WriteRole role = WriteRole::kByte;
  std::string cause;  // what the controller was still doing, or which wait was cut short
};

// One line for logs and the terminal view, e.g.
// "controller 2, byte 62 at 74.458 ms: instruction high nibble 0x0 came 0.478 ms before clear
// display finished".
std::string describe(const Fault& fault);

// "12.345 ms" with three decimals, for reports.
std::string formatMillis(Nanos time);

}  // namespace marqel::vlcd
