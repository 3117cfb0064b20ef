#pragma once
// One ordered record of everything the component did to the link: port opens and closes, bytes,
// drains and waits. Tests read it as "this went out, in this order".
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace marqel::fake {

struct LinkEvent {
  enum class Kind { Open, Close, SetPort, Byte, Drain, Wait, MessageBox };
  LinkEvent(Kind k, std::int32_t v = 0, std::string t = {})
      : kind(k), value(v), text(std::move(t)) {}
  Kind kind;
  std::int32_t value;  // byte value, port number, wait in ms or message icon
  std::string text;    // message box text (UTF-8)

  bool operator==(const LinkEvent&) const = default;
};

class LineRecorder {
 public:
  void record(LinkEvent event) { events_.push_back(std::move(event)); }
  const std::vector<LinkEvent>& events() const { return events_; }
  // Only the bytes that went out on the line.
  std::vector<std::uint8_t> bytes() const;
  // Bytes recorded after event index `from`.
  std::vector<std::uint8_t> bytesSince(std::size_t from) const;
  // How many events of `kind` were recorded from event index `from` on.
  std::size_t count(LinkEvent::Kind kind, std::size_t from = 0) const;
  std::size_t mark() const { return events_.size(); }
  void clear() { events_.clear(); }
  // A compact, readable rendering for test failure output, e.g. "open(1) 03 wait(10) 03 ...".
  std::string describe(std::size_t from = 0) const;

 private:
  std::vector<LinkEvent> events_;
};

}  // namespace marqel::fake
