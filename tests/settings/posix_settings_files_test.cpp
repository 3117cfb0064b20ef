// The settings file on a real (temporary) directory: presence, reading, and a replacement that
// never leaves a torn or stray file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "linux/platform/settings_files_posix.h"

namespace marqel::platform::linux_ {
namespace {

namespace fs = std::filesystem;

class PosixSettingsFilesTest : public ::testing::Test {
 protected:
  PosixSettingsFilesTest() {
    std::string pattern = (fs::temp_directory_path() / "marqel-settings-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    file = dir / "gen_marqel.ini";
  }
  ~PosixSettingsFilesTest() override {
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, ignored);
    fs::remove_all(dir, ignored);
  }

  std::u16string path() const { return Utf8ToUtf16(file.string()); }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  static void Put(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
  }
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
  }
  // Runs `write`, which must raise; returns the error.
  template <class Write>
  static RuntimeError Failure(Write&& write) {
    try {
      write();
    } catch (const RuntimeError& error) {
      return error;
    }
    ADD_FAILURE() << "no error";
    return RuntimeError(0, "");
  }

  fs::path dir;
  fs::path file;
  PosixSettingsFiles files;
};

TEST_F(PosixSettingsFilesTest, OnlyAnOrdinaryFileIsPresent) {
  EXPECT_FALSE(files.isOrdinaryFile(path())) << "missing";

  fs::create_directory(file);
  EXPECT_FALSE(files.isOrdinaryFile(path())) << "a directory of that name";
  fs::remove(file);

  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_FALSE(files.isOrdinaryFile(path())) << "a pipe of that name";
  fs::remove(file);

  fs::create_symlink(dir / "elsewhere.ini", file);
  EXPECT_FALSE(files.isOrdinaryFile(path())) << "a dangling link";
  Put(dir / "elsewhere.ini", " 1 \r\n 0 \r\n");
  EXPECT_TRUE(files.isOrdinaryFile(path())) << "a link to a file";
  fs::remove(file);

  Put(file, " 1 \r\n 0 \r\n");
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_TRUE(files.isOrdinaryFile(path())) << "read-only counts as ordinary";
  EXPECT_FALSE(files.isOrdinaryFile(path() + std::u16string(1, u'\0') + u"x"));
  EXPECT_FALSE(files.isOrdinaryFile(u""));
}

TEST_F(PosixSettingsFilesTest, ReadsEveryByteAsItIs) {
  const std::string content("\x20\x32\x20\x0D\x0A\x00\xFF\x80 64", 11);
  Put(file, content);
  EXPECT_EQ(files.readAll(path()), content);
}

TEST_F(PosixSettingsFilesTest, ReadingWhatIsNoFileFailsWithoutBlocking) {
  EXPECT_EQ(Failure([&] { files.readAll(path()); }).number(), err::kFileNotFound);

  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // no writer: a blocking open would hang
  EXPECT_EQ(Failure([&] { files.readAll(path()); }).number(), err::kPathFileAccessError);
  fs::remove(file);

  fs::create_directory(file);
  EXPECT_EQ(Failure([&] { files.readAll(path()); }).number(), err::kPathFileAccessError);
  fs::remove(file);

  Put(file, std::string(PosixSettingsFiles::kMaxReadSize + 1, ' '));
  EXPECT_EQ(Failure([&] { files.readAll(path()); }).description(),
            "Path/File access error: the file is larger than 1 MiB");
}

TEST_F(PosixSettingsFilesTest, ANewFileGetsExactlyTheContentAndNothingElseIsLeft) {
  files.replaceContent(path(), " 4 \r\n 30 \r\n");
  EXPECT_EQ(Slurp(file), " 4 \r\n 30 \r\n");
  EXPECT_EQ(Listing(), std::set<std::string>{"gen_marqel.ini"});

  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0666 & ~mask));
}

TEST_F(PosixSettingsFilesTest, ReplacingKeepsTheOldFilesPermissions) {
  Put(file, "a much longer old content that must not survive in any part");
  fs::permissions(file, static_cast<fs::perms>(0640));
  files.replaceContent(path(), " 3 \r\n 100 \r\n");
  EXPECT_EQ(Slurp(file), "\x20\x33\x20\x0D\x0A\x20\x31\x30\x30\x20\x0D\x0A");
  EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));
  EXPECT_EQ(Listing(), std::set<std::string>{"gen_marqel.ini"});
}

TEST_F(PosixSettingsFilesTest, WritesThroughALinkAndKeepsTheLink) {
  Put(dir / "real.ini", " 1 \r\n 0 \r\n");
  fs::create_symlink("real.ini", file);
  files.replaceContent(path(), " 2 \r\n 64 \r\n");
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(Slurp(dir / "real.ini"), " 2 \r\n 64 \r\n");
  EXPECT_EQ(Listing(), (std::set<std::string>{"gen_marqel.ini", "real.ini"}));
}

TEST_F(PosixSettingsFilesTest, WhatCannotBeWrittenInPlaceFailsBeforeAnythingIsTouched) {
  const std::string old = " 1 \r\n 5 \r\n";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::int32_t number;
    std::string description;
  };
  const std::string target = file.string();
  const std::vector<Case> cases = {
      {"read-only file in a writable directory",
       [&] {
         Put(file, old);
         fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
       },
       err::kPermissionDenied, "Permission denied: " + target + " is read-only"},
      {"writable file in a read-only directory",
       [&] {
         Put(file, old);
         fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
       },
       err::kPermissionDenied,
       "Permission denied: the directory " + dir.string() + " is read-only, so " + target +
           " cannot be written"},
      {"new file in a read-only directory",
       [&] { fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec); },
       err::kPermissionDenied,
       "Permission denied: the directory " + dir.string() + " is read-only, so " + target +
           " cannot be written"},
      {"a directory of that name", [&] { fs::create_directory(file); }, err::kPathFileAccessError,
       "Path/File access error: " + target + " is a directory"},
  };
  for (const auto& c : cases) {
    c.arrange();
    const auto before = Listing();
    const RuntimeError error = Failure([&] { files.replaceContent(path(), " 2 \r\n 64 \r\n"); });
    EXPECT_EQ(error.number(), c.number) << c.what;
    EXPECT_EQ(error.description(), c.description) << c.what;
    EXPECT_EQ(Listing(), before) << c.what;
    if (fs::is_regular_file(file)) {
      EXPECT_EQ(Slurp(file), old) << c.what;
    }

    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all);
    fs::permissions(file, fs::perms::owner_all, ignored);
    fs::remove_all(file);
  }
}

TEST_F(PosixSettingsFilesTest, AMissingDirectoryIsNamed) {
  const fs::path nowhere = dir / "gone" / "gen_marqel.ini";
  const RuntimeError error =
      Failure([&] { files.replaceContent(Utf8ToUtf16(nowhere.string()), " 1 \r\n 0 \r\n"); });
  EXPECT_EQ(error.number(), 76);
  EXPECT_EQ(error.description(),
            "Path not found: the directory " + (dir / "gone").string() + " does not exist");
}

TEST_F(PosixSettingsFilesTest, AWriteThatFailsHalfWayLeavesTheOldFileAndNoTemporaryFile) {
  Put(file, " 1 \r\n 5 \r\n");
  int calls = 0;
  PosixSettingsFiles fullDisk([&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls == 1) return ::write(fd, data, std::min<std::size_t>(size, 4));
    errno = ENOSPC;
    return -1;
  });

  const RuntimeError error = Failure([&] { fullDisk.replaceContent(path(), " 3 \r\n 100 \r\n"); });

  EXPECT_EQ(calls, 2);
  EXPECT_EQ(error.number(), err::kDiskFull);
  EXPECT_EQ(error.description(), "Disk full: " + file.string() + " could not be written");
  EXPECT_EQ(Slurp(file), " 1 \r\n 5 \r\n");
  EXPECT_EQ(Listing(), std::set<std::string>{"gen_marqel.ini"});
}

TEST_F(PosixSettingsFilesTest, ShortAndInterruptedWritesStillDeliverEverything) {
  bool interrupted = false;
  PosixSettingsFiles trickle([&](int fd, const void* data, std::size_t) -> ssize_t {
    if (!interrupted) {
      interrupted = true;
      errno = EINTR;
      return -1;
    }
    return ::write(fd, data, 1);
  });
  trickle.replaceContent(path(), " 3 \r\n 100 \r\n");
  EXPECT_EQ(Slurp(file), " 3 \r\n 100 \r\n");
  EXPECT_EQ(Listing(), std::set<std::string>{"gen_marqel.ini"});
}

}  // namespace
}  // namespace marqel::platform::linux_
