#include "linux/views/text/text_dialog_views.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <memory>
#include <utility>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "settings/form2_layout.h"

namespace marqel::platform::linux_ {
namespace {

constexpr int kGaugeCells = 32;

constexpr std::string_view kHelp =
    "Choose: 1-4 port, + or - contrast step, c N contrast (0-127), s Set & Save, x Exit, "
    "q close\n";

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool AllOf(std::string_view text, char c) {
  return !text.empty() && text.find_first_not_of(c) == std::string_view::npos;
}

std::string Caption(settings::Form2Control control) {
  return settings::ShownCaption(settings::LayoutOf(control).caption);
}

// Writes all of `text`, or as much as the descriptor takes. A reader that has gone away must not
// take the host down with SIGPIPE: the signal is held back for the write and then discarded.
void WriteAll(int fd, std::string_view text) {
  sigset_t pipeOnly;
  sigset_t previous;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  sigset_t pendingBefore;
  sigpending(&pendingBefore);
  const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
  bool brokenPipe = false;
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      brokenPipe = errno == EPIPE;
      break;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  if (brokenPipe && !alreadyPending) {
    const timespec now{0, 0};
    sigtimedwait(&pipeOnly, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

TextDialogViews::TextDialogViews(EventLoop& loop, int inputFd, int outputFd)
    : loop_(loop), inputFd_(inputFd), outputFd_(outputFd) {}

TextDialogViews::~TextDialogViews() {
  if (form_ != nullptr) {
    form_->setObserver(nullptr);
  }
}

std::string TextDialogViews::Render(const ConfigurationDialog& form) {
  using settings::Form2Control;
  std::string out = "\n" + std::string(settings::kForm2Caption) + "\n";
  out += "  " + Caption(Form2Control::Frame1) + "     ";
  for (int port = settings::kFirstPort; port <= settings::kLastPort; ++port) {
    out += form.selectedCOM() == port ? " (*) " : " ( ) ";
    out += "COM" + std::to_string(port);
  }
  out += "\n  " + Caption(Form2Control::Frame2) + " [";
  const int filled =
      (form.contrastPosition() * kGaugeCells + settings::kContrastMax / 2) / settings::kContrastMax;
  out += std::string(static_cast<std::size_t>(filled), '#');
  out += std::string(static_cast<std::size_t>(kGaugeCells - filled), '-');
  out += "] " + Utf16ToUtf8(form.lblContrast()) + "\n";
  out += "  [s] " + Caption(Form2Control::SetSave) + "   [x] " + Caption(Form2Control::Exit) + "\n";
  out += kHelp;
  out += "> ";
  return out;
}

void TextDialogViews::write(std::string_view text) const {
  WriteAll(outputFd_, text);
}

void TextDialogViews::showModal(ConfigurationDialog& form) {
  if (open_) {
    throw RuntimeError(err::kFormAlreadyDisplayed, "Form already displayed; can't show modally");
  }
  if (form.unloaded()) {
    return;
  }
  if (::fcntl(inputFd_, F_GETFD) == -1) {
    throw RuntimeError(err::kPathFileAccessError,
                       "The configuration form has no input to read choices from");
  }
  // Keeps the dialog alive until this loop has unwound, even if Quit unloads it meanwhile.
  const auto keepAlive = form.keepAlive();
  form_ = &form;
  open_ = true;
  form.setObserver(this);
  write(Render(form));
  const int watch = loop_.watchFd(inputFd_, [this] { onReadable(); });
  // Choices already typed ahead of this opening are taken first.
  while (open_ && pendingInput_.find('\n') != std::string::npos) {
    const auto end = pendingInput_.find('\n');
    const std::string line = pendingInput_.substr(0, end);
    pendingInput_.erase(0, end + 1);
    handleLine(line);
  }
  loop_.runUntil([this] { return !open_; });
  loop_.unwatchFd(watch);
  if (form_ != nullptr) {
    form_->setObserver(nullptr);
    form_ = nullptr;
  }
}

void TextDialogViews::closeDialog() {
  if (!open_) {
    return;
  }
  open_ = false;
  form_ = nullptr;  // the dialog is unloading: no handler may run from here on
  write("\n");
  loop_.wake();
}

// Nothing to do at once: the form is drawn again after every choice, whatever it changed.
void TextDialogViews::controlsChanged(const ConfigurationDialog&) {}

void TextDialogViews::onReadable() {
  char buffer[512];
  const ssize_t n = ::read(inputFd_, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
    return;
  }
  if (n <= 0) {
    // No more input: nobody can answer the form any more, so it closes like the window would.
    if (!pendingInput_.empty()) {
      const std::string last = std::exchange(pendingInput_, {});
      handleLine(last);
    }
    if (open_) {
      handleLine("q");
    }
    return;
  }
  pendingInput_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while (open_ && (end = pendingInput_.find('\n')) != std::string::npos) {
    const std::string line = pendingInput_.substr(0, end);
    pendingInput_.erase(0, end + 1);
    handleLine(line);
  }
}

void TextDialogViews::handleLine(std::string_view raw) {
  if (form_ == nullptr) {
    return;
  }
  // Keeps the dialog alive while its handler runs, whatever the handler unloads.
  const auto keepAlive = form_->keepAlive();
  ConfigurationDialog& form = *form_;
  const std::string_view line = Trimmed(raw);
  try {
    if (line.size() == 1 && line[0] >= '1' && line[0] <= '4') {
      form.COM_Click(line[0] - '0');
    } else if (AllOf(line, '+') || AllOf(line, '-')) {
      const int step = line[0] == '+' ? 1 : -1;
      for (std::size_t i = 0; i < line.size() && form_ != nullptr; ++i) {
        const int next = form.contrastPosition() + step;
        if (next < settings::kContrastMin || next > settings::kContrastMax) break;
        form.setContrastPosition(next);
      }
    } else if (line.size() > 1 && (line[0] == 'c' || line[0] == 'C')) {
      const std::string_view number = Trimmed(line.substr(1));
      int value = -1;
      const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (ec != std::errc{} || end != number.data() + number.size() ||
          value < settings::kContrastMin || value > settings::kContrastMax) {
        write("The contrast must be a number from 0 to 127.\n> ");
        return;
      }
      form.setContrastPosition(value);
    } else if (line == "s" || line == "S") {
      form.SetSave_Click();
    } else if (line == "x" || line == "X") {
      form.Exit_Click();
    } else if (line == "q" || line == "Q") {
      form.close();
      closeDialog();  // closing the form closes it, whoever owns the dialog
    } else if (!line.empty()) {
      write("Unknown choice \"" + std::string(line.substr(0, 20)) + "\".\n" + std::string(kHelp) +
            "> ");
      return;
    }
  } catch (const RuntimeError& error) {
    write("Error: " + error.description() + "\n");
  } catch (...) {
    // Nothing a choice does may take the host down.
  }
  if (open_ && form_ != nullptr) {
    write(Render(*form_));
  }
}

}  // namespace marqel::platform::linux_
