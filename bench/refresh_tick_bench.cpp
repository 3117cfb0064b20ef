// What one refresh tick costs: a tick in which nothing changed (the case twice a second, all day)
// and a tick that redraws the text, on the Linux code page, upper-casing and window table, with a
// port that only counts bytes, so the time is the component's own. Heap allocations are counted
// by replacing the global allocator and reported per tick (allocs_per_tick).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "display/refresh_cycle.h"
#include "display/title_parsing.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/platform/locale_text_case.h"
#include "linux/system/window_table.h"
#include "platform/platform.h"
#include "plugin/component.h"
#include "plugin/host_link.h"

namespace {

std::uint64_t g_allocations = 0;

}  // namespace

// Out of line, so the compiler never pairs an inlined free() with a new-expression and warns.
[[gnu::noinline]] void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
  return ::operator new(size);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace marqel::bench {
namespace {

class CountingPort final : public platform::SerialPort {
 public:
  explicit CountingPort(std::uint64_t& bytes) : bytes_(bytes) {}
  void setCommPort(std::int16_t) override {}
  bool portOpen() const override { return open_; }
  void open() override { open_ = true; }
  void close() override { open_ = false; }
  void output(std::uint8_t) override { ++bytes_; }
  void flush() override {}
  void drain() override {}

 private:
  std::uint64_t& bytes_;
  bool open_ = false;
};

class CountingPorts final : public platform::SerialPortFactory {
 public:
  std::unique_ptr<platform::SerialPort> createSerialPort() override {
    return std::make_unique<CountingPort>(bytes);
  }
  std::uint64_t bytes = 0;
};

class NoDelay final : public platform::Delay {
 public:
  void DELAY(std::int32_t) override {}
};

class NoMessageBoxes final : public platform::MessageBoxes {
 public:
  void show(std::u16string_view, platform::MessageIcon) override {}
};

class IdleTimer final : public platform::Timer {
 public:
  void setInterval(std::int32_t) override {}
  void setEnabled(bool) override {}
  bool enabled() const override { return false; }
};

class IdleTimers final : public platform::TimerFactory {
 public:
  std::unique_ptr<platform::Timer> createTimer(std::function<void()>) override {
    return std::make_unique<IdleTimer>();
  }
};

class FixedModule final : public platform::ModuleInfo {
 public:
  std::filesystem::path moduleDirectory() const override { return "/tmp"; }
  std::filesystem::path::value_type pathSeparator() const override { return '/'; }
};

class NoFiles final : public platform::SettingsFiles {
 public:
  bool isOrdinaryFile(const std::filesystem::path&) const override { return false; }
  std::string readAll(const std::filesystem::path&) const override { return {}; }
  void replaceContent(const std::filesystem::path&, std::string_view) override {}
};

class NoDialogs final : public platform::DialogViews {
 public:
  void showModal(platform::ConfigurationDialog&) override {}
  void closeDialog() override {}
};

class PlayerHost final : public HostLink {
 public:
  std::int32_t SetDescription(std::u16string_view) override { return 0; }
  std::int32_t GetPlayerWindow(std::int32_t* out) override {
    *out = window;
    return 0;
  }
  platform::WindowHandle window = 0;
};

// A loaded component whose player is playing `text`, drawn once.
struct Rig {
  explicit Rig(const std::string& text) {
    window = windows.create({text, 1, 240, 100'000, {}});
    host->window = window;
    component.hostLink = host;
    component.loadForm1();
    RefreshTick(component.nowPlaying());
  }
  CountingPorts ports;
  NoDelay delay;
  platform::linux_::Cp1252CodePage codePage;
  platform::linux_::LocaleTextCase textCase;
  NoMessageBoxes boxes;
  IdleTimers timers;
  platform::WindowTable windows;
  FixedModule module;
  NoFiles files;
  NoDialogs dialogs;
  std::shared_ptr<PlayerHost> host = std::make_shared<PlayerHost>();
  Component component{platform::Platform{ports, delay, codePage, textCase, boxes, timers, windows,
                                         module, files, dialogs}};
  platform::WindowHandle window = 0;
};

constexpr const char* kTrack = "12. Some Artist - Some Title That Runs Over Two Lines - Winamp";
constexpr const char* kOtherTrack =
    "13. Other Artist - Another Title Running Over Two Lines - Winamp";

void Report(benchmark::State& state, std::uint64_t allocations, std::uint64_t bytes) {
  state.counters["allocs_per_tick"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["bytes_per_tick"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}

// Ticks on a window whose text, state and position never change.
void MeasureIdleTicks(benchmark::State& state, const std::string& windowText) {
  Rig rig(windowText);
  const std::uint64_t bytesBefore = rig.ports.bytes;
  const std::uint64_t allocationsBefore = g_allocations;
  for (auto _ : state) {
    RefreshTick(rig.component.nowPlaying());
  }
  Report(state, g_allocations - allocationsBefore, rig.ports.bytes - bytesBefore);
}

void BM_IdleTick(benchmark::State& state) {
  MeasureIdleTicks(state, kTrack);
}
BENCHMARK(BM_IdleTick);

// The longest text ever read, unchanged: the bound on an idle tick's work.
void BM_IdleTickLongestText(benchmark::State& state) {
  const std::string text = "1. A - " +
                           std::string(static_cast<std::size_t>(marqel::kMaxWindowTextRead), 'x') +
                           " - Winamp";
  MeasureIdleTicks(state, text);
}
BENCHMARK(BM_IdleTickLongestText);

// Every tick sees another track: three lines go out (the bar stays as it is). The host hands out
// one of two player windows in turn, so switching costs nothing the tick does not.
void BM_TextRedrawTick(benchmark::State& state) {
  Rig rig(kTrack);
  const platform::WindowHandle windows[] = {rig.windows.create({kOtherTrack, 1, 240, 100'000, {}}),
                                            rig.window};
  std::size_t next = 0;
  const auto redraw = [&] {
    rig.host->window = windows[next];
    next ^= 1u;
    RefreshTick(rig.component.nowPlaying());
  };
  // Once each: the component's buffers grow to these texts before the counting starts.
  redraw();
  redraw();
  const std::uint64_t bytesBefore = rig.ports.bytes;
  const std::uint64_t allocationsBefore = g_allocations;
  for (auto _ : state) {
    redraw();
  }
  Report(state, g_allocations - allocationsBefore, rig.ports.bytes - bytesBefore);
}
BENCHMARK(BM_TextRedrawTick);

}  // namespace
}  // namespace marqel::bench

BENCHMARK_MAIN();
