#include "windows/views/win32_dialog_views.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <vector>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "settings/form2_layout.h"
#include "windows/platform/win32_handles.h"
#include "windows/platform/win32_text.h"
#include "windows/views/config_dialog_ids.h"

namespace marqel::platform::win32 {
namespace {

using settings::ControlKind;
using settings::Form2Control;

constexpr int kTwipsPerInch = 1440;

int ControlId(Form2Control control) {
  switch (control) {
    case Form2Control::Frame1:
      return dialog_ids::kFrame1;
    case Form2Control::COM1:
      return dialog_ids::kCOM1;
    case Form2Control::COM2:
      return dialog_ids::kCOM1 + 1;
    case Form2Control::COM3:
      return dialog_ids::kCOM1 + 2;
    case Form2Control::COM4:
      return dialog_ids::kCOM1 + 3;
    case Form2Control::Frame2:
      return dialog_ids::kFrame2;
    case Form2Control::Contrast:
      return dialog_ids::kContrast;
    case Form2Control::lblContrast:
      return dialog_ids::kLblContrast;
    case Form2Control::Frame3:
      return dialog_ids::kFrame3;
    case Form2Control::SetSave:
      return dialog_ids::kSetSave;
    case Form2Control::Exit:
      return dialog_ids::kExit;
  }
  return 0;
}

// The port number an option button stands for; 0 for any other control.
int PortOfControlId(int id) {
  if (id >= dialog_ids::kCOM1 && id < dialog_ids::kCOM1 + settings::kLastPort) {
    return id - dialog_ids::kCOM1 + 1;
  }
  return 0;
}

struct ControlStyle {
  const wchar_t* windowClass;
  DWORD style;
};

ControlStyle StyleOf(const settings::ControlLayout& layout) {
  const DWORD child = WS_CHILD | WS_VISIBLE;
  switch (layout.kind) {
    case ControlKind::Frame:
      return {L"BUTTON", child | BS_GROUPBOX | WS_GROUP};
    case ControlKind::OptionButton:
      // The four buttons are one group: the first opens it, the next frame closes it.
      return {L"BUTTON", child | BS_AUTORADIOBUTTON | WS_TABSTOP |
                             (layout.control == Form2Control::COM1 ? WS_GROUP : 0u)};
    case ControlKind::HScrollBar:
      return {L"SCROLLBAR", child | SBS_HORZ | WS_TABSTOP | WS_GROUP};
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFT | SS_NOPREFIX | WS_GROUP};
    case ControlKind::PushButton:
      return {L"BUTTON", child | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP};
  }
  return {L"STATIC", child};
}

int ScreenDotsPerInch() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) {
    ::ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int TwipsToPixels(int twips, int dotsPerInch) {
  return ::MulDiv(twips, dotsPerInch, kTwipsPerInch);
}

struct Win32DialogViews::OpenDialog {
  ConfigurationDialog* form = nullptr;
  platform::win32::UniqueWindow window;
  HWND owner = nullptr;
  platform::win32::UniqueGdiObject font;
  bool running = false;  // the modal loop is on the stack
  bool done = false;
};

Win32DialogViews::Win32DialogViews(HINSTANCE module) : module_(module) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32DialogViews::WindowProc;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = module_;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = dialog_ids::kWindowClass;
  windowClass_ = ::RegisterClassExW(&windowClass);
}

Win32DialogViews::~Win32DialogViews() {
  closeDialog();
  if (windowClass_ != 0) {
    ::UnregisterClassW(dialog_ids::kWindowClass, module_);
  }
}

void Win32DialogViews::showModal(ConfigurationDialog& form) {
  if (open_) {
    ::SetForegroundWindow(open_->window.get());
    throw RuntimeError(err::kFormAlreadyDisplayed, "Form already displayed; can't show modally");
  }
  // The model stays alive until the loop has ended, even when the component unloads it from
  // inside the loop (Quit while the dialog is open).
  const std::shared_ptr<ConfigurationDialog> keepAlive = form.keepAlive();
  auto dialog = std::make_unique<OpenDialog>();
  dialog->form = &form;
  HWND owner = ::GetActiveWindow();
  dialog->owner = owner;

  const int dpi = ScreenDotsPerInch();
  RECT frame{0, 0, TwipsToPixels(settings::kForm2ClientWidth, dpi),
             TwipsToPixels(settings::kForm2ClientHeight, dpi)};
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;

  const std::wstring caption = WideFrom(Utf8ToUtf16(settings::kForm2Caption));
  open_ = std::move(dialog);
  HWND window = ::CreateWindowExW(exStyle, dialog_ids::kWindowClass, caption.c_str(), style, left,
                                  top, width, height, owner, nullptr, module_, this);
  if (window == nullptr) {
    open_.reset();
    throw RuntimeError(err::kOutOfMemory, "cannot create the configuration dialog (" +
                                              SystemErrorText(::GetLastError()) + ")");
  }
  open_->window.reset(window);
  try {
    createControls(window, dpi);
    form.setObserver(this);
    controlsChanged(form);

    if (owner != nullptr) {
      ::EnableWindow(owner, FALSE);
    }
    ::ShowWindow(window, SW_SHOW);
    ::SetFocus(::GetNextDlgTabItem(window, nullptr, FALSE));
    runModalLoop();
  } catch (...) {
    // Never leave the player disabled behind a dialog that is gone.
    open_->running = false;
    closeDialog();
    throw;
  }
  closeDialog();
}

void Win32DialogViews::runModalLoop() {
  open_->running = true;
  MSG message{};
  while (!open_->done) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The thread is quitting: end the dialog and let the outer loop see the quit as well.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) {
      break;
    }
    if (::IsDialogMessageW(open_->window.get(), &message)) {
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  open_->running = false;
}

void Win32DialogViews::closeDialog() {
  if (!open_) {
    return;
  }
  if (open_->running) {
    // Called from inside the modal loop (a handler, or the host): the window goes once the
    // loop has ended, never under the feet of the procedure that is running now.
    open_->done = true;
    ::PostMessageW(open_->window.get(), WM_NULL, 0, 0);  // wakes the loop's wait
    return;
  }
  std::unique_ptr<OpenDialog> dialog = std::move(open_);
  if (dialog->form != nullptr && !dialog->form->unloaded()) {
    dialog->form->setObserver(nullptr);
  }
  // The owner comes back before the dialog goes, so the activation returns to it.
  if (dialog->owner != nullptr) {
    ::EnableWindow(dialog->owner, TRUE);
    if (::GetActiveWindow() == dialog->window.get()) {
      ::SetActiveWindow(dialog->owner);
    }
  }
  if (dialog->window) {
    ::SetWindowLongPtrW(dialog->window.get(), GWLP_USERDATA, 0);
  }
  // The window goes first: its controls use the font until then.
  dialog->window.reset();
  dialog->font.reset();
}

void Win32DialogViews::createControls(HWND window, int dotsPerInch) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    open_->font.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  }
  HGDIOBJ font = open_->font ? open_->font.get() : ::GetStockObject(DEFAULT_GUI_FONT);

  // Creation order is the tab order.
  std::array<settings::ControlLayout, settings::kForm2Layout.size()> byTab = settings::kForm2Layout;
  std::sort(byTab.begin(), byTab.end(),
            [](const auto& a, const auto& b) { return a.tabIndex < b.tabIndex; });
  for (const settings::ControlLayout& layout : byTab) {
    const settings::TwipRect rect = settings::WindowRectOf(layout.control);
    const ControlStyle kind = StyleOf(layout);
    // The designer's "&&" for one literal '&' is the system's own convention for captions, so
    // the caption goes in as designed (and no caption has an access key).
    const std::wstring caption = WideFrom(Utf8ToUtf16(layout.caption));
    HWND control = ::CreateWindowExW(
        0, kind.windowClass, caption.c_str(), kind.style, TwipsToPixels(rect.left, dotsPerInch),
        TwipsToPixels(rect.top, dotsPerInch), TwipsToPixels(rect.width, dotsPerInch),
        TwipsToPixels(rect.height, dotsPerInch), window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout.control))), module_, nullptr);
    if (control == nullptr) {
      continue;
    }
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (layout.kind == ControlKind::HScrollBar) {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      info.nMin = settings::kContrastMin;
      info.nMax = settings::kContrastMax;
      info.nPage = 0;
      info.nPos = 0;
      ::SetScrollInfo(control, SB_CTL, &info, FALSE);
    }
  }
}

void Win32DialogViews::controlsChanged(const ConfigurationDialog& form) {
  if (!open_ || !open_->window) {
    return;
  }
  HWND window = open_->window.get();
  for (int port = settings::kFirstPort; port <= settings::kLastPort; ++port) {
    ::CheckDlgButton(window, dialog_ids::kCOM1 + port - 1,
                     form.selectedCOM() == port ? BST_CHECKED : BST_UNCHECKED);
  }
  ::SetScrollPos(::GetDlgItem(window, dialog_ids::kContrast), SB_CTL, form.contrastPosition(),
                 TRUE);
  const std::wstring label = WideFrom(form.lblContrast());
  ::SetDlgItemTextW(window, dialog_ids::kLblContrast, label.c_str());
  if (form.unloaded()) {
    open_->done = true;
  }
}

template <class Event>
void Win32DialogViews::fire(Event&& event) {
  if (!open_ || open_->form == nullptr || open_->form->unloaded()) {
    return;
  }
  ConfigurationDialog* form = open_->form;
  const std::shared_ptr<ConfigurationDialog> keepAlive = form->keepAlive();
  try {
    event(*form);
  } catch (...) {
    // The model reports its own failures; nothing may unwind through the window procedure.
  }
  if (open_ && open_->form == form && form->unloaded()) {
    open_->done = true;
  }
}

void Win32DialogViews::onCommand(int id, int code) {
  if (code != BN_CLICKED || open_ == nullptr) {
    return;
  }
  if (const int port = PortOfControlId(id); port != 0) {
    fire([port](ConfigurationDialog& form) { form.COM_Click(port); });
  } else if (id == dialog_ids::kSetSave) {
    fire([](ConfigurationDialog& form) { form.SetSave_Click(); });
  } else if (id == dialog_ids::kExit) {
    fire([](ConfigurationDialog& form) { form.Exit_Click(); });
  }
}

void Win32DialogViews::onScroll(int request, int thumbPosition) {
  if (open_ == nullptr || !open_->window) {
    return;
  }
  HWND bar = ::GetDlgItem(open_->window.get(), dialog_ids::kContrast);
  const int current = ::GetScrollPos(bar, SB_CTL);
  int target = current;
  switch (request) {
    case SB_LINELEFT:
    case SB_PAGELEFT:
      target = current - 1;
      break;
    case SB_LINERIGHT:
    case SB_PAGERIGHT:
      target = current + 1;
      break;
    case SB_LEFT:
      target = settings::kContrastMin;
      break;
    case SB_RIGHT:
      target = settings::kContrastMax;
      break;
    case SB_THUMBTRACK:
      // The thumb follows the mouse; the value changes only when it is let go.
      ::SetScrollPos(bar, SB_CTL, thumbPosition, TRUE);
      return;
    case SB_THUMBPOSITION:
      target = thumbPosition;
      break;
    default:  // SB_ENDSCROLL: the move was already reported
      return;
  }
  target = std::clamp(target, settings::kContrastMin, settings::kContrastMax);
  fire([target](ConfigurationDialog& form) { form.setContrastPosition(target); });
  // A position the model did not take (the same value again) still puts the thumb back.
  if (open_ && open_->form != nullptr && !open_->form->unloaded() && open_->window) {
    ::SetScrollPos(bar, SB_CTL, open_->form->contrastPosition(), TRUE);
  }
}

LRESULT CALLBACK Win32DialogViews::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32DialogViews*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    return self->handle(window, message, wParam, lParam);
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32DialogViews::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(window, dialog_ids::kContrast)) {
        onScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      }
      return 0;
    case WM_CLOSE:
      // The window's own close: no handler of the dialog runs.
      fire([](ConfigurationDialog& form) { form.close(); });
      if (open_) {
        open_->done = true;
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      // Labels and frames on the dialog's face colour.
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace marqel::platform::win32
