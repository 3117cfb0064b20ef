// The settings file on a real (temporary) directory: presence, reading, and a replacement that
// never leaves a torn or stray file behind.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
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
  static ino_t Inode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
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

TEST_F(PosixSettingsFilesTest, ALinkStaysALinkAndTheFileItNamesGetsTheContent) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    fs::path named;  // the file that gets the content
  };
  const std::vector<Case> cases = {
      {"a link to a file",
       [&] {
         Put(dir / "real.ini", " 1 \r\n 0 \r\n");
         fs::create_symlink("real.ini", file);
       },
       dir / "real.ini"},
      {"a link to a file not there yet", [&] { fs::create_symlink("real.ini", file); },
       dir / "real.ini"},
      {"a chain of links into another folder",
       [&] {
         fs::create_directory(dir / "sub");
         fs::create_symlink("sub/hop", file);
         fs::create_symlink("real.ini", dir / "sub" / "hop");
       },
       dir / "sub" / "real.ini"},
  };
  for (const Case& c : cases) {
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
    c.arrange();

    files.replaceContent(path(), " 2 \r\n 64 \r\n");

    EXPECT_TRUE(fs::is_symlink(file)) << c.what;
    EXPECT_EQ(Slurp(c.named), " 2 \r\n 64 \r\n") << c.what;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << c.what;
    }
  }
}

constexpr uid_t kOrdinaryUser = 65534;  // nobody

// Hands a file the test made to the user that SaveAsOrdinaryUser becomes.
void GiveToOrdinaryUser(const fs::path& p) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(p.c_str(), kOrdinaryUser, kOrdinaryUser), 0) << p;
  }
}

// What a save did in a child process that, when the test runs as root, becomes an ordinary user
// first: root may write anything, so only such a user meets what the system refuses. "saved",
// "E<number> <description>", or "unstaged" when root could not become that user.
std::string SaveAsOrdinaryUser(PosixSettingsFiles& files, const fs::path& path,
                               std::string_view content) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::string answer = "saved";
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryUser) != 0 ||
                             ::setuid(kOrdinaryUser) != 0)) {
      answer = "unstaged";
    } else {
      try {
        files.replaceContent(path, content);
      } catch (const RuntimeError& error) {
        answer = "E" + std::to_string(error.number()) + " " + error.description();
      }
    }
    [[maybe_unused]] const ssize_t sent = ::write(ends[1], answer.data(), answer.size());
    ::_exit(0);  // no exit handlers of the test process in the child
  }
  ::close(ends[1]);
  std::string answer;
  char buffer[512];
  ssize_t got = 0;
  while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) answer.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(ends[0]);
  ::waitpid(pid, nullptr, 0);
  return answer;
}

TEST_F(PosixSettingsFilesTest, EachRouteAndEachRefusalAsAnOrdinaryUserMeetsThem) {
  const std::string longOld = "a much longer old content that must not survive in any part";
  const std::string target = file.string();
  const std::string readOnlyDirectory = "Permission denied: the directory " + dir.string() +
                                        " is read-only, so " + target + " cannot be written";
  struct Case {
    const char* what;
    std::optional<std::string> old;  // the file before; none when there is none
    fs::perms filePerms;
    fs::perms dirPerms;
    bool diskFull;       // the second write call fails with ENOSPC
    std::string answer;  // as SaveAsOrdinaryUser gives it
    bool inPlace;        // the same file afterwards, not a new one renamed over it
  };
  const auto perms = [](unsigned bits) { return static_cast<fs::perms>(bits); };
  const std::vector<Case> cases = {
      {"writable file, open directory", longOld, perms(0644), perms(0755), false, "saved", false},
      {"writable file, directory closed to new files", longOld, perms(0644), perms(0555), false,
       "saved", true},
      {"in place, the disk fills half-way", longOld, perms(0644), perms(0555), true,
       "E61 Disk full: " + target + " could not be written", true},
      {"read-only file", longOld, perms(0444), perms(0755), false,
       "E70 Permission denied: " + target + " is read-only", true},
      {"a file the user may neither read nor write", longOld, perms(0000), perms(0755), false,
       "E70 Permission denied: " + target + " could not be written (Permission denied)", true},
      {"new file, directory closed to new files", std::nullopt, perms(0), perms(0555), false,
       "E70 " + readOnlyDirectory, false},
  };
  int calls = 0;
  PosixSettingsFiles fullDisk([&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls == 1) return ::write(fd, data, std::min<std::size_t>(size, 4));
    errno = ENOSPC;
    return -1;
  });
  const std::string content = " 3 \r\n 100 \r\n";
  for (const Case& c : cases) {
    fs::permissions(dir, perms(0755));
    fs::remove(file);
    ino_t before = 0;
    if (c.old) {
      Put(file, *c.old);
      fs::permissions(file, c.filePerms);
      GiveToOrdinaryUser(file);
      before = Inode(file);
    }
    GiveToOrdinaryUser(dir);
    fs::permissions(dir, c.dirPerms);

    const std::string answer = SaveAsOrdinaryUser(c.diskFull ? fullDisk : files, file, content);

    if (answer == "unstaged") GTEST_SKIP() << "root could not become an ordinary user";
    EXPECT_EQ(answer, c.answer) << c.what;
    const bool saved = c.answer == "saved";
    EXPECT_EQ(fs::exists(file) ? Slurp(file) : "(none)", saved ? content : c.old.value_or("(none)"))
        << c.what;
    if (c.old) {
      EXPECT_EQ(Inode(file) == before, c.inPlace) << c.what;
    }
    EXPECT_EQ(Listing(),
              c.old || saved ? std::set<std::string>{"gen_marqel.ini"} : std::set<std::string>{})
        << c.what << ": nothing else is left behind";
  }
}

TEST_F(PosixSettingsFilesTest, WhatTheSystemAllowsIsNotRefusedOverPermissionBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "only a privileged user may write without the bits";
  Put(file, " 1 \r\n 5 \r\n");
  fs::permissions(file, fs::perms::owner_read);
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  files.replaceContent(path(), " 2 \r\n 64 \r\n");
  EXPECT_EQ(Slurp(file), " 2 \r\n 64 \r\n");
}

TEST_F(PosixSettingsFilesTest, ADirectoryOfThatNameIsRefused) {
  fs::create_directory(file);
  const RuntimeError error = Failure([&] { files.replaceContent(path(), " 2 \r\n 64 \r\n"); });
  EXPECT_EQ(error.number(), err::kPathFileAccessError);
  EXPECT_EQ(error.description(), "Path/File access error: " + file.string() + " is a directory");
  EXPECT_EQ(Listing(), std::set<std::string>{"gen_marqel.ini"});
}

TEST_F(PosixSettingsFilesTest, ASaveClearsWhatAKilledSaveLeftBehind) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string ours = ".gen_marqel.ini.new-";
  const std::set<std::string> stale = {ours + std::to_string(gone) + "-0",
                                       ours + std::to_string(::getpid()) + "-3"};
  const std::set<std::string> kept = {
      ours + "1-0",                                     // its process still runs
      ours + std::to_string(gone) + "-x",               // not a name a save gives
      ".other.ini.new-" + std::to_string(gone) + "-0",  // another file's
  };
  for (const auto& name : stale) Put(dir / name, " 9 \r\n");
  for (const auto& name : kept) Put(dir / name, " 9 \r\n");

  files.replaceContent(path(), " 2 \r\n 64 \r\n");

  std::set<std::string> expected = kept;
  expected.insert("gen_marqel.ini");
  EXPECT_EQ(Listing(), expected);
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
