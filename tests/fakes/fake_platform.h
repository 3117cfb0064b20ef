#pragma once
// Recording fakes of every platform seam, for tests. FakePlatform owns one of each and hands the
// component a Platform made of them; all link activity lands in one LineRecorder, in order.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "linux/platform/cp1252_code_page.h"
#include "linux/system/window_table.h"
#include "platform/platform.h"
#include "tests/fakes/line_recorder.h"

namespace marqel::fake {

// Which ports exist and which another program holds; shared by every port control the factory
// makes, so a test can change the world between opens.
struct PortWorld {
  std::set<std::int32_t> present{1, 2, 3, 4};
  std::set<std::int32_t> heldByOthers;
  // The device vanished: what is queued never goes out, and the next flush or drain fails (as does
  // every send after it) until the port is closed and opened again.
  bool deviceGone = false;
  int failNextSends = 0;  // this many sends on an open port fail, the ones after work again
  // Bytes queued and not yet flushed, drained or closed. The record shows a byte when it is queued.
  std::size_t unsent = 0;
  int flushes = 0;  // flushes that handed bytes over
};

class FakeSerialPort final : public platform::SerialPort {
 public:
  FakeSerialPort(LineRecorder& recorder, PortWorld& world) : recorder_(recorder), world_(world) {}
  ~FakeSerialPort() override;
  void setCommPort(std::int16_t port) override;
  bool portOpen() const override { return open_; }
  void open() override;
  void close() override;
  void output(std::uint8_t byte) override;
  void flush() override;
  void drain() override;
  std::int16_t commPort() const { return port_; }

 private:
  [[noreturn]] void raiseGone() const;

  LineRecorder& recorder_;
  PortWorld& world_;
  std::int16_t port_ = 1;
  bool open_ = false;
  bool failed_ = false;  // a flush found the device gone
};

class FakeSerialPortFactory final : public platform::SerialPortFactory {
 public:
  FakeSerialPortFactory(LineRecorder& recorder, PortWorld& world)
      : recorder_(recorder), world_(world) {}
  std::unique_ptr<platform::SerialPort> createSerialPort() override;
  int created = 0;

 private:
  LineRecorder& recorder_;
  PortWorld& world_;
};

class FakeDelay final : public platform::Delay {
 public:
  explicit FakeDelay(LineRecorder& recorder) : recorder_(recorder) {}
  void DELAY(std::int32_t ms) override;
  bool failing = false;  // the wait routine is unavailable
  std::int64_t totalMs = 0;

 private:
  LineRecorder& recorder_;
};

// A small double-byte code page for tests: ASCII as itself, kana (U+3040..U+30FF) as the pair
// 0x88 and the low byte of the character, anything else '?'.
class DoubleByteTestCodePage final : public platform::CodePage {
 public:
  std::uint32_t codeOf(char16_t ch) const override;
  std::string toAnsi(std::u16string_view text) const override;
  std::u16string fromAnsi(std::string_view bytes) const override;
};

// Upper-cases ASCII and Latin-1 letters (ÿ to Ÿ), leaves everything else.
class Latin1TestTextCase final : public platform::TextCase {
 public:
  std::u16string upperCase(std::u16string_view text) const override;
};

struct ShownMessage {
  std::u16string text;
  platform::MessageIcon icon;
};

class FakeMessageBoxes final : public platform::MessageBoxes {
 public:
  explicit FakeMessageBoxes(LineRecorder& recorder) : recorder_(recorder) {}
  void show(std::u16string_view text, platform::MessageIcon icon) override;
  std::vector<ShownMessage> shown;
  // Runs while a box is open (the message loop goes on meanwhile).
  std::function<void()> whileOpen;

 private:
  LineRecorder& recorder_;
};

class FakeTimers final : public platform::TimerFactory {
 public:
  class FakeTimer;
  std::unique_ptr<platform::Timer> createTimer(std::function<void()> onTick) override;
  // Delivers one tick to every enabled timer, as the message loop would after their interval.
  void tick(int count = 1);
  // The live timers (a timer is gone once its window is unloaded).
  std::size_t liveTimers() const { return timers_.size(); }
  bool anyEnabled() const;
  std::int32_t lastInterval() const;

 private:
  friend class FakeTimer;
  std::vector<FakeTimer*> timers_;
};

class FakeModuleInfo final : public platform::ModuleInfo {
 public:
  std::filesystem::path directory = "/opt/marqel/plugins";
  std::filesystem::path::value_type separator = '/';
  std::filesystem::path moduleDirectory() const override { return directory; }
  std::filesystem::path::value_type pathSeparator() const override { return separator; }
};

// An in-memory directory of settings files.
class FakeSettingsFiles final : public platform::SettingsFiles {
 public:
  using Path = std::filesystem::path;
  std::map<Path, std::string> files;
  std::set<Path> directories;  // names that are directories, not files
  std::set<Path> hidden;       // files the platform marks hidden or system
  std::set<Path> unreadable;   // present, but opening them fails
  bool readOnly = false;       // writing fails; the old content stays
  int writes = 0;

  bool isOrdinaryFile(const Path& path) const override;
  std::string readAll(const Path& path) const override;
  void replaceContent(const Path& path, std::string_view content) override;
};

class FakeDialogViews final : public platform::DialogViews {
 public:
  void showModal(platform::ConfigurationDialog& dialog) override;
  void closeDialog() override;
  // What the "user" does while the dialog is open; returning closes it.
  std::function<void(platform::ConfigurationDialog&)> whileOpen;
  int shown = 0;
  int closedByComponent = 0;
};

// The seams a test puts in place of the fake's own (a real port, the message loop, files on
// disk...); each one left null stays the fake.
struct SwappedSeams {
  platform::SerialPortFactory* serialPorts = nullptr;
  const platform::CodePage* codePage = nullptr;
  platform::MessageBoxes* messageBoxes = nullptr;
  platform::TimerFactory* timers = nullptr;
  platform::PlayerWindows* playerWindows = nullptr;
  platform::SettingsFiles* files = nullptr;
  platform::DialogViews* dialogs = nullptr;
};

class FakePlatform {
 public:
  FakePlatform();
  platform::Platform platform(const SwappedSeams& swapped = {});

  LineRecorder recorder;
  PortWorld ports;
  FakeSerialPortFactory serialPorts{recorder, ports};
  FakeDelay delay{recorder};
  platform::linux_::Cp1252CodePage codePage;
  Latin1TestTextCase textCase;
  FakeMessageBoxes messageBoxes{recorder};
  FakeTimers timers;
  platform::WindowTable windows;
  FakeModuleInfo module;
  FakeSettingsFiles files;
  FakeDialogViews dialogs;
};

}  // namespace marqel::fake
