// marqel-lcd: the display module behind a serial port, shown in a terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "linux/posix/posix_handles.h"
#include "linux/posix/signal_pipe.h"
#include "linux/posix/terminal.h"
#include "marqel_version.h"
#include "vlcd/display.h"
#include "vlcd/line_model.h"
#include "vlcd/recording.h"
#include "vlcd/view.h"

namespace {

using namespace marqel::vlcd;
namespace posix = marqel::posix;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Options {
  std::string input;
  std::string record;
  std::string replay;
  std::string timing;  // empty: chosen from the input
  bool dump = false;
  bool listFaults = false;
  bool ascii = false;
  long idleMs = -1;
};

constexpr const char* kDescription =
    "Shows what the 4 x 27 character display would show for the bytes sent to its serial port.\n"
    "\n"
    "Without an input it opens a pseudo-terminal and prints the path of its serial end (e.g.\n"
    "/dev/pts/7) on the first line of stdout; point the sender at that path. The port may be\n"
    "closed and opened again by the sender as often as it likes.\n"
    "\n"
    "Timing: every write that reaches a controller while it is still busy (1.52 ms after clear\n"
    "display or return home, 37 us after anything else) or that cuts short the start-up waits\n"
    "(4.1 ms after the first 0x3, 100 us after the second) is counted as a timing fault.\n"
    "With --timing arrival a byte leaves the 9600-baud line one byte time (1.042 ms) after it was\n"
    "read or after the byte before it, whichever is later; with --timing line all bytes come back\n"
    "to back at 9600 baud. The default is arrival, except line for a plain file.";

constexpr const char* kFooter =
    "\n--dump prints the glass as 4 lines of 27 characters (CGRAM glyphs as their slot digit,\n"
    "'?' if never written, 0xFF as '#', '?' for other characters without an ASCII form), then\n"
    "  timing faults: controller 1: N, controller 2: N\n"
    "  stray bytes: N\n"
    "  contrast: N          (\"unset\" before the first contrast byte)\n"
    "and with --faults one 'fault: ...' line per fault.\n"
    "\n"
    "Recordings are text, one byte a line: microseconds since start, a space, two hex digits\n"
    "(\"10417 0A\"); '#' starts a comment. Examples:\n"
    "  marqel-lcd                                 live view on a new pty\n"
    "  marqel-lcd --record session.txt            ... and record what came\n"
    "  marqel-lcd --replay session.txt --dump     final glass and faults of a recording\n"
    "  marqel-lcd bytes.bin --dump                bytes of a file at 9600 baud\n"
    "  marqel-lcd --dump --exit-after-idle 500    for scripts: dump once the sender is quiet\n"
    "\n"
    "Exit status: 0 when the input ended or the program was told to stop; 1 when the input,\n"
    "the recording or the pseudo-terminal cannot be opened, or the recording is malformed; 2\n"
    "for a usage error (an unknown option, a bad value).";

// Where bytes come from: a descriptor to poll or a recording to play.
struct Source {
  posix::UniqueFd fd;
  posix::UniqueFd heldSlave;  // a pty's slave end: the master never sees a hang-up
  std::vector<TimedByte> replay;
  std::size_t replayNext = 0;
  bool plainFile = false;
  bool ended = false;
  std::string label;
};

Source openSource(const Options& options) {
  Source source;
  if (!options.replay.empty()) {
    std::ifstream in(options.replay);
    if (!in) throw std::runtime_error("cannot open " + options.replay);
    source.replay = parseRecording(in);
    source.label = options.replay + " (replay)";
    return source;
  }
  if (!options.input.empty()) {
    // Blocks until a FIFO has a writer; a signal interrupts it.
    source.fd.reset(open(options.input.c_str(), O_RDONLY | O_NOCTTY));
    if (!source.fd) {
      throw std::system_error(errno, std::generic_category(), "open " + options.input);
    }
    struct stat info {};
    const int fd = source.fd.get();
    if (fstat(fd, &info) == 0) source.plainFile = S_ISREG(info.st_mode);
    if (isatty(fd)) posix::MakeRaw(fd, 9600);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    source.label = options.input;
    return source;
  }
  posix::Pty pty = posix::OpenPty();
  source.fd = std::move(pty.master);
  source.heldSlave = std::move(pty.slave);
  source.label = pty.path;
  std::cout << pty.path << std::endl;
  return source;
}

class LiveView {
 public:
  LiveView(std::string label, bool ascii) : label_(std::move(label)), ascii_(ascii) {
    std::cout << "\x1b[?25l\x1b[2J" << std::flush;
  }
  ~LiveView() { std::cout << "\x1b[" << kLastRow + 1 << ";1H\x1b[?25h" << std::endl; }
  LiveView(const LiveView&) = delete;
  LiveView& operator=(const LiveView&) = delete;

  void draw(const Display& display, bool clear) {
    const int width = posix::TerminalColumns(STDOUT_FILENO);
    std::string frame = clear ? "\x1b[2J" : "";
    const std::vector<std::string> title = {clip("marqel-lcd  " + label_, width)};
    frame += drawAt(title, 1, 1);
    const std::vector<std::string> glass = glassLines(display, !ascii_);
    frame += drawAt(glass, 2, 1);
    const std::vector<Fault> faults = display.faults();
    const std::vector<std::string> footer = {
        clip(faults.empty() ? std::string() : "last fault: " + describe(faults.back()), width),
        clip("Ctrl-C quits", width)};
    frame += drawAt(footer, 2 + static_cast<int>(glass.size()), 1);
    std::cout << frame << std::flush;
  }

 private:
  static constexpr int kLastRow = 11;
  // Clipped to the terminal and padded so a shorter line wipes a longer one drawn before.
  static std::string clip(std::string text, int width) {
    text.resize(static_cast<std::size_t>(std::max(width - 1, 0)), ' ');
    return text;
  }
  std::string label_;
  bool ascii_;
};

void printDump(const Display& display, bool listFaults) {
  for (const std::string& line : display.glassText()) std::cout << line << '\n';
  std::cout << "timing faults: controller 1: " << display.faultCount(1)
            << ", controller 2: " << display.faultCount(2) << '\n';
  std::cout << "stray bytes: " << display.strayBytes() << '\n';
  const auto contrast = display.contrast();
  std::cout << "contrast: " << (contrast ? std::to_string(*contrast) : "unset") << '\n';
  if (listFaults) {
    for (const Fault& fault : display.faults()) std::cout << "fault: " << describe(fault) << '\n';
  }
  std::cout << std::flush;
}

int run(const Options& options) {
  // Output to a reader that went away (a closed pipe) fails its write instead of ending us.
  std::signal(SIGPIPE, SIG_IGN);
  posix::SignalPipe signals({SIGINT, SIGTERM, SIGWINCH}, posix::SignalPipe::Interrupted::Fail);
  Source source = openSource(options);
  const bool lineTiming = options.timing.empty() ? source.plainFile : options.timing == "line";

  std::ofstream record;
  if (!options.record.empty()) {
    record.open(options.record);
    if (!record) throw std::runtime_error("cannot write " + options.record);
    record << kRecordingHeader;
  }

  Display display;
  LineClock line;
  const auto start = Clock::now();
  const auto since = [start](Clock::time_point when) {
    return std::chrono::duration_cast<Nanos>(when - start);
  };
  const auto take = [&](std::uint8_t byte, Nanos observed) {
    if (record.is_open()) record << recordingLine({observed, byte});
    if (lineTiming) {
      display.feed(byte);
    } else {
      display.feed(byte, line.arrive(observed));
    }
  };

  std::optional<LiveView> view;
  if (!options.dump) view.emplace(source.label, options.ascii);
  constexpr auto kRedrawEvery = milliseconds(30);
  bool dirty = true;
  bool clearScreen = false;
  auto lastDraw = Clock::time_point{};
  std::optional<Clock::time_point> lastByte;
  bool stop = false;

  while (!stop) {
    auto now = Clock::now();

    // Recordings play at their own pace in the live view, all at once for a dump.
    while (source.replayNext < source.replay.size() &&
           (options.dump || source.replay[source.replayNext].at <= since(now))) {
      const TimedByte& next = source.replay[source.replayNext++];
      take(next.value, next.at);
      lastByte = now;
      dirty = true;
    }
    if (!source.fd && source.replayNext == source.replay.size()) source.ended = true;
    if (source.ended && options.dump) break;

    if (view && (dirty || clearScreen) && now - lastDraw >= kRedrawEvery) {
      view->draw(display, clearScreen);
      dirty = clearScreen = false;
      lastDraw = now;
    }
    if (record.is_open()) record.flush();

    // Sleep until input, a signal, or the next thing due.
    std::optional<Clock::time_point> due;
    const auto soonest = [&due](Clock::time_point when) {
      due = due ? std::min(*due, when) : when;
    };
    if (view && (dirty || clearScreen)) soonest(lastDraw + kRedrawEvery);
    if (source.replayNext < source.replay.size()) {
      soonest(start +
              std::chrono::duration_cast<Clock::duration>(source.replay[source.replayNext].at));
    }
    if (options.idleMs >= 0 && lastByte) soonest(*lastByte + milliseconds(options.idleMs));
    int timeout = -1;
    if (due) {
      const auto wait = std::chrono::ceil<milliseconds>(*due - now).count();
      timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
    }

    pollfd fds[2] = {{signals.fd(), POLLIN, 0}, {source.ended ? -1 : source.fd.get(), POLLIN, 0}};
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    now = Clock::now();

    while (const auto number = signals.take()) {
      if (*number == SIGWINCH) {
        clearScreen = true;
      } else {
        stop = true;
      }
    }

    if (fds[1].fd >= 0 && fds[1].revents != 0) {
      std::uint8_t buffer[4096];
      const ssize_t got = read(source.fd.get(), buffer, sizeof buffer);
      if (got > 0) {
        const Nanos observed = since(now);
        for (ssize_t i = 0; i < got; ++i) take(buffer[i], observed);
        lastByte = now;
        dirty = true;
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        // End of a file, or a FIFO whose writer left. A pty never gets here: its slave is held.
        source.ended = true;
        if (options.dump) stop = true;
      }
    }

    if (options.idleMs >= 0 && lastByte && now - *lastByte >= milliseconds(options.idleMs)) {
      stop = true;
    }
  }

  if (view) {
    view->draw(display, false);
    view.reset();
  }
  if (options.dump) printDump(display, options.listFaults);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{kDescription, "marqel-lcd"};
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("marqel-lcd ") + MARQEL_VERSION_TEXT);
  Options options;
  auto* input = app.add_option("input,-i,--input", options.input,
                               "Read this serial device, FIFO or plain file instead of a new pty")
                    ->type_name("PATH");
  auto* replay = app.add_option("--replay", options.replay,
                                "Feed a recording made with --record, with its times")
                     ->type_name("FILE");
  input->excludes(replay);
  app.add_option("--record", options.record,
                 "Write every byte that comes, with the time it came, to FILE")
      ->type_name("FILE");
  app.add_flag("--dump", options.dump,
               "No live view: when the input ends (or on SIGINT/SIGTERM, or when idle)\n"
               "print the glass and the fault counts");
  app.add_flag("--faults", options.listFaults, "With --dump, also list every timing fault");
  app.add_option("--timing", options.timing,
                 "Judge timing from the arrival times or from the 9600-baud line rate")
      ->type_name("MODE")
      ->check(CLI::IsMember({"line", "arrival"}));
  app.add_option("--exit-after-idle", options.idleMs,
                 "Stop once no byte came for MS milliseconds after at least one byte")
      ->type_name("MS")
      ->check(CLI::NonNegativeNumber);
  app.add_flag("--ascii", options.ascii, "Draw the live view with plain ASCII only");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // A usage error exits with 2, whatever the parser's own code for it; --help and --version
    // with 0.
    return app.exit(error) == 0 ? 0 : 2;
  }

  try {
    return run(options);
  } catch (const std::exception& error) {
    std::cerr << "marqel-lcd: " << error.what() << '\n';
    return 1;
  }
}
