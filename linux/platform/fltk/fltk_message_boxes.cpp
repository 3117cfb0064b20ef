#include "linux/platform/fltk/fltk_message_boxes.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>
#include <string>

#include "linux/platform/fltk/fltk_loop.h"
#include "linux/system/stderr_message_boxes.h"

// Xlib, under FLTK's drawing header, defines None as a macro.
#ifdef None
#undef None
#endif

namespace marqel::platform::linux_ {
namespace {

constexpr const char* kTitle = "Marqel";
constexpr Fl_Fontsize kFontSize = 14;
constexpr int kMargin = 12;
constexpr int kIconSize = 40;
constexpr int kMaxTextWidth = 480;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;

// The message text exactly as given: no '@' symbols, no '&' underlines, wrapped at the width.
class MessageText final : public Fl_Widget {
 public:
  MessageText(int x, int y, int w, int h, std::string text)
      : Fl_Widget(x, y, w, h), text_(std::move(text)) {}
  void draw() override {
    fl_font(FL_HELVETICA, kFontSize);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(text_.c_str(), x(), y(), w(), h(),
            static_cast<Fl_Align>(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP | FL_ALIGN_INSIDE),
            nullptr, 0);
  }

 private:
  std::string text_;
};

// A round badge with "i" (information) or "!" (warning).
class MessageIconBox final : public Fl_Widget {
 public:
  MessageIconBox(int x, int y, MessageIcon icon)
      : Fl_Widget(x, y, kIconSize, kIconSize), icon_(icon) {}
  void draw() override {
    const bool warning = icon_ == MessageIcon::Warning;
    fl_color(warning ? fl_rgb_color(0xE8, 0xB0, 0x00) : fl_rgb_color(0x2A, 0x6E, 0xD0));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, 26);
    fl_draw(warning ? "!" : "i", x(), y(), w(), h(), FL_ALIGN_CENTER, nullptr, 0);
  }

 private:
  MessageIcon icon_;
};

void OnDismiss(Fl_Widget* widget, void*) {
  Fl_Window* window = widget->as_window() != nullptr ? widget->as_window() : widget->window();
  if (window != nullptr) window->hide();
}

}  // namespace

FltkMessageBoxes::FltkMessageBoxes(EventLoop& loop) : loop_(loop) {}

void FltkMessageBoxes::show(std::u16string_view text, MessageIcon icon) {
  if (!FltkDisplayAvailable()) {
    StderrMessageBoxes().show(text, icon);
    return;
  }
  const std::string utf8 = FltkText(text);

  fl_font(FL_HELVETICA, kFontSize);
  int textWidth = kMaxTextWidth;
  int textHeight = 0;
  fl_measure(utf8.c_str(), textWidth, textHeight, 0);
  textWidth = std::min(textWidth, kMaxTextWidth);
  const int textLeft = icon == MessageIcon::None ? kMargin : kMargin * 2 + kIconSize;
  const int bodyHeight = std::max(textHeight, icon == MessageIcon::None ? 0 : kIconSize);
  const int width = std::max(textLeft + textWidth + kMargin, kButtonWidth + 2 * kMargin);
  const int height = kMargin + bodyHeight + kMargin + kButtonHeight + kMargin;

  Fl_Group* const outer = Fl_Group::current();
  Fl_Group::current(nullptr);
  auto window = std::make_unique<Fl_Double_Window>(width, height);
  window->copy_label(kTitle);
  window->size_range(width, height, width, height);
  window->set_modal();
  window->callback(&OnDismiss);
  if (icon != MessageIcon::None) {
    new MessageIconBox(kMargin, kMargin, icon);
  }
  new MessageText(textLeft, kMargin, textWidth, bodyHeight, utf8);
  auto* ok = new Fl_Return_Button((width - kButtonWidth) / 2, height - kMargin - kButtonHeight,
                                  kButtonWidth, kButtonHeight, "OK");
  ok->callback(&OnDismiss);
  window->end();
  Fl_Group::current(outer);

  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, 0);
  window->position(sx + (sw - width) / 2, sy + (sh - height) / 2);
  window->show();
  ok->take_focus();

  const FltkLoopBinding binding(loop_);
  loop_.runUntil([&] { return !window->shown(); });
}

}  // namespace marqel::platform::linux_
