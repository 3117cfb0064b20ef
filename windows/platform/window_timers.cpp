#include "windows/platform/window_timers.h"

#include <utility>

#include "common/runtime_error.h"
#include "windows/platform/win32_handles.h"
#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {
namespace {

constexpr const wchar_t* kWindowClassName = L"MarqelTimerWindow";
constexpr UINT_PTR kTimerId = 1;

class WindowTimer final : public Timer {
 public:
  WindowTimer(HINSTANCE module, std::function<void()> onTick) : onTick_(std::move(onTick)) {
    window_.reset(::CreateWindowExW(0, kWindowClassName, L"Form1", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, module, this));
    if (!window_) {
      throw RuntimeError(err::kOutOfMemory, "cannot create the link window (" +
                                                SystemErrorText(::GetLastError()) + ")");
    }
  }
  // The window goes with its owner, after this.
  ~WindowTimer() override {
    ::KillTimer(window_.get(), kTimerId);
    // A tick already queued finds no timer object behind the window any more.
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
  }
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  void setInterval(std::int32_t ms) override {
    interval_ = ms;
    restart();
  }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    restart();
  }
  bool enabled() const override { return enabled_; }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_TIMER && wParam == kTimerId) {
      auto* timer = reinterpret_cast<WindowTimer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      if (timer != nullptr) {
        timer->tick();
      }
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

 private:
  // Like a form's timer: running only while enabled with an interval above 0, and counting from
  // the last change.
  void restart() {
    if (enabled_ && interval_ > 0) {
      ::SetTimer(window_.get(), kTimerId, static_cast<UINT>(interval_), nullptr);
    } else {
      ::KillTimer(window_.get(), kTimerId);
    }
  }

  void tick() {
    // A tick that opens a modal box would see the next tick come in through the box's loop;
    // ticks never overlap, so that one is dropped.
    if (ticking_) {
      return;
    }
    ticking_ = true;
    try {
      onTick_();
    } catch (...) {
      // Nothing may unwind into the window procedure (and on into the player's loop).
    }
    ticking_ = false;
  }

  std::function<void()> onTick_;
  UniqueWindow window_;
  std::int32_t interval_ = 0;
  bool enabled_ = false;
  bool ticking_ = false;
};

}  // namespace

WindowTimerFactory::WindowTimerFactory(HINSTANCE module) : module_(module) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &WindowTimer::WindowProc;
  windowClass.hInstance = module_;
  windowClass.lpszClassName = kWindowClassName;
  windowClass_ = ::RegisterClassExW(&windowClass);
  // Should registering fail, making a timer fails too, and says why.
}

WindowTimerFactory::~WindowTimerFactory() {
  if (windowClass_ != 0) {
    ::UnregisterClassW(kWindowClassName, module_);
  }
}

std::unique_ptr<Timer> WindowTimerFactory::createTimer(std::function<void()> onTick) {
  return std::make_unique<WindowTimer>(module_, std::move(onTick));
}

}  // namespace marqel::platform::win32
