#include "lcd/lcd_protocol.h"

#include <string>

#include "common/byte_conversion.h"
#include "common/runtime_error.h"
#include "common/shared_types.h"
#include "plugin/component.h"

namespace marqel {
namespace {

// A contrast byte has bit 7 set; the contrast (0..127) is the rest.
constexpr std::int32_t kContrastByteBase = 128;

}  // namespace

void SendLineByte(Component& component, std::int32_t number) {
  // Checked before the port is reached: reaching it may load Form1 and start the link.
  const std::uint8_t byte = ToByte(number);
  component.MSComm1().output(byte);
}

void SendLcdByte(Component& component, std::uint8_t value, bool isCommand,
                 std::uint8_t controller) {
  // The sums are formed as the board's byte layout defines them; a controller number outside
  // 1..4 gives a number that is no byte, and that send is skipped.
  const std::int32_t high = (value & 0xF0) / 16;
  const std::int32_t rs = isCommand ? 0 : 16;
  const std::int32_t select = (static_cast<std::int32_t>(controller) - 1) * 64;
  ResumeNext([&] { SendLineByte(component, high + rs + select); });
  // The flag is read only now: the start-up changes it between the high nibbles and the pairs.
  ResumeNext([&] {
    if (component.SendBothNibbles) {
      SendLineByte(component, (value & 0x0F) + rs + select);
    }
  });
}

void SendLcdCommand(Component& component, std::uint8_t controller, std::uint8_t value) {
  SendLcdByte(component, value, true, controller);
}

void SendLcdText(Component& component, std::u16string_view text, std::uint8_t controller) {
  // Only the first 27 characters are ever needed; blanks fill a shorter text.
  std::u16string line(text.substr(0, BAR_CELLS));
  line.append(static_cast<std::size_t>(BAR_CELLS) - line.size(), u' ');
  const auto& codePage = component.platform().codePage;
  for (const char16_t ch : line) {
    SendLcdByte(component, ToByte(codePage.codeOf(ch)), false, controller);
  }
}

void SendContrastByte(Component& component, std::uint8_t contrast) {
  SendLineByte(component, kContrastByteBase + static_cast<std::int32_t>(contrast));
}

void SetLcdContrast(Component& component, std::uint8_t contrast) {
  ResumeNext([&] { SendContrastByte(component, contrast); });
  ResumeNext([&] { component.waitOnLine(kContrastSettleMs); });
}

}  // namespace marqel
