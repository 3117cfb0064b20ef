#pragma once
#include <iosfwd>
#include <string>
#include <vector>

#include "vlcd/line_model.h"

namespace marqel::vlcd {

// Recordings are text, one byte a line: the microseconds since the recording started, a space and
// the byte as two hex digits ("10417 0A"). Blank lines and lines starting with '#' are ignored.
// Times are when the byte was read from the port, i.e. when the sender queued it on a pty.

inline constexpr const char* kRecordingHeader =
    "# marqel-lcd recording: <microseconds since start> <hex byte>, one byte a line\n";

std::string recordingLine(const TimedByte& byte);  // with the newline

// Throws std::runtime_error naming the line on malformed input.
std::vector<TimedByte> parseRecording(std::istream& in);

}  // namespace marqel::vlcd
