#include "tests/fakes/fake_platform.h"

#include <algorithm>
#include <type_traits>

#include "common/runtime_error.h"
#include "common/utf.h"

namespace marqel::fake {

// --- serial port ---------------------------------------------------------------------------

FakeSerialPort::~FakeSerialPort() {
  if (open_) {
    world_.unsent = 0;
    recorder_.record({LinkEvent::Kind::Close});
  }
}

void FakeSerialPort::setCommPort(std::int16_t port) {
  if (open_) {
    throw RuntimeError(err::kPortOperationWhileOpen,
                       "Operation not valid while the port is opened");
  }
  port_ = port;
  recorder_.record({LinkEvent::Kind::SetPort, port});
}

void FakeSerialPort::open() {
  if (open_) {
    throw RuntimeError(err::kPortAlreadyOpen, "Port already open");
  }
  const std::string name = "COM" + std::to_string(port_);
  if (port_ <= 0) {
    throw RuntimeError(err::kPortInvalid, "Invalid port number");
  }
  if (world_.present.count(port_) == 0) {
    throw RuntimeError(err::kPortInvalid, name + ": no such port");
  }
  if (world_.heldByOthers.count(port_) != 0) {
    throw RuntimeError(err::kPortInUse, name + ": port in use by another program");
  }
  open_ = true;
  world_.deviceGone = false;
  recorder_.record({LinkEvent::Kind::Open, port_});
}

void FakeSerialPort::close() {
  if (!open_) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  open_ = false;
  failed_ = false;
  world_.unsent = 0;
  recorder_.record({LinkEvent::Kind::Close});
}

void FakeSerialPort::raiseGone() const {
  throw RuntimeError(err::kPortDeviceGone, "COM" + std::to_string(port_) + ": device gone");
}

void FakeSerialPort::output(std::uint8_t byte) {
  if (!open_) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  if (failed_) {
    raiseGone();
  }
  if (world_.failNextSends > 0) {
    --world_.failNextSends;
    throw RuntimeError(err::kPortDeviceGone, "COM" + std::to_string(port_) + ": line fault");
  }
  ++world_.unsent;
  if (!world_.deviceGone) {
    recorder_.record({LinkEvent::Kind::Byte, byte});
  }
}

void FakeSerialPort::flush() {
  if (!open_) {
    return;
  }
  // As a real device: a vanished one is found out by writing to it.
  if (failed_ || (world_.deviceGone && world_.unsent > 0)) {
    failed_ = true;
    world_.unsent = 0;
    raiseGone();
  }
  if (world_.unsent > 0) {
    ++world_.flushes;
    world_.unsent = 0;
  }
}

void FakeSerialPort::drain() {
  if (!open_) {
    return;
  }
  flush();
  // Waiting for the line asks the device too.
  if (world_.deviceGone) {
    failed_ = true;
    raiseGone();
  }
  recorder_.record({LinkEvent::Kind::Drain});
}

std::unique_ptr<platform::SerialPort> FakeSerialPortFactory::createSerialPort() {
  ++created;
  return std::make_unique<FakeSerialPort>(recorder_, world_);
}

// --- wait ----------------------------------------------------------------------------------

void FakeDelay::DELAY(std::int32_t ms) {
  if (failing) {
    throw RuntimeError(err::kCannotLoadDll, "Error in loading DLL");
  }
  totalMs += ms;
  recorder_.record({LinkEvent::Kind::Wait, ms});
}

// --- text ----------------------------------------------------------------------------------

namespace {
// Kana only: their low bytes (0x40..0xFF) are never NUL and map back to one character each.
bool IsDoubleByteChar(char16_t ch) {
  return ch >= 0x3040 && ch <= 0x30FF;
}
}  // namespace

std::uint32_t DoubleByteTestCodePage::codeOf(char16_t ch) const {
  if (ch < 0x80) return ch;
  if (IsDoubleByteChar(ch)) return 0x8800u + (static_cast<std::uint32_t>(ch) & 0xFFu);
  return '?';
}

std::string DoubleByteTestCodePage::toAnsi(std::u16string_view text) const {
  std::string out;
  for (const char16_t ch : text) {
    const std::uint32_t code = codeOf(ch);
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

std::u16string DoubleByteTestCodePage::fromAnsi(std::string_view bytes) const {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0x88 && i + 1 < bytes.size()) {
      out.push_back(static_cast<char16_t>(0x3000 + static_cast<unsigned char>(bytes[++i])));
    } else {
      out.push_back(b < 0x80 ? static_cast<char16_t>(b) : u'?');
    }
  }
  return out;
}

std::u16string Latin1TestTextCase::upperCase(std::u16string_view text) const {
  std::u16string out(text);
  for (char16_t& ch : out) {
    if ((ch >= u'a' && ch <= u'z') || (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7)) {
      ch = static_cast<char16_t>(ch - 0x20);
    } else if (ch == 0xFF) {
      ch = 0x178;
    }
  }
  return out;
}

// --- message boxes -------------------------------------------------------------------------

void FakeMessageBoxes::show(std::u16string_view text, platform::MessageIcon icon) {
  shown.push_back({std::u16string(text), icon});
  recorder_.record(
      {LinkEvent::Kind::MessageBox, static_cast<std::int32_t>(icon), Utf16ToUtf8(text)});
  if (whileOpen) {
    whileOpen();
  }
}

// --- timers --------------------------------------------------------------------------------

class FakeTimers::FakeTimer final : public platform::Timer {
 public:
  FakeTimer(FakeTimers& owner, std::function<void()> onTick)
      : owner_(owner), onTick_(std::move(onTick)) {
    owner_.timers_.push_back(this);
  }
  ~FakeTimer() override {
    auto& list = owner_.timers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  void setInterval(std::int32_t ms) override { interval_ = ms; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool enabled() const override { return enabled_; }
  std::int32_t interval() const { return interval_; }
  void fire() {
    if (enabled_ && interval_ > 0) onTick_();
  }

 private:
  FakeTimers& owner_;
  std::function<void()> onTick_;
  std::int32_t interval_ = 0;
  bool enabled_ = false;
};

std::unique_ptr<platform::Timer> FakeTimers::createTimer(std::function<void()> onTick) {
  return std::make_unique<FakeTimer>(*this, std::move(onTick));
}

void FakeTimers::tick(int count) {
  for (int i = 0; i < count; ++i) {
    // A tick may unload the timer's window; work on a copy and skip timers gone meanwhile.
    const auto snapshot = timers_;
    for (FakeTimer* timer : snapshot) {
      if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end()) timer->fire();
    }
  }
}

bool FakeTimers::anyEnabled() const {
  return std::any_of(timers_.begin(), timers_.end(),
                     [](const FakeTimer* t) { return t->enabled(); });
}

std::int32_t FakeTimers::lastInterval() const {
  return timers_.empty() ? 0 : timers_.back()->interval();
}

// --- settings files ------------------------------------------------------------------------

bool FakeSettingsFiles::isOrdinaryFile(const Path& path) const {
  return files.count(path) != 0 && directories.count(path) == 0 && hidden.count(path) == 0;
}

std::string FakeSettingsFiles::readAll(const Path& path) const {
  const auto it = files.find(path);
  if (it == files.end()) throw RuntimeError(err::kFileNotFound, "File not found");
  if (unreadable.count(path) != 0) {
    throw RuntimeError(err::kPermissionDenied, "Permission denied");
  }
  return it->second;
}

void FakeSettingsFiles::replaceContent(const Path& path, std::string_view content) {
  if (readOnly || directories.count(path) != 0) {
    throw RuntimeError(err::kPathFileAccessError, "Path/File access error");
  }
  files[path] = std::string(content);
  ++writes;
}

// --- dialog --------------------------------------------------------------------------------

void FakeDialogViews::showModal(platform::ConfigurationDialog& dialog) {
  ++shown;
  if (whileOpen) whileOpen(dialog);
}

void FakeDialogViews::closeDialog() {
  ++closedByComponent;
}

// --- the bundle ----------------------------------------------------------------------------

FakePlatform::FakePlatform() = default;

namespace {
// The swap when there is one; the seam's type comes from the swap alone.
template <typename Seam>
Seam& Either(Seam* swapped, std::type_identity_t<Seam>& own) {
  return swapped != nullptr ? *swapped : own;
}
}  // namespace

platform::Platform FakePlatform::platform(const SwappedSeams& swapped) {
  return platform::Platform{Either(swapped.serialPorts, serialPorts),
                            delay,
                            Either(swapped.codePage, codePage),
                            textCase,
                            Either(swapped.messageBoxes, messageBoxes),
                            Either(swapped.timers, timers),
                            Either(swapped.playerWindows, windows),
                            module,
                            Either(swapped.files, files),
                            Either(swapped.dialogs, dialogs)};
}

}  // namespace marqel::fake
