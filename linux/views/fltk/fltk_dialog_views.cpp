#include "linux/views/fltk/fltk_dialog_views.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/fl_draw.H>

#include <array>
#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "linux/platform/fltk/fltk_loop.h"
#include "settings/form2_layout.h"

namespace marqel::platform::linux_ {
namespace {

using settings::ControlKind;
using settings::Form2Control;

constexpr Fl_Fontsize kFontSize = 12;

struct PixelRect {
  int x;
  int y;
  int w;
  int h;
};

PixelRect PixelsOf(Form2Control control) {
  const settings::TwipRect twips = settings::WindowRectOf(control);
  return {settings::TwipsToPixels(twips.left), settings::TwipsToPixels(twips.top),
          settings::TwipsToPixels(twips.width), settings::TwipsToPixels(twips.height)};
}

// A frame: an engraved border whose top line runs through the middle of the caption, which
// stands at the top left.
class FrameBox final : public Fl_Group {
 public:
  FrameBox(const PixelRect& r, std::string_view caption) : Fl_Group(r.x, r.y, r.w, r.h) {
    copy_label(std::string(caption).c_str());
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);  // drawn here, never outside
    labelsize(kFontSize);
  }

  void draw() override {
    if ((damage() & ~FL_DAMAGE_CHILD) == 0) {
      for (int i = 0; i < children(); ++i) update_child(*child(i));
      return;
    }
    fl_color(color());
    fl_rectf(x(), y(), w(), h());
    fl_font(labelfont(), labelsize());
    const int borderTop = y() + fl_height() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), borderTop, w(), y() + h() - borderTop, color());
    const char* caption = label();
    if (caption != nullptr && *caption != '\0') {
      const int width = static_cast<int>(fl_width(caption));
      fl_color(color());
      fl_rectf(x() + 6, y(), width + 4, fl_height());
      fl_color(labelcolor());
      fl_draw(caption, x() + 8, y() + fl_height() - fl_descent());
    }
    for (int i = 0; i < children(); ++i) draw_child(*child(i));
  }
};

// The contrast bar. Its callback runs once per completed move: each step of an arrow or of the
// track, held down or not, a key, the release of a dragged thumb, a turn of the wheel; never for
// the positions a drag of the thumb passes through. It takes the focus like any other control,
// and keys move it only then.
class ContrastBar final : public Fl_Scrollbar {
 public:
  explicit ContrastBar(const PixelRect& r) : Fl_Scrollbar(r.x, r.y, r.w, r.h) {
    type(FL_HORIZONTAL);
    bounds(settings::kContrastMin, settings::kContrastMax);
    step(1);
    linesize(1);     // an arrow click moves one step
    slider_size(0);  // and so does a click in the track
    Fl_Scrollbar::value(0);
    when(FL_WHEN_RELEASE);
  }

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS:
      case FL_UNFOCUS:
        if (!Fl::visible_focus()) return 0;
        redraw();
        return 1;
      case FL_SHORTCUT:
        return 0;
      case FL_KEYBOARD:
        return Fl::focus() == this && handleKey();
      case FL_PUSH:
        if (Fl::visible_focus() && Fl::focus() != this) take_focus();
        return handlePush();
      case FL_RELEASE: {
        const int used = Fl_Scrollbar::handle(event);
        when(FL_WHEN_RELEASE);
        return used;
      }
      case FL_MOUSEWHEEL: {
        const int before = value();
        const int used = Fl_Scrollbar::handle(event);
        if (value() != before) do_callback();
        return used;
      }
      default:
        return Fl_Scrollbar::handle(event);
    }
  }

  void draw() override {
    Fl_Scrollbar::draw();
    if (Fl::focus() == this) draw_focus(FL_FLAT_BOX, x(), y(), w(), h());
  }

 private:
  // A press on an arrow or in the track steps at once, and again and again while held; a press on
  // the thumb does not move it, and the middle button drags the thumb wherever it is pressed. So
  // a press of another button that moved the bar is a stepping one: that step and each repeated
  // one are moves of their own, until the release.
  int handlePush() {
    const int before = value();
    const int used = Fl_Scrollbar::handle(FL_PUSH);
    if (value() != before && Fl::event_button() != FL_MIDDLE_MOUSE) {
      when(FL_WHEN_CHANGED);
      do_callback();
    }
    return used;
  }

  int handleKey() {
    int target = value();
    switch (Fl::event_key()) {
      case FL_Left:
      case FL_Page_Up:
        target -= 1;
        break;
      case FL_Right:
      case FL_Page_Down:
        target += 1;
        break;
      case FL_Home:
        target = settings::kContrastMin;
        break;
      case FL_End:
        target = settings::kContrastMax;
        break;
      default:
        return 0;  // the arrows up and down move the focus
    }
    target = static_cast<int>(clamp(target));
    if (target != value()) {
      Fl_Scrollbar::value(target);
      do_callback();
    }
    return 1;
  }
};

}  // namespace

struct FltkDialogViews::Window {
  std::unique_ptr<Fl_Double_Window> window;
  std::array<Fl_Round_Button*, 4> com{};
  ContrastBar* contrast = nullptr;
  Fl_Box* lblContrast = nullptr;

  static FltkDialogViews& ViewsOf(void* data) { return *static_cast<FltkDialogViews*>(data); }

  static void OnCom(Fl_Widget* button, void* data) {
    FltkDialogViews& views = ViewsOf(data);
    for (std::size_t i = 0; i < views.window_->com.size(); ++i) {
      if (views.window_->com[i] == button) {
        const int index = static_cast<int>(i) + settings::kFirstPort;
        views.fire([index](ConfigurationDialog& form) { form.COM_Click(index); });
      }
    }
  }
  static void OnContrast(Fl_Widget* bar, void* data) {
    const int position = static_cast<ContrastBar*>(bar)->value();
    ViewsOf(data).fire(
        [position](ConfigurationDialog& form) { form.setContrastPosition(position); });
  }
  static void OnSetSave(Fl_Widget*, void* data) {
    ViewsOf(data).fire([](ConfigurationDialog& form) { form.SetSave_Click(); });
  }
  static void OnExit(Fl_Widget*, void* data) {
    ViewsOf(data).fire([](ConfigurationDialog& form) { form.Exit_Click(); });
  }
  // The close button (and Escape, which FLTK routes here too).
  static void OnWindow(Fl_Widget* window, void* data) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
      return;  // there is no cancel button
    }
    ViewsOf(data).fire([](ConfigurationDialog& form) { form.close(); });
    window->hide();
  }
};

namespace {

std::unique_ptr<FltkDialogViews::Window> BuildWindow(FltkDialogViews& views) {
  using Window = FltkDialogViews::Window;
  auto built = std::make_unique<Window>();
  Fl_Group* const outer = Fl_Group::current();
  Fl_Group::current(nullptr);  // a new top-level window, whatever is being built elsewhere

  const int width = settings::TwipsToPixels(settings::kForm2ClientWidth);
  const int height = settings::TwipsToPixels(settings::kForm2ClientHeight);
  built->window = std::make_unique<Fl_Double_Window>(width, height);
  Fl_Double_Window& window = *built->window;
  window.copy_label(std::string(settings::kForm2Caption).c_str());
  window.size_range(width, height, width, height);  // a fixed border
  window.callback(&Window::OnWindow, &views);
  window.set_modal();

  // In designer order: each frame holds the controls that follow it, and the order of the
  // children is the tab order.
  FrameBox* frame = nullptr;
  for (const settings::ControlLayout& layout : settings::kForm2Layout) {
    const PixelRect r = PixelsOf(layout.control);
    const std::string caption(layout.caption);
    switch (layout.kind) {
      case ControlKind::Frame:
        if (frame != nullptr) frame->end();
        frame = new FrameBox(r, caption);
        break;
      case ControlKind::OptionButton: {
        auto* button = new Fl_Round_Button(r.x, r.y, r.w, r.h);
        button->copy_label(caption.c_str());
        button->type(FL_RADIO_BUTTON);
        button->labelsize(kFontSize);
        button->callback(&Window::OnCom, &views);
        const int index = static_cast<int>(layout.control) - static_cast<int>(Form2Control::COM1);
        built->com[static_cast<std::size_t>(index)] = button;
        break;
      }
      case ControlKind::HScrollBar:
        built->contrast = new ContrastBar(r);
        built->contrast->callback(&Window::OnContrast, &views);
        break;
      case ControlKind::Label:
        built->lblContrast = new Fl_Box(FL_FLAT_BOX, r.x, r.y, r.w, r.h, nullptr);
        built->lblContrast->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        built->lblContrast->labelsize(kFontSize);
        break;
      case ControlKind::PushButton: {
        // FLTK reads "&&" as one literal '&', as the designer's caption means it.
        auto* button = new Fl_Button(r.x, r.y, r.w, r.h);
        button->copy_label(caption.c_str());
        button->labelsize(kFontSize);
        button->callback(
            layout.control == Form2Control::SetSave ? &Window::OnSetSave : &Window::OnExit, &views);
        break;
      }
    }
  }
  if (frame != nullptr) frame->end();
  window.end();
  Fl_Group::current(outer);

  // Centred on the screen.
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, 0);
  window.position(sx + (sw - width) / 2, sy + (sh - height) / 2);
  return built;
}

}  // namespace

FltkDialogViews::FltkDialogViews(EventLoop& loop) : loop_(loop) {}

FltkDialogViews::~FltkDialogViews() {
  if (form_ != nullptr) {
    form_->setObserver(nullptr);
  }
}

template <class Action>
void FltkDialogViews::fire(Action&& action) {
  if (form_ == nullptr) {
    return;  // closed by the component: no handler runs any more
  }
  const auto keepAlive = form_->keepAlive();
  ConfigurationDialog& form = *form_;
  try {
    action(form);
  } catch (...) {
    // A control's event ends at its edge: nothing it raises reaches the toolkit or the host.
  }
}

void FltkDialogViews::showModal(ConfigurationDialog& form) {
  if (window_ != nullptr) {
    throw RuntimeError(err::kFormAlreadyDisplayed, "Form already displayed; can't show modally");
  }
  if (form.unloaded()) {
    return;
  }
  OpenFltkDisplay();
  // The dialog stays alive until this loop has unwound, even when Quit unloads it from inside.
  const auto keepAlive = form.keepAlive();
  window_ = BuildWindow(*this);
  form_ = &form;
  form.setObserver(this);
  controlsChanged(form);

  struct Cleanup {
    FltkDialogViews& views;
    ~Cleanup() {
      if (views.form_ != nullptr) {
        views.form_->setObserver(nullptr);
        views.form_ = nullptr;
      }
      views.window_.reset();
    }
  } cleanup{*this};

  window_->window->show();
  // The focus starts on the option group's selected button, its one stop in the tab order.
  const int selected = form.selectedCOM();
  window_->com[static_cast<std::size_t>(selected != 0 ? selected - settings::kFirstPort : 0)]
      ->take_focus();
  const FltkLoopBinding binding(loop_);
  loop_.runUntil([this] { return !window_->window->shown(); });
}

void FltkDialogViews::closeDialog() {
  form_ = nullptr;
  if (window_ != nullptr) {
    window_->window->hide();
    loop_.wake();
  }
}

void FltkDialogViews::controlsChanged(const ConfigurationDialog& form) {
  if (window_ == nullptr) {
    return;
  }
  for (std::size_t i = 0; i < window_->com.size(); ++i) {
    window_->com[i]->value(form.selectedCOM() == static_cast<int>(i) + settings::kFirstPort);
  }
  window_->contrast->value(form.contrastPosition());
  window_->lblContrast->copy_label(Utf16ToUtf8(form.lblContrast()).c_str());
  window_->lblContrast->redraw();
}

}  // namespace marqel::platform::linux_
