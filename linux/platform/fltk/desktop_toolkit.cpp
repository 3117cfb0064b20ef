#include "linux/platform/fltk/desktop_toolkit.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "linux/posix/companion_module.h"
#include "linux/posix/posix_handles.h"

namespace marqel::platform::linux_ {
namespace {

constexpr const char* kModuleFile = "marqel-desktop.so";
constexpr const char* kEntryPoint = "MarqelDesktopToolkit";
using EntryPointFn = DesktopToolkit* (*)();

DesktopToolkit* LoadModule() {
  std::string failure;
  if (void* entry = posix::LoadCompanionEntryPoint(MARQEL_SYSTEM_LIBRARY, kModuleFile, kEntryPoint,
                                                   failure)) {
    return reinterpret_cast<EntryPointFn>(entry)();
  }
  std::cerr << "[marqel] no desktop windows, messages and the dialog stay in the terminal: "
            << failure << '\n'
            << std::flush;
  return nullptr;
}

// The number of a display on this machine (":0", ":1.0", "unix:0"); nullopt for a display on
// another host or one named in a form this does not read.
std::optional<unsigned> LocalDisplayNumber(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view host = name.substr(0, colon);
  if (!host.empty() && host != "unix") return std::nullopt;
  std::string_view number = name.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.size() > 6 ||
      number.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return static_cast<unsigned>(std::stoul(std::string(number)));
}

// Whether the local X server `number` accepts a connection, on its abstract socket or on the one
// in the file system. Nothing is said to it: the connection is closed at once.
bool LocalServerListens(unsigned number) {
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
  for (const bool abstract : {true, false}) {
    const posix::UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // An abstract name starts with a zero byte and has no terminating one.
    const std::size_t start = abstract ? 1 : 0;
    std::memcpy(address.sun_path + start, path.data(), path.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + start + path.size());
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

DesktopToolkit* LoadDesktopToolkit() {
  static DesktopToolkit* const toolkit = LoadModule();
  return toolkit;
}

bool DisplayReachable() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  if (const std::optional<unsigned> number = LocalDisplayNumber(name)) {
    return LocalServerListens(*number);
  }
  DesktopToolkit* toolkit = LoadDesktopToolkit();
  return toolkit != nullptr && toolkit->displayAvailable();
}

}  // namespace marqel::platform::linux_
