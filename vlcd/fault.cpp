#include "vlcd/fault.h"

#include <cstdio>
#include <cstdlib>

namespace marqel::vlcd {

std::string formatMillis(Nanos time) {
  const long long ns = time.count();
  const long long micros = (std::llabs(ns) + 500) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%s%lld.%03lld ms", ns < 0 ? "-" : "", micros / 1000,
                micros % 1000);
  return text;
}

std::string describe(const Fault& fault) {
  const char* role = fault.role == WriteRole::kByte         ? ""
                     : fault.role == WriteRole::kHighNibble ? " high nibble"
                                                            : " low nibble";
  const unsigned shown = fault.role == WriteRole::kByte ? fault.bus : fault.bus >> 4u;
  char what[64];
  std::snprintf(what, sizeof what, "%s%s 0x%0*X", fault.rs ? "data" : "instruction", role,
                fault.role == WriteRole::kByte ? 2 : 1, shown);
  std::string text = "controller " + std::to_string(fault.controller) + ", byte " +
                     std::to_string(fault.byteIndex) + " at " + formatMillis(fault.at) + ": " +
                     what + " came " + formatMillis(fault.early) + " early (";
  text += fault.kind == FaultKind::kBusy ? fault.cause + " still running" : fault.cause;
  text += ")";
  return text;
}

}  // namespace marqel::vlcd
