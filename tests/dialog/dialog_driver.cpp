// A stand-in host for the desktop dialog's end-to-end test: builds a component on the Linux
// message loop, the desktop message boxes and dialog, and the settings file in a given
// directory, with a recording serial port and a player that keeps playing. It starts the link as
// start-up does, runs Configure's steps (form2, then showModal) once, and writes what reached the
// line while the dialog was open.
//
//   dialog_driver --dir DIR --log FILE [--held N]   run the dialog once
//   dialog_driver close-window WINDOW-ID             ask a window to close, as its close button
//
// The log has three lines:
//   startup: <message boxes shown before the dialog>
//   dialog: <everything but controller bytes, from the dialog's opening to its closing>
//   settings: port=N contrast=N ticks=N   (ticks = refresh ticks while the dialog was open)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/utf.h"
#include "linux/platform/fltk/desktop_toolkit.h"
#include "linux/platform/settings_files_posix.h"
#include "linux/system/event_loop.h"
#include "plugin/component.h"
#include "settings/form2.h"
#include "settings/settings_file.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/scripted_player.h"

// In its own file: Xlib's macros clash with the component's names.
int SendCloseRequest(const char* windowId);

namespace {

using marqel::fake::LinkEvent;

std::string Rendered(const std::vector<LinkEvent>& events, std::size_t from, std::size_t to) {
  std::string out;
  char buf[32];
  for (std::size_t i = from; i < to; ++i) {
    const LinkEvent& e = events[i];
    std::string token;
    switch (e.kind) {
      case LinkEvent::Kind::Byte:
        if (e.value < 0x80) continue;  // the refresh cycle's drawing
        std::snprintf(buf, sizeof buf, "%02X", e.value);
        token = buf;
        break;
      case LinkEvent::Kind::Open:
        token = "open(" + std::to_string(e.value) + ")";
        break;
      case LinkEvent::Kind::Close:
        token = "close";
        break;
      case LinkEvent::Kind::SetPort:
        token = "port=" + std::to_string(e.value);
        break;
      case LinkEvent::Kind::Drain:
        token = "drain";
        break;
      case LinkEvent::Kind::Wait:
        token = "wait(" + std::to_string(e.value) + ")";
        break;
      case LinkEvent::Kind::MessageBox: {
        static const char* const kIcons[] = {"none", "information", "warning"};
        std::string text = e.text;
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
          text.replace(at, 2, "|");
        token = std::string("msgbox:") + kIcons[e.value] + ":" + text;
        break;
      }
    }
    out += (out.empty() ? "" : " ") + token;
  }
  return out;
}

// Message boxes that show on the desktop and also go into the line's record.
class RecordedBoxes final : public marqel::platform::MessageBoxes {
 public:
  RecordedBoxes(marqel::platform::MessageBoxes& shown, marqel::fake::LineRecorder& recorder)
      : shown_(shown), recorder_(recorder) {}
  void show(std::u16string_view text, marqel::platform::MessageIcon icon) override {
    recorder_.record(
        {LinkEvent::Kind::MessageBox, static_cast<std::int32_t>(icon), marqel::Utf16ToUtf8(text)});
    shown_.show(text, icon);
  }

 private:
  marqel::platform::MessageBoxes& shown_;
  marqel::fake::LineRecorder& recorder_;
};

int RunDialog(const std::string& dir, const std::string& logPath, int heldPort) {
  marqel::platform::EventLoop loop;
  marqel::fake::FakePlatform fp;
  if (heldPort != 0) fp.ports.heldByOthers.insert(heldPort);
  fp.module.directory = marqel::Utf8ToUtf16(dir);
  const marqel::platform::WindowHandle player =
      fp.windows.create({"1. Some Artist - Some Title - Winamp", 1, 0, 0, {}});

  // The windows come from the desktop module, loaded as the host and the plug-in load it.
  marqel::platform::linux_::DesktopToolkit* desktop =
      marqel::platform::linux_::LoadDesktopToolkit();
  if (desktop == nullptr) return 1;
  const auto desktopBoxes = desktop->makeMessageBoxes(loop);
  RecordedBoxes boxes(*desktopBoxes, fp.recorder);
  const auto views = desktop->makeDialogViews(loop);
  marqel::platform::linux_::PosixSettingsFiles files;
  const marqel::platform::Platform platform = fp.platform(
      {.messageBoxes = &boxes, .timers = &loop, .files = &files, .dialogs = views.get()});
  marqel::Component component(platform);

  // What start-up does.
  component.linkSettings.port = 1;
  component.pluginDirectory = marqel::Utf8ToUtf16(dir.back() == '/' ? dir : dir + "/");
  marqel::settings::ReadSettingsFile(component.settingsFile(), component.linkSettings);
  const std::size_t afterReading = fp.recorder.mark();
  component.loadForm1();
  const auto host = std::make_shared<marqel::harness::ScriptedHost>();
  host->window = player;
  component.hostLink = host;

  // What Configure does.
  const std::size_t opened = fp.recorder.mark();
  const std::uint64_t ticksBefore = loop.timerTicks();
  marqel::settings::Form2& form = component.form2();
  platform.dialogs.showModal(form);
  if (component.form2Loaded()) component.unloadForm2();
  const std::uint64_t ticks = loop.timerTicks() - ticksBefore;

  std::ofstream log(logPath);
  log << "startup: " << Rendered(fp.recorder.events(), 0, afterReading) << "\n";
  log << "dialog: " << Rendered(fp.recorder.events(), opened, fp.recorder.mark()) << "\n";
  log << "settings: port=" << int{component.linkSettings.port}
      << " contrast=" << int{component.linkSettings.contrast} << " ticks=" << ticks << "\n";
  return log.good() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "close-window") return SendCloseRequest(argv[2]);
  std::string dir;
  std::string log;
  int held = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--dir")
      dir = argv[i + 1];
    else if (option == "--log")
      log = argv[i + 1];
    else if (option == "--held")
      held = std::atoi(argv[i + 1]);
  }
  if (dir.empty() || log.empty()) {
    std::fprintf(stderr, "usage: dialog_driver --dir DIR --log FILE [--held N]\n");
    return 2;
  }
  try {
    return RunDialog(dir, log, held);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dialog_driver: %s\n", error.what());
    return 1;
  }
}
