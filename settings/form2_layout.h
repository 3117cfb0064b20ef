#pragma once
// The configuration dialog's designer layout, for every toolkit that draws it. Positions are in
// twips (1/1440 inch) relative to the client area of the window or frame that holds the control.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace marqel::settings {

inline constexpr int kTwipsPerPixel = 15;  // at 96 dots per inch
inline constexpr int TwipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

// The option buttons COM(1) to COM(4), and the range of the contrast bar.
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 4;
inline constexpr int kContrastMin = 0;
inline constexpr int kContrastMax = 127;

inline constexpr std::string_view kForm2Caption = "Marqel configuration";
inline constexpr int kForm2ClientWidth = 4335;
inline constexpr int kForm2ClientHeight = 3135;

enum class ControlKind { Frame, OptionButton, HScrollBar, Label, PushButton };

enum class Form2Control {
  Frame1,
  COM1,
  COM2,
  COM3,
  COM4,
  Frame2,
  Contrast,
  lblContrast,
  Frame3,
  SetSave,
  Exit
};

struct ControlLayout {
  Form2Control control;
  ControlKind kind;
  std::optional<Form2Control> inside;  // the frame holding it; none for the window itself
  std::string_view caption;            // as designed: "&&" stands for one literal '&'
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
};

// In designer order, which is also the order of the frames' children.
inline constexpr std::array<ControlLayout, 11> kForm2Layout{{
    {Form2Control::Frame1, ControlKind::Frame, std::nullopt, "COM Port", 120, 120, 4095, 855, 0},
    {Form2Control::COM1, ControlKind::OptionButton, Form2Control::Frame1, "COM1", 240, 360, 855,
     255, 1},
    {Form2Control::COM2, ControlKind::OptionButton, Form2Control::Frame1, "COM2", 1200, 360, 855,
     255, 2},
    {Form2Control::COM3, ControlKind::OptionButton, Form2Control::Frame1, "COM3", 2160, 360, 855,
     255, 3},
    {Form2Control::COM4, ControlKind::OptionButton, Form2Control::Frame1, "COM4", 3120, 360, 855,
     255, 4},
    {Form2Control::Frame2, ControlKind::Frame, std::nullopt, "LCD Contrast", 120, 1080, 4095, 855,
     5},
    {Form2Control::Contrast, ControlKind::HScrollBar, Form2Control::Frame2, "", 240, 360, 3255, 255,
     6},
    {Form2Control::lblContrast, ControlKind::Label, Form2Control::Frame2, "", 3480, 360, 375, 255,
     10},
    {Form2Control::Frame3, ControlKind::Frame, std::nullopt, "", 120, 2040, 4095, 975, 7},
    {Form2Control::SetSave, ControlKind::PushButton, Form2Control::Frame3, "Set && Save", 240, 360,
     1695, 375, 8},
    {Form2Control::Exit, ControlKind::PushButton, Form2Control::Frame3, "Exit", 2160, 360, 1695,
     375, 9},
}};

inline constexpr const ControlLayout& LayoutOf(Form2Control control) {
  for (const auto& entry : kForm2Layout) {
    if (entry.control == control) {
      return entry;
    }
  }
  return kForm2Layout.front();  // unreachable: every control has an entry
}

// The control's position in twips relative to the window's client area.
struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};
inline constexpr TwipRect WindowRectOf(Form2Control control) {
  const ControlLayout& own = LayoutOf(control);
  TwipRect rect{own.left, own.top, own.width, own.height};
  if (own.inside) {
    const ControlLayout& frame = LayoutOf(*own.inside);
    rect.left += frame.left;
    rect.top += frame.top;
  }
  return rect;
}

// A caption as the user reads it: each "&&" is one '&' (no caption of the dialog has an access
// key).
inline std::string ShownCaption(std::string_view caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    out.push_back(caption[i]);
    if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&') {
      ++i;
    }
  }
  return out;
}

}  // namespace marqel::settings
