#pragma once
// The byte format to the LCD's interface board, and the routines all display output goes through.
//
// Every byte on the line is either half of a controller byte,
//   (controller - 1) * 64 + (0 command | 16 data) + nibble,
// or a contrast byte, 128 + contrast.
#include <cstdint>
#include <string_view>

namespace marqel {

class LcdLink;

// Line addresses (Set DDRAM address) and the clear command.
inline constexpr std::uint8_t kFirstLineOfController = 0x80;
inline constexpr std::uint8_t kSecondLineOfController = 0xC0;
inline constexpr std::uint8_t kClearDisplay = 0x01;
// Wait after a contrast byte.
inline constexpr std::int32_t kContrastSettleMs = 2;

// One controller byte as one or two line bytes (only the high half while SendBothNibbles is
// false). Resume next: a failing send is skipped, nothing reaches the caller.
void SendLcdByte(LcdLink& link, std::uint8_t value, bool isCommand, std::uint8_t controller);
void SendLcdCommand(LcdLink& link, std::uint8_t controller, std::uint8_t value);
// Exactly 27 data bytes at the controller's current address: shorter texts are filled with blanks,
// longer ones cut. A character whose code page code does not fit a byte raises an overflow error
// at that position (the characters before it have gone out).
void SendLcdText(LcdLink& link, std::u16string_view text, std::uint8_t controller);
// The contrast byte, then a 2 ms wait. Resume next.
void SetLcdContrast(LcdLink& link, std::uint8_t contrast);
// Only the contrast byte, no wait. Raises: a contrast above 127 is no byte (overflow), and a port
// that cannot send fails the call.
void SendContrastByte(LcdLink& link, std::uint8_t contrast);

// Sends one byte on the port control; a number outside 0..255 is no byte and raises an overflow.
void SendLineByte(LcdLink& link, std::int32_t number);

}  // namespace marqel
