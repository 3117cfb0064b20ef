#pragma once
// Modules that come with a shared library and lie beside it, loaded only when something needs
// them (the desktop windows, the MPRIS player), so that a process that never does maps none of
// what they link. Once loaded, a companion stays for the life of the process: what it made may
// be in use anywhere, and the libraries it links may keep process-wide state.
#include <filesystem>
#include <string>

namespace marqel::posix {

// `file` in the directory the shared library `library` (by its soname; this process has loaded
// it) was loaded from; just `file` when that cannot be told.
std::filesystem::path CompanionPath(const char* library, const char* file);

// Loads the companion `file` of `library` and returns the address of its `entryPoint`; nullptr
// when it is not there, does not load or lacks the entry point, with the reason in `failure`.
void* LoadCompanionEntryPoint(const char* library, const char* file, const char* entryPoint,
                              std::string& failure);

}  // namespace marqel::posix
