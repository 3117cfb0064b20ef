#pragma once
// Control identifiers of the configuration dialog's window, for anything that drives it from
// outside (a test player, an accessibility tool).
namespace marqel::platform::win32::dialog_ids {

inline constexpr int kFrame1 = 100;
inline constexpr int kCOM1 = 101;  // COM1..COM4 are kCOM1 + 0..3
inline constexpr int kFrame2 = 110;
inline constexpr int kContrast = 111;
inline constexpr int kLblContrast = 112;
inline constexpr int kFrame3 = 120;
inline constexpr int kSetSave = 121;
inline constexpr int kExit = 122;

inline constexpr const wchar_t* kWindowClass = L"MarqelConfigDialog";

}  // namespace marqel::platform::win32::dialog_ids
