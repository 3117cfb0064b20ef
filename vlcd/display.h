#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "vlcd/controller.h"
#include "vlcd/fault.h"
#include "vlcd/line_model.h"

namespace marqel::vlcd {

// The whole module behind the serial port: the interface board and the two controllers that
// share the 4 x 27 glass (controller 1 drives lines 1-2, controller 2 lines 3-4).
//
// Each byte on the wire is either a contrast byte (bit 7 set, contrast in bits 6-0) or a
// controller byte: bit 6 = controller - 1, bit 5 always 0, bit 4 = RS, bits 3-0 go to D7-D4 while
// D3-D0 stay low.
class Display {
 public:
  static constexpr int kRows = 4;
  static constexpr int kColumns = 27;
  // A cell holds the character code the controller shows there, or nothing while its display is
  // off or its row is not driven.
  using Cell = std::optional<std::uint8_t>;
  using Glass = std::array<std::array<Cell, kColumns>, kRows>;

  explicit Display(LineRate rate = {});

  // A byte with the time it reached the board.
  void feed(std::uint8_t byte, Nanos arrival);
  void feed(std::span<const TimedByte> bytes);
  // Bytes without times arrive back to back at the line rate, the first one byte time after the
  // previous byte (or after time 0).
  void feed(std::uint8_t byte);
  void feed(std::span<const std::uint8_t> bytes);

  // Power cycle: both controllers back to their reset state, counters and faults cleared.
  void reset();

  const Controller& controller(int number) const;            // 1 or 2
  std::optional<int> contrast() const { return contrast_; }  // none until a contrast byte came
  std::uint64_t strayBytes() const { return stray_; }
  std::uint64_t byteCount() const { return bytes_; }
  Nanos lastArrival() const { return last_; }

  Glass glass() const;
  // Plain ASCII, 4 strings of exactly 27 characters; see plainChar() for the stand-ins.
  std::array<std::string, kRows> glassText() const;
  // UTF-8, 4 strings of 27 terminal columns each; see cellUnicode().
  std::array<std::string, kRows> glassUnicode() const;

  // The faults of both controllers in line order.
  std::vector<Fault> faults() const;
  std::size_t faultCount() const { return faultCount(1) + faultCount(2); }
  std::size_t faultCount(int controller) const {
    return this->controller(controller).faults().size();
  }

 private:
  Controller& which(int number);

  LineRate rate_;
  std::array<Controller, 2> controllers_{Controller(1), Controller(2)};
  std::optional<int> contrast_;
  std::uint64_t stray_ = 0;
  std::uint64_t bytes_ = 0;
  Nanos last_{0};
  Nanos untimedFrom_{0};  // untimed bytes count on from here
  std::int64_t untimedCount_ = 0;
};

}  // namespace marqel::vlcd
