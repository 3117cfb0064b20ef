#pragma once
// Paths travel as the system gives them; only where a person reads one is it turned into text.
#include <filesystem>
#include <string>

namespace marqel {

// A path as a person reads it. On Windows the wide string as it is. Elsewhere the bytes read as
// UTF-8, and each byte that is not part of a valid UTF-8 sequence shown as \xHH (a Latin-1
// "caf\xE9"), so a name in another encoding still shows which file is meant.
std::u16string PathText(const std::filesystem::path& path);

// The same text in UTF-8, for error descriptions.
std::string PathTextUtf8(const std::filesystem::path& path);

}  // namespace marqel
