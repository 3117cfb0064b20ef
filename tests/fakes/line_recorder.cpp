#include "tests/fakes/line_recorder.h"

#include <algorithm>
#include <cstdio>

namespace marqel::fake {

std::vector<std::uint8_t> LineRecorder::bytes() const {
  return bytesSince(0);
}

std::vector<std::uint8_t> LineRecorder::bytesSince(std::size_t from) const {
  std::vector<std::uint8_t> out;
  for (std::size_t i = from; i < events_.size(); ++i) {
    if (events_[i].kind == LinkEvent::Kind::Byte) {
      out.push_back(static_cast<std::uint8_t>(events_[i].value));
    }
  }
  return out;
}

std::size_t LineRecorder::count(LinkEvent::Kind kind, std::size_t from) const {
  if (from >= events_.size()) return 0;
  return static_cast<std::size_t>(
      std::count_if(events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end(),
                    [kind](const LinkEvent& e) { return e.kind == kind; }));
}

std::string LineRecorder::describe(std::size_t from) const {
  std::string out;
  char buf[32];
  for (std::size_t i = from; i < events_.size(); ++i) {
    const LinkEvent& e = events_[i];
    switch (e.kind) {
      case LinkEvent::Kind::Open:
        std::snprintf(buf, sizeof buf, "open(%d)", e.value);
        break;
      case LinkEvent::Kind::Close:
        std::snprintf(buf, sizeof buf, "close");
        break;
      case LinkEvent::Kind::SetPort:
        std::snprintf(buf, sizeof buf, "port=%d", e.value);
        break;
      case LinkEvent::Kind::Byte:
        std::snprintf(buf, sizeof buf, "%02X", e.value);
        break;
      case LinkEvent::Kind::Drain:
        std::snprintf(buf, sizeof buf, "drain");
        break;
      case LinkEvent::Kind::Wait:
        std::snprintf(buf, sizeof buf, "wait(%d)", e.value);
        break;
      case LinkEvent::Kind::MessageBox:
        std::snprintf(buf, sizeof buf, "msgbox");
        break;
    }
    if (!out.empty()) out += ' ';
    out += buf;
    if (e.kind == LinkEvent::Kind::MessageBox) out += "[" + e.text + "]";
  }
  return out;
}

}  // namespace marqel::fake
