// marqel-testplayer: a stand-in for the player, for tests under Wine. It shows a main window
// whose text is the track as the player shows it ("<n>. <artist> - <title> - Winamp"), answers
// the player's state, length and position messages, and loads a general-purpose plug-in exactly
// as the player does: LoadLibrary, winampGetGeneralPurposePlugin, fill in the main window and the
// instance, init, config, quit, FreeLibrary. A player script (the Linux host's format) says what
// happens; lines "#@ snapshot NAME" (comments to the Linux host) hold still for a snapshot until
// the file LOG.NAME.ack appears (or --hold milliseconds have passed).
//
//   marqel-testplayer WRAPPER.dll SCRIPT LOG [--hold MS]
//
// LOG receives one line per event: what the plug-in said, the message boxes it showed (which are
// answered with OK), and the dialog's controls after every dialog step.
#include <windows.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "common/utf.h"
#include "player_script/script.h"
#include "windows/platform/core_platform.h"
#include "windows/platform/win32_handles.h"
#include "windows/platform/win32_text.h"
#include "windows/views/config_dialog_ids.h"
#include "windows/wrapper/gen_plugin_header.h"

namespace {

namespace ids = marqel::platform::win32::dialog_ids;
using marqel::players::ScriptCommand;
using Kind = ScriptCommand::Kind;
using marqel::platform::kIpcGetOutputTime;
using marqel::platform::kIpcIsPlaying;
using marqel::platform::win32::U16From;
using marqel::platform::win32::UniqueModule;
using marqel::platform::win32::UniqueWindow;
using marqel::platform::win32::WideFrom;

// The C runtime's files, for the log.
struct CFileTraits {
  using Handle = FILE*;
  static FILE* invalid() noexcept { return nullptr; }
  static void close(FILE* file) noexcept { std::fclose(file); }
};
using UniqueCFile = marqel::UniqueResource<CFileTraits>;

constexpr UINT_PTR kContinueTimer = 1;
constexpr UINT_PTR kMessageBoxTimer = 2;
constexpr int kTickMs = 500;

struct PlayerState {
  std::int32_t state = 0;
  std::int32_t lengthSeconds = 0;
  std::int32_t positionMs = 0;
};

PlayerState g_player;
// Owned by main; the window procedure and the log lines reach them here.
HWND g_main = nullptr;
FILE* g_log = nullptr;
marqel::windows::GeneralPurposePlugin* g_plugin = nullptr;
std::vector<ScriptCommand> g_commands;
std::multimap<int, std::string> g_directives;  // script line -> directive after "#@ "
std::size_t g_next = 0;
int g_holdMs = 5000;
std::string g_logPath;
std::set<HWND> g_answeredBoxes;

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(g_log, format, args);
  va_end(args);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

std::wstring Wide(const std::string& utf8) {
  return WideFrom(marqel::Utf8ToUtf16(utf8));
}

std::string Utf8(const std::wstring& wide) {
  return marqel::Utf16ToUtf8(U16From(wide));
}

// Line ends shown as \r and \n, so that one event stays one log line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (const char ch : text) {
    if (ch == '\r') {
      out += "\\r";
    } else if (ch == '\n') {
      out += "\\n";
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

std::string WindowText(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return Utf8(text);
}

HWND ConfigDialog() {
  return ::FindWindowW(ids::kWindowClass, nullptr);
}

void LogDialog(const char* when) {
  HWND dialog = ConfigDialog();
  if (dialog == nullptr) {
    Log("dialog %s: closed", when);
    return;
  }
  int port = 0;
  for (int n = 1; n <= 4; ++n) {
    if (::IsDlgButtonChecked(dialog, ids::kCOM1 + n - 1) == BST_CHECKED) port = n;
  }
  const int position = ::GetScrollPos(::GetDlgItem(dialog, ids::kContrast), SB_CTL);
  RECT client{};
  ::GetClientRect(dialog, &client);
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const bool centred = std::abs((frame.left + frame.right) - (area.left + area.right)) <= 2 &&
                       std::abs((frame.top + frame.bottom) - (area.top + area.bottom)) <= 2;
  const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
  Log("dialog %s: caption=\"%s\" port=%d contrast=%d label=\"%s\" setsave=\"%s\" exit=\"%s\" "
      "client=%ldx%ld sizable=%d centred=%d owner-enabled=%d",
      when, WindowText(dialog).c_str(), port, position,
      WindowText(::GetDlgItem(dialog, ids::kLblContrast)).c_str(),
      WindowText(::GetDlgItem(dialog, ids::kSetSave)).c_str(),
      WindowText(::GetDlgItem(dialog, ids::kExit)).c_str(), client.right, client.bottom,
      (style & WS_THICKFRAME) != 0 ? 1 : 0, centred ? 1 : 0, ::IsWindowEnabled(g_main) ? 1 : 0);
}

// Answers every message box of this thread with OK, once it has been seen, and logs its text.
BOOL CALLBACK AnswerMessageBox(HWND window, LPARAM) {
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  if (std::wstring(className) != L"#32770" || !::IsWindowVisible(window) ||
      g_answeredBoxes.count(window) != 0) {
    return TRUE;
  }
  g_answeredBoxes.insert(window);
  Log("messagebox: title=\"%s\" text=\"%s\"", WindowText(window).c_str(),
      OneLine(WindowText(::GetDlgItem(window, 0xFFFF))).c_str());
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
  return TRUE;
}

// Runs the thread's message loop for `ms` milliseconds (refresh ticks, message boxes, the
// dialog all go on meanwhile).
void Pump(int ms) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(ms);
  for (;;) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
}

// Holds still (the message loop running) until the test has taken its snapshot and says so
// with the file LOG.NAME.ack, or for --hold milliseconds at most.
void WaitForAcknowledgement(const std::string& name) {
  const std::wstring ack = Wide(g_logPath + "." + name + ".ack");
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(g_holdMs);
  while (::GetFileAttributesW(ack.c_str()) == INVALID_FILE_ATTRIBUTES &&
         ::GetTickCount64() < deadline) {
    Pump(50);
  }
}

void SetTitle(const std::string& utf8) {
  const std::wstring text = Wide(utf8);
  ::SetWindowTextW(g_main, text.c_str());
}

void RunDirectivesBefore(int line) {
  while (!g_directives.empty() && g_directives.begin()->first < line) {
    const std::string directive = g_directives.begin()->second;
    g_directives.erase(g_directives.begin());
    std::istringstream words(directive);
    std::string verb;
    std::string name;
    words >> verb >> name;
    if (verb == "snapshot") {
      Log("snapshot %s", name.c_str());
      WaitForAcknowledgement(name);
    } else {
      Log("unknown directive: %s", directive.c_str());
    }
  }
}

void ClickDialogButton(int id) {
  HWND dialog = ConfigDialog();
  if (dialog == nullptr) {
    Log("error: no dialog to click in");
    return;
  }
  ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Runs one command; returns false once the script is over (quit).
bool Run(const ScriptCommand& command) {
  RunDirectivesBefore(command.line);
  switch (command.kind) {
    case Kind::Title:
      SetTitle(command.text);
      break;
    case Kind::State:
      g_player.state = command.number;
      break;
    case Kind::Length:
      g_player.lengthSeconds = command.number;
      break;
    case Kind::Position:
      g_player.positionMs = command.number;
      break;
    case Kind::WindowNone:
      g_plugin->hwndParent = nullptr;
      break;
    case Kind::WindowOk:
      g_plugin->hwndParent = g_main;
      break;
    case Kind::Tick:
      // Each tick of the plug-in's 500 ms timer, with some room for a loaded machine.
      Pump(command.number * kTickMs + 250);
      break;
    case Kind::Configure:
      Log("config");
      // The dialog lines after this one run from inside the dialog's own loop.
      ::SetTimer(g_main, kContinueTimer, 100, nullptr);
      g_plugin->config();
      Log("config returned");
      break;
    case Kind::DialogCom:
      ClickDialogButton(ids::kCOM1 + command.number - 1);
      LogDialog("after com");
      break;
    case Kind::DialogContrast: {
      HWND dialog = ConfigDialog();
      if (dialog == nullptr) {
        Log("error: no dialog for the contrast bar");
        break;
      }
      HWND bar = ::GetDlgItem(dialog, ids::kContrast);
      // A dragged thumb: positions on the way, then the release, then the end of the move.
      ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, command.number / 2),
                     reinterpret_cast<LPARAM>(bar));
      ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, command.number),
                     reinterpret_cast<LPARAM>(bar));
      ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, command.number),
                     reinterpret_cast<LPARAM>(bar));
      ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0),
                     reinterpret_cast<LPARAM>(bar));
      LogDialog("after contrast");
      break;
    }
    case Kind::DialogSetSave:
      ClickDialogButton(ids::kSetSave);
      LogDialog("after setsave");
      break;
    case Kind::DialogExit:
      ClickDialogButton(ids::kExit);
      break;
    case Kind::DialogClose: {
      HWND dialog = ConfigDialog();
      if (dialog != nullptr) ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    }
    case Kind::Quit:
      return false;
    default:
      Log("error: line %d: a command this player does not know", command.line);
      break;
  }
  return true;
}

// The dialog's share of the script: from the first dialog line after `configure` to the line
// that closes it, run from inside the dialog's modal loop.
void RunDialogSteps() {
  LogDialog("open");
  while (g_next < g_commands.size()) {
    const ScriptCommand& command = g_commands[g_next];
    if (command.kind == Kind::Configure || command.kind == Kind::Quit) {
      Log("error: the script leaves the dialog open; closing it");
      if (HWND dialog = ConfigDialog()) ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      return;
    }
    ++g_next;
    Run(command);
    if (command.kind == Kind::DialogExit || command.kind == Kind::DialogClose) return;
  }
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_USER:
      if (lParam == kIpcIsPlaying) return g_player.state;
      if (lParam == kIpcGetOutputTime) {
        return wParam == 1 ? g_player.lengthSeconds : g_player.positionMs;
      }
      return 0;
    case WM_TIMER:
      if (wParam == kContinueTimer) {
        ::KillTimer(window, kContinueTimer);
        RunDialogSteps();
      } else if (wParam == kMessageBoxTimer) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &AnswerMessageBox, 0);
      }
      return 0;
    case WM_CLOSE:
      return 0;  // the script decides when the player ends
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void ReadDirectives(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("#@ ", 0) == 0) g_directives.emplace(number, line.substr(3));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: marqel-testplayer WRAPPER.dll SCRIPT LOG [--hold MS]\n");
    return 2;
  }
  const std::string wrapperPath = argv[1];
  const std::string scriptPath = argv[2];
  g_logPath = argv[3];
  const UniqueCFile log(std::fopen(argv[3], "wb"));  // "\n" line ends, as the Linux side reads them
  g_log = log.get();
  if (!log) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 2;
  }
  if (argc >= 6 && std::string(argv[4]) == "--hold") g_holdMs = std::atoi(argv[5]);

  try {
    g_commands = marqel::players::LoadScript(scriptPath).commands;
  } catch (const std::exception& error) {
    Log("error: %s", error.what());
    return 2;
  }
  ReadDirectives(scriptPath);

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &PlayerWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
  windowClass.lpszClassName = L"MarqelTestPlayer";
  ::RegisterClassExW(&windowClass);
  const UniqueWindow mainWindow(::CreateWindowExW(0, L"MarqelTestPlayer", L"Winamp",
                                                  WS_OVERLAPPEDWINDOW, 20, 20, 360, 120, nullptr,
                                                  nullptr, instance, nullptr));
  g_main = mainWindow.get();
  ::ShowWindow(g_main, SW_SHOW);
  ::SetTimer(g_main, kMessageBoxTimer, 100, nullptr);

  const std::wstring wideWrapper = Wide(wrapperPath);
  UniqueModule wrapper(::LoadLibraryW(wideWrapper.c_str()));
  if (!wrapper) {
    Log("error: cannot load %s (error %lu)", wrapperPath.c_str(), ::GetLastError());
    return 3;
  }
  const auto entry =
      reinterpret_cast<marqel::windows::GetGeneralPurposePluginFn>(reinterpret_cast<void*>(
          ::GetProcAddress(wrapper.get(), marqel::windows::kGetGeneralPurposePluginName)));
  if (entry == nullptr) {
    Log("error: %s exports no %s", wrapperPath.c_str(),
        marqel::windows::kGetGeneralPurposePluginName);
    return 3;
  }
  g_plugin = entry();
  Log("header: version=0x%X description=\"%s\"", static_cast<unsigned>(g_plugin->version),
      g_plugin->description);
  g_plugin->hwndParent = g_main;
  g_plugin->hDllInstance = wrapper.get();
  const int initialised = g_plugin->init();
  Log("init: %d", initialised);
  Log("description: \"%s\"", g_plugin->description);
  if (initialised != 0) {
    return 4;
  }

  while (g_next < g_commands.size()) {
    const ScriptCommand& command = g_commands[g_next++];
    if (!Run(command)) break;
  }
  RunDirectivesBefore(INT_MAX);
  g_plugin->quit();
  Log("quit");
  Pump(200);  // a message box the quit may have left is answered and gone
  wrapper.reset();
  Log("unloaded");
  return 0;
}
