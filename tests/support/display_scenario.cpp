#include "tests/support/display_scenario.h"

#include <chrono>
#include <utility>

#include "vlcd/line_model.h"

namespace marqel::harness {
namespace {

constexpr std::size_t kLineWidth = 27;
constexpr std::chrono::milliseconds kTickPeriod{500};

const platform::CodePage& CodePageOf(fake::FakePlatform& fp, const ScenarioOptions& options) {
  return options.codePage != nullptr ? *options.codePage : fp.codePage;
}

std::string Padded(std::string_view line) {
  std::string out(line.substr(0, kLineWidth));
  out.resize(kLineWidth, ' ');
  return out;
}

}  // namespace

GlassText Glass(std::string_view line1, std::string_view line2, std::string_view line3,
                std::string_view line4) {
  return {Padded(line1), Padded(line2), Padded(line3), Padded(line4)};
}

std::vector<vlcd::LineEvent> LineScript(const fake::LineRecorder& recorder, bool keepDrains,
                                        const std::vector<std::size_t>& tickStarts) {
  using Kind = fake::LinkEvent::Kind;
  std::vector<vlcd::LineEvent> script;
  const auto& events = recorder.events();
  auto nextTick = tickStarts.begin();
  for (std::size_t i = 0; i < events.size(); ++i) {
    while (nextTick != tickStarts.end() && *nextTick == i) {
      script.push_back(vlcd::LineEvent::waitFor(kTickPeriod));
      ++nextTick;
    }
    const fake::LinkEvent& event = events[i];
    switch (event.kind) {
      case Kind::Byte:
        script.push_back(vlcd::LineEvent::byte(static_cast<std::uint8_t>(event.value)));
        break;
      case Kind::Wait:
        script.push_back(vlcd::LineEvent::waitFor(std::chrono::milliseconds(event.value)));
        break;
      case Kind::Drain:
      case Kind::Close:
        if (keepDrains) script.push_back(vlcd::LineEvent::drain());
        break;
      case Kind::Open:
      case Kind::SetPort:
      case Kind::MessageBox:
        break;
    }
  }
  return script;
}

std::unique_ptr<vlcd::Display> PlayOverTheLine(const std::vector<vlcd::LineEvent>& script) {
  auto display = std::make_unique<vlcd::Display>();
  const std::vector<vlcd::TimedByte> timed = vlcd::runLine(script);
  display->feed(timed);
  return display;
}

std::unique_ptr<platform::SerialPort> DisplayScenario::PortControls::createSerialPort() {
  auto port = inner_.createSerialPort();
  return options_.wrapPort ? options_.wrapPort(std::move(port)) : std::move(port);
}

DisplayScenario::DisplayScenario(ScenarioOptions options)
    : options_(std::move(options)),
      host(std::make_shared<ScriptedHost>()),
      windows(fp.windows),
      player(fp.windows, windows, *host, CodePageOf(fp, options_)),
      // The component sees the window queries through the scripted view and the ports through
      // the scenario's wrapper; everything else is the fake.
      component(fp.platform(
          {.serialPorts = &ports_, .codePage = options_.codePage, .playerWindows = &windows})) {
  if (options_.hostInitialised) {
    component.hostLink = host;
  }
}

void DisplayScenario::startUp() {
  component.loadForm1();
  mark();
}

void DisplayScenario::mark() {
  mark_ = fp.recorder.mark();
}

void DisplayScenario::tick(int count) {
  mark();
  for (int i = 0; i < count; ++i) {
    tickStarts_.push_back(fp.recorder.mark());
    fp.timers.tick();
  }
}

std::vector<std::uint8_t> DisplayScenario::tickBytes() const {
  return fp.recorder.bytesSince(mark_);
}

std::string DisplayScenario::describeTicks() const {
  return fp.recorder.describe(mark_);
}

int DisplayScenario::opensSinceMark() const {
  return static_cast<int>(fp.recorder.count(fake::LinkEvent::Kind::Open, mark_));
}

int DisplayScenario::closesSinceMark() const {
  return static_cast<int>(fp.recorder.count(fake::LinkEvent::Kind::Close, mark_));
}

bool DisplayScenario::portOpen() {
  return component.form1Loaded() && component.MSComm1().portOpen();
}

std::unique_ptr<vlcd::Display> DisplayScenario::replay() const {
  return PlayOverTheLine(LineScript(fp.recorder, true, tickStarts_));
}

GlassText DisplayScenario::glassText() const {
  return replay()->glassText();
}

}  // namespace marqel::harness
