#include "windows/platform/win32_settings_files.h"

#include <windows.h>

#include <algorithm>

#include "common/path_text.h"
#include "common/runtime_error.h"
#include "windows/platform/module_file_info.h"
#include "windows/platform/win32_handles.h"
#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {
namespace {

// The error a file operation raises: the classic number for the kind of failure, and the
// system's own text after the file's name.
[[noreturn]] void RaiseFileError(DWORD code, const std::filesystem::path& path) {
  const std::string text = PathTextUtf8(path) + ": " + SystemErrorText(code);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      throw RuntimeError(err::kFileNotFound, text);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      throw RuntimeError(err::kPathNotFound, text);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      throw RuntimeError(err::kPermissionDenied, text);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      throw RuntimeError(err::kDiskFull, text);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      throw RuntimeError(err::kOutOfMemory, text);
    default:
      throw RuntimeError(err::kPathFileAccessError, text);
  }
}

// Appends what is left to read of the file; false (with the last error set) when reading fails.
bool ReadRest(HANDLE file, std::string& content) {
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      return false;
    }
    if (got == 0) {
      return true;
    }
    content.append(buffer, got);
  }
}

// Writes all of `content` at the file's position; 0, or the system's error code.
DWORD WriteWhole(HANDLE file, std::string_view content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, content.data() + done, chunk, &written, nullptr)) {
      return ::GetLastError();
    }
    if (written == 0) {
      return ERROR_DISK_FULL;
    }
    done += written;
  }
  return 0;
}

bool Rewind(HANDLE file) {
  return ::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

bool Win32SettingsFiles::isOrdinaryFile(const std::filesystem::path& path) const {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::string Win32SettingsFiles::readAll(const std::filesystem::path& path) const {
  const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) {
    RaiseFileError(::GetLastError(), path);
  }
  std::string content;
  if (!ReadRest(file.get(), content)) {
    RaiseFileError(::GetLastError(), path);
  }
  return content;
}

void WriteInPlace(const std::filesystem::path& path, std::string_view content) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    RaiseFileError(::GetLastError(), path);
  }
  std::string old;
  const bool restorable = ReadRest(file.get(), old);
  if (!Rewind(file.get())) {
    RaiseFileError(::GetLastError(), path);
  }
  if (const DWORD error = WriteWhole(file.get(), content); error != 0) {
    // As much of the old content as the system lets back in; the write's failure is what counts.
    if (restorable && Rewind(file.get()) && WriteWhole(file.get(), old) == 0) {
      ::SetEndOfFile(file.get());
    }
    RaiseFileError(error, path);
  }
  // Until the cut the file starts with the whole new content, and a reader stops after its two
  // numbers: no moment shows a torn file.
  if (!::FlushFileBuffers(file.get()) || !::SetEndOfFile(file.get()) ||
      !::FlushFileBuffers(file.get()) || !CloseReporting(file)) {
    RaiseFileError(::GetLastError(), path);
  }
}

void Win32SettingsFiles::replaceContent(const std::filesystem::path& path,
                                        std::string_view content) {
  const std::wstring& target = path.native();
  std::wstring directory = DirectoryOf(target);
  if (directory.empty()) {
    directory = L".";
  }
  wchar_t temporary[MAX_PATH + 1] = {};
  // Same directory, so the final move is a rename on one volume. Fails in a folder where no file
  // may be created; the file itself may still be writable there.
  if (::GetTempFileNameW(directory.c_str(), L"mq", 0, temporary) == 0) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED && IsExistingFile(target)) {
      WriteInPlace(path, content);
      return;
    }
    RaiseFileError(error, path);
  }
  UniqueFileHandle file(::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  const auto discard = [&](DWORD error) {
    // Closed first: the handle shares nothing, so the file cannot go while it is open.
    file.reset();
    ::DeleteFileW(temporary);
    RaiseFileError(error, path);
  };
  if (!file.valid()) {
    discard(::GetLastError());
  }
  if (const DWORD error = WriteWhole(file.get(), content); error != 0) {
    discard(error);
  }
  if (!::FlushFileBuffers(file.get())) {
    discard(::GetLastError());
  }
  if (!CloseReporting(file)) {
    discard(::GetLastError());
  }
  if (!::MoveFileExW(temporary, target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    discard(::GetLastError());
  }
}

}  // namespace marqel::platform::win32
