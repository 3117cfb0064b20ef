#include "lcd/lcd_protocol.h"

#include "common/byte_conversion.h"
#include "common/runtime_error.h"
#include "common/shared_types.h"
#include "lcd/lcd_link.h"

namespace marqel {
namespace {

// A contrast byte has bit 7 set; the contrast (0..127) is the rest.
constexpr std::int32_t kContrastByteBase = 128;

}  // namespace

void SendLineByte(LcdLink& link, std::int32_t number) {
  // Checked before the port is reached: reaching it may load the link window and start the link.
  const std::uint8_t byte = ToByte(number);
  link.MSComm1().output(byte);
}

void SendLcdByte(LcdLink& link, std::uint8_t value, bool isCommand, std::uint8_t controller) {
  // The sums are formed as the board's byte layout defines them; a controller number outside
  // 1..4 gives a number that is no byte, and that send is skipped.
  const std::int32_t high = (value & 0xF0) / 16;
  const std::int32_t rs = isCommand ? 0 : 16;
  const std::int32_t select = (static_cast<std::int32_t>(controller) - 1) * 64;
  ResumeNext([&] { SendLineByte(link, high + rs + select); });
  // The flag is read only now: the start-up changes it between the high nibbles and the pairs.
  ResumeNext([&] {
    if (link.SendBothNibbles) {
      SendLineByte(link, (value & 0x0F) + rs + select);
    }
  });
}

void SendLcdCommand(LcdLink& link, std::uint8_t controller, std::uint8_t value) {
  SendLcdByte(link, value, true, controller);
}

void SendLcdText(LcdLink& link, std::u16string_view text, std::uint8_t controller) {
  // Only the first 27 characters are ever needed; blanks fill a shorter text.
  const auto& codePage = link.codePage();
  for (std::size_t i = 0; i < static_cast<std::size_t>(BAR_CELLS); ++i) {
    const char16_t ch = i < text.size() ? text[i] : u' ';
    SendLcdByte(link, ToByte(codePage.codeOf(ch)), false, controller);
  }
}

void SendContrastByte(LcdLink& link, std::uint8_t contrast) {
  SendLineByte(link, kContrastByteBase + static_cast<std::int32_t>(contrast));
}

void SetLcdContrast(LcdLink& link, std::uint8_t contrast) {
  ResumeNext([&] { SendContrastByte(link, contrast); });
  ResumeNext([&] { link.waitOnLine(kContrastSettleMs); });
}

}  // namespace marqel
