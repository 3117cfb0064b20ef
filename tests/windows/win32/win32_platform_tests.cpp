// The Win32 back-ends of the platform seams, checked on the system itself (run under Wine by
// tests/windows). Prints one line per check and "N passed, M failed"; exits 1 on any failure.
//
//   marqel-win32-tests [SERIAL_PORT_NUMBER]   (a port wired to something that reads, e.g. 1)
//   marqel-win32-tests --type-libraries       (once Marqel.dll and the wrapper are registered)
#include "windows/platform/core_platform.h"
// (before any header that brings in windows.h)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "marqel.h"
#include "plugin/host_link.h"
#include "windows/platform/ansi_code_page.h"
#include "windows/platform/com_serial_port.h"
#include "windows/platform/module_file_info.h"
#include "windows/platform/precise_delay.h"
#include "windows/platform/system_text_case.h"
#include "windows/platform/user32_player_windows.h"
#include "windows/platform/win32_handles.h"
#include "windows/platform/win32_settings_files.h"
#include "windows/platform/win32_text.h"
#include "windows/platform/window_timers.h"
#include "windows/views/win32_dialog_views.h"

namespace {

using namespace marqel::platform::win32;
using marqel::RuntimeError;
using marqel::Utf16ToUtf8;

int g_passed = 0;
int g_failed = 0;

void Expect(bool condition, const std::string& name, const std::string& detail = {}) {
  if (condition) {
    ++g_passed;
    std::printf("ok - %s\n", name.c_str());
  } else {
    ++g_failed;
    std::printf("not ok - %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
}

// The error a statement raises; number 0 when it raises none.
RuntimeError Raised(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const RuntimeError& error) {
    return error;
  }
  return RuntimeError(0, "");
}

std::u16string U16(const std::wstring& text) {
  return U16From(text);
}

std::wstring TempFolder() {
  wchar_t base[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, base);
  std::wstring folder =
      std::wstring(base) + L"marqel-tests-" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

int FilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  int count = 0;
  if (!search) return 0;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++count;
  } while (::FindNextFileW(search.get(), &found));
  return count;
}

void SettingsFiles() {
  Win32SettingsFiles files;
  const std::wstring folder = TempFolder();
  const std::wstring path = folder + L"\\gen_marqel.ini";
  Expect(!files.isOrdinaryFile(path), "settings: a missing file counts as absent");

  files.replaceContent(path, " 2 \r\n 64 \r\n");
  Expect(files.isOrdinaryFile(path), "settings: a written file is present");
  Expect(files.readAll(path) == " 2 \r\n 64 \r\n", "settings: written bytes read back");
  files.replaceContent(path, " 3 \r\n 100 \r\n");
  Expect(files.readAll(path) == " 3 \r\n 100 \r\n",
         "settings: a new content replaces the old one whole");
  Expect(FilesIn(folder) == 1, "settings: no temporary file left behind");

  struct AttributeCase {
    DWORD attribute;
    bool counts;
    const char* name;
  };
  for (const AttributeCase& entry : {AttributeCase{FILE_ATTRIBUTE_READONLY, true, "read-only"},
                                     AttributeCase{FILE_ATTRIBUTE_HIDDEN, false, "hidden"},
                                     AttributeCase{FILE_ATTRIBUTE_SYSTEM, false, "system"}}) {
    ::SetFileAttributesW(path.c_str(), entry.attribute);
    Expect(files.isOrdinaryFile(path) == entry.counts, std::string("settings: a ") + entry.name +
                                                           " file counts as " +
                                                           (entry.counts ? "present" : "absent"));
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  const std::wstring directory = folder + L"\\dir.ini";
  ::CreateDirectoryW(directory.c_str(), nullptr);
  Expect(!files.isOrdinaryFile(directory), "settings: a directory of that name is absent");

  const RuntimeError missingFolder =
      Raised([&] { files.replaceContent(folder + L"\\no\\such\\gen_marqel.ini", "x"); });
  Expect(missingFolder.number() != 0 &&
             missingFolder.description().find("gen_marqel.ini") != std::string::npos,
         "settings: writing into a missing folder raises, naming the file",
         missingFolder.description());
  const RuntimeError unreadable = Raised([&] { files.readAll(folder + L"\\none.ini"); });
  Expect(unreadable.number() == marqel::err::kFileNotFound,
         "settings: reading a missing file raises File not found", unreadable.description());

  // A write that cannot replace the file (here: a directory in the way) leaves nothing behind.
  const RuntimeError blocked = Raised([&] { files.replaceContent(directory, "x"); });
  Expect(blocked.number() != 0, "settings: replacing a directory raises");
  Expect(FilesIn(folder) == 1, "settings: a failed write leaves no temporary file");
  Expect(files.readAll(path) == " 3 \r\n 100 \r\n", "settings: ... and the old file as it was");

  // In place, as where the folder lets no file be made: the same file, cut to the new length.
  WriteInPlace(path, " 4 \r\n 7 \r\n");
  Expect(files.readAll(path) == " 4 \r\n 7 \r\n" && FilesIn(folder) == 1,
         "settings: written in place, whole and cut to its length");

  ::RemoveDirectoryW(directory.c_str());
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

void ModuleDirectories() {
  struct Case {
    const wchar_t* path;
    const wchar_t* directory;
  };
  for (const Case& entry :
       {Case{L"C:\\Marqel.dll", L"C:\\"},
        Case{L"D:\\Tools\\Plugins\\Marqel.dll", L"D:\\Tools\\Plugins"},
        Case{L"\\\\server\\share\\Marqel.dll", L"\\\\server\\share"}, Case{L"Marqel.dll", L""}}) {
    const std::wstring got = DirectoryOf(entry.path);
    Expect(got == entry.directory, "module: directory of " + Utf16ToUtf8(U16(entry.path)),
           Utf16ToUtf8(U16(got)));
  }
  const std::wstring self = ModuleFilePath(nullptr);
  const ModuleFileInfo info(nullptr);
  Expect(!self.empty() && info.moduleDirectory().native() == DirectoryOf(self) &&
             info.pathSeparator() == L'\\',
         "module: the program's own directory", Utf16ToUtf8(U16(info.moduleDirectory().native())));
}

void Text() {
  const AnsiCodePage codePage;
  Expect(codePage.codeOf(u'A') == 65 && codePage.codeOf(u'\0') == 0, "code page: ASCII is itself");
  const std::u16string_view withNul(u"a\0b", 3);
  Expect(codePage.toAnsi(withNul) == std::string("a\0b", 3) &&
             codePage.fromAnsi(std::string("a\0b", 3)) == withNul,
         "code page: embedded NUL survives both ways");
  Expect(codePage.toAnsi(u"").empty() && codePage.fromAnsi("").empty(), "code page: empty texts");
  Expect(codePage.codeOf(u'\xD800') == '?', "code page: a lone surrogate becomes '?'");
  if (::GetACP() == 1252) {
    Expect(codePage.codeOf(u'\u00E9') == 0xE9 && codePage.codeOf(u'\u20AC') == 0x80,
           "code page 1252: e-acute and the euro sign");
    Expect(codePage.codeOf(u'\u4E2D') == '?', "code page 1252: a CJK character becomes '?'");
    Expect(codePage.fromAnsi("\xE9\x80") == u"\u00E9\u20AC", "code page 1252: back to wide");
  } else {
    std::printf("# ANSI code page %u: the 1252 cases are not run\n", ::GetACP());
  }
  // UTF-8 can be the ANSI page (a Windows 10 option). Windows refuses WC_NO_BEST_FIT_CHARS for
  // it and Wine does not, so the choice of flags is checked on its own.
  Expect(ToAnsiFlags(CP_UTF8) == 0 && ToAnsiFlags(CP_UTF7) == 0 &&
             ToAnsiFlags(1252) == WC_NO_BEST_FIT_CHARS && ToAnsiFlags(932) == WC_NO_BEST_FIT_CHARS,
         "code page: UTF-8 and UTF-7 convert without flags, other pages without best fit");
  const AnsiCodePage utf8(CP_UTF8);
  Expect(utf8.toAnsi(u"A\u00E9\u20AC") == "A\xC3\xA9\xE2\x82\xAC" &&
             utf8.fromAnsi("A\xC3\xA9\xE2\x82\xAC") == u"A\u00E9\u20AC",
         "code page UTF-8: whole texts both ways");
  Expect(utf8.codeOf(u'A') == 'A' && utf8.codeOf(u'\u00E9') == '?' && utf8.codeOf(u'\u20AC') == '?',
         "code page UTF-8: a character of several bytes is no display code and becomes '?'");

  const SystemTextCase textCase;
  const std::u16string mixed = u"Some Title \u00e9t\u00e9 \u00df 12";
  const std::u16string upper = textCase.upperCase(mixed);
  Expect(upper.size() == mixed.size(), "upper case: the length never changes");
  Expect(upper.substr(0, 10) == u"SOME TITLE" && upper[11] == u'\u00c9' && upper[15] == u'\u00df',
         "upper case: letters change, sharp s stays one character", Utf16ToUtf8(upper));
  Expect(textCase.upperCase(u"").empty(), "upper case: empty text");
}

void Delay() {
  PreciseDelay delay;
  LARGE_INTEGER frequency{};
  LARGE_INTEGER start{};
  LARGE_INTEGER end{};
  ::QueryPerformanceFrequency(&frequency);
  for (const int ms : {2, 5, 10}) {
    ::QueryPerformanceCounter(&start);
    delay.DELAY(ms);
    ::QueryPerformanceCounter(&end);
    const double took = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                        static_cast<double>(frequency.QuadPart);
    Expect(took >= ms, "DELAY(" + std::to_string(ms) + ") waits at least that long",
           std::to_string(took) + " ms");
  }
  ::QueryPerformanceCounter(&start);
  delay.DELAY(0);
  delay.DELAY(-5);
  ::QueryPerformanceCounter(&end);
  Expect(end.QuadPart - start.QuadPart < frequency.QuadPart / 100,
         "DELAY of 0 or less returns at once");
}

void SerialPort(int wiredPort) {
  ComSerialPort port;
  Expect(!port.portOpen(), "serial: a new port is closed");
  const RuntimeError closedSend = Raised([&] { port.output(0x41); });
  Expect(closedSend.number() == marqel::err::kPortNotOpen,
         "serial: sending on a closed port raises");
  port.setCommPort(0);
  const RuntimeError zero = Raised([&] { port.open(); });
  Expect(zero.number() == marqel::err::kPortInvalid && !port.portOpen(), "serial: COM0 is no port",
         zero.description());
  port.setCommPort(42);
  const RuntimeError missing = Raised([&] { port.open(); });
  Expect(
      missing.number() != 0 && missing.description().rfind("COM42: ", 0) == 0 && !port.portOpen(),
      "serial: a missing port raises with its name first", missing.description());
  Expect(SerialDevicePath(12) == L"\\\\.\\COM12", "serial: COM12 is \\\\.\\COM12");
  port.close();  // closing a closed port is harmless

  if (wiredPort <= 0) {
    std::printf("# no wired port given: open/send/close not run\n");
    return;
  }
  port.setCommPort(static_cast<std::int16_t>(wiredPort));
  const RuntimeError opened = Raised([&] { port.open(); });
  Expect(opened.number() == 0 && port.portOpen(), "serial: the wired port opens",
         opened.description());
  if (!port.portOpen()) return;
  const RuntimeError again = Raised([&] { port.open(); });
  Expect(again.number() == marqel::err::kPortAlreadyOpen, "serial: opening an open port raises");
  const RuntimeError renumber = Raised([&] { port.setCommPort(2); });
  Expect(renumber.number() == marqel::err::kPortOperationWhileOpen && port.commPort() == wiredPort,
         "serial: the number cannot change while open");
  const std::int64_t before = CounterNow();
  const RuntimeError sent = Raised([&] {
    port.output(0x00);
    port.output(0x80);
    port.output(0xFF);
    port.drain();
  });
  const double tookMs =
      static_cast<double>(CounterNow() - before) * 1000.0 / static_cast<double>(CounterFrequency());
  Expect(sent.number() == 0, "serial: bytes go out and drain", sent.description());
  // Three bytes of 10 bits at 9600 baud: 3.125 ms on the line, whatever the port behind it.
  Expect(tookMs >= 3.1, "serial: a drain waits out the line time", std::to_string(tookMs) + " ms");
  port.close();
  Expect(!port.portOpen(), "serial: closed again");
}

LRESULT CALLBACK AnsweringWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return lParam == 104 ? 3 : static_cast<LRESULT>(wParam) + 1000;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void PlayerWindows() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &AnsweringWindow;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"MarqelTestWindow";
  ::RegisterClassW(&windowClass);
  const UniqueWindow window(::CreateWindowW(L"MarqelTestWindow", L"7. Artist - Title - Winamp",
                                            WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                            windowClass.hInstance, nullptr));
  const auto handle =
      static_cast<marqel::platform::WindowHandle>(reinterpret_cast<LONG_PTR>(window.get()));
  User32PlayerWindows windows;
  Expect(windows.GetWindowTextLengthA(handle) == 26, "player window: text length");
  char buffer[64];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  Expect(windows.GetWindowTextA(handle, buffer, 64) == 26 &&
             std::string(buffer) == "7. Artist - Title - Winamp",
         "player window: text");
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  Expect(windows.GetWindowTextA(handle, buffer, 0) == 0 && buffer[0] == 'x',
         "player window: a buffer of size 0 is left alone");
  Expect(windows.GetWindowTextA(handle, buffer, 3) == 2 && std::string(buffer) == "7.",
         "player window: a short buffer gets the start and a zero");
  Expect(windows.SendMessageA(handle, 0x400, 0, 104) == 3 &&
             windows.SendMessageA(handle, 0x400, 1, 105) == 1001,
         "player window: user messages are answered");
  Expect(windows.GetWindowTextLengthA(0) == 0 && windows.SendMessageA(0, 0x400, 0, 104) == 0,
         "player window: no window answers 0");
}

void Timers() {
  WindowTimerFactory factory(::GetModuleHandleW(nullptr));
  int ticks = 0;
  auto timer = factory.createTimer([&] { ++ticks; });
  Expect(!timer->enabled(), "timer: a new timer is off");
  timer->setInterval(30);
  timer->setEnabled(true);
  const auto pump = [](DWORD ms) {
    const DWORD until = ::GetTickCount() + ms;
    while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
      MSG message{};
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      ::Sleep(5);
    }
  };
  pump(400);
  Expect(ticks >= 3, "timer: ticks come through the thread's message loop",
         std::to_string(ticks) + " ticks");
  timer->setEnabled(false);
  pump(50);
  const int stopped = ticks;
  pump(200);
  Expect(ticks == stopped, "timer: a disabled timer does not tick");
  timer->setEnabled(true);
  timer->setInterval(0);
  pump(200);
  Expect(ticks == stopped, "timer: interval 0 does not tick");
  timer->setInterval(30);
  timer.reset();
  pump(200);
  Expect(ticks == stopped, "timer: a destroyed timer does not tick");
}

// The status of a host call is the same on both systems; Linux's module tests cover the errors,
// this the failures that are no RuntimeError.
void HostCalls() {
  using marqel::StatusOfHostCall;
  Expect(StatusOfHostCall([] { throw std::bad_alloc(); }) ==
                 marqel::FailureStatusOf(marqel::err::kOutOfMemory) &&
             StatusOfHostCall([] { throw 1; }) == E_UNEXPECTED,
         "host call: running out of memory is the Out of memory error, anything else unexpected");
}

// The component's library names the wrapper's plug-in interface; tools that follow it land in
// the wrapper's library BrelWinAmpGenLib 1.0, and the component's library holds no copy of it.
void TypeLibraries() {
  ITypeLib* wrapper = nullptr;
  Expect(SUCCEEDED(::LoadRegTypeLib(LIBID_BrelWinAmpGenLib, 1, 0, 0, &wrapper)),
         "type libraries: BrelWinAmpGenLib 1.0 is registered");
  ITypeLib* marqel = nullptr;
  if (FAILED(::LoadRegTypeLib(LIBID_Marqel, 1, 0, 0, &marqel))) {
    Expect(false, "type libraries: Marqel 1.0 is registered");
    return;
  }
  ITypeInfo* copy = nullptr;
  Expect(FAILED(marqel->GetTypeInfoOfGuid(IID_IBrelWinAmpGenPlugin, &copy)),
         "type libraries: Marqel holds no copy of IBrelWinAmpGenPlugin");
  ITypeInfo* tolvane = nullptr;
  bool found = false;
  if (SUCCEEDED(marqel->GetTypeInfoOfGuid(CLSID_Tolvane, &tolvane))) {
    for (UINT i = 0; i < 2 && !found; ++i) {
      HREFTYPE ref = 0;
      ITypeInfo* implemented = nullptr;
      TYPEATTR* attr = nullptr;
      if (FAILED(tolvane->GetRefTypeOfImplType(i, &ref)) ||
          FAILED(tolvane->GetRefTypeInfo(ref, &implemented))) {
        continue;
      }
      ITypeLib* home = nullptr;
      UINT index = 0;
      TLIBATTR* lib = nullptr;
      if (SUCCEEDED(implemented->GetTypeAttr(&attr)) &&
          IsEqualGUID(attr->guid, IID_IBrelWinAmpGenPlugin)) {
        found = attr->typekind == TKIND_INTERFACE && attr->cFuncs == 3 &&
                SUCCEEDED(implemented->GetContainingTypeLib(&home, &index)) &&
                SUCCEEDED(home->GetLibAttr(&lib)) &&
                IsEqualGUID(lib->guid, LIBID_BrelWinAmpGenLib) && lib->wMajorVerNum == 1 &&
                lib->wMinorVerNum == 0;
      }
      if (lib != nullptr) home->ReleaseTLibAttr(lib);
      if (home != nullptr) home->Release();
      if (attr != nullptr) implemented->ReleaseTypeAttr(attr);
      implemented->Release();
    }
    tolvane->Release();
  }
  Expect(found,
         "type libraries: Tolvane's IBrelWinAmpGenPlugin resolves in BrelWinAmpGenLib 1.0, with "
         "its three operations");
  if (copy != nullptr) copy->Release();
  marqel->Release();
  if (wrapper != nullptr) wrapper->Release();
}

void DialogLayout() {
  Expect(TwipsToPixels(4335, 96) == 289 && TwipsToPixels(3135, 96) == 209,
         "dialog: the client area at 96 dpi");
  Expect(TwipsToPixels(4335, 120) == 361 && TwipsToPixels(1440, 144) == 144,
         "dialog: the client area scales with the dpi");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--type-libraries") {
    TypeLibraries();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
  }
  const int wiredPort = argc > 1 ? std::atoi(argv[1]) : 0;
  SettingsFiles();
  ModuleDirectories();
  Text();
  Delay();
  SerialPort(wiredPort);
  PlayerWindows();
  Timers();
  HostCalls();
  DialogLayout();
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
