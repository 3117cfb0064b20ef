// The settings file: its path, its exact bytes, the number reader, and start-up's handling of a
// missing or damaged file.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "plugin/component.h"
#include "tests/fakes/fake_platform.h"

namespace marqel::settings {
namespace {

using platform::MessageIcon;

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest() { component.pluginDirectory = u"/opt/marqel/plugins/"; }

  const std::u16string path = u"/opt/marqel/plugins/gen_marqel.ini";
  fake::FakePlatform fp;
  Component component{fp.platform()};
};

TEST(SettingsFilePath, IsThePluginDirectoryFollowedDirectlyByTheName) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"C:\\", u"C:\\gen_marqel.ini"},
      {u"D:\\Tools\\Plugins\\", u"D:\\Tools\\Plugins\\gen_marqel.ini"},
      {u"/usr/lib/marqel/", u"/usr/lib/marqel/gen_marqel.ini"},
  };
  for (const auto& [directory, expected] : cases) {
    EXPECT_EQ(SettingsFilePath(directory), expected);
  }
}

TEST(SettingsFileContent, IsByteExact) {
  EXPECT_EQ(SettingsFileContent({2, 64}),
            std::string("\x20\x32\x20\x0D\x0A\x20\x36\x34\x20\x0D\x0A"));
  EXPECT_EQ(SettingsFileContent({3, 100}),
            std::string("\x20\x33\x20\x0D\x0A\x20\x31\x30\x30\x20\x0D\x0A"));
  EXPECT_EQ(SettingsFileContent({1, 0}), " 1 \r\n 0 \r\n");
}

TEST(SettingsNumberReader, AcceptsTheFormsAHandEditedFileTakes) {
  struct Case {
    std::string content;
    int port;
    int contrast;
  };
  const std::vector<Case> cases = {
      {" 2 \r\n 64 \r\n", 2, 64},  // as written
      {"2\r\n64", 2, 64},          // no blanks, no final line end
      {"3,90", 3, 90},             // one line, comma
      {"3 , 90\r\n", 3, 90},       // blanks around the comma
      {"  4\n\n\n 127", 4, 127},   // bare LFs, blank lines
      {"1\r0", 1, 0},              // lone CR
      {"255 0", 255, 0},           // the reader takes a whole byte
      {"007 010", 7, 10},          // leading zeros
      {"2 64 whatever follows", 2, 64},
      {"+2 -0", 2, 0},
  };
  for (const auto& c : cases) {
    SettingsNumberReader reader(c.content);
    EXPECT_EQ(reader.next("port"), c.port) << c.content;
    EXPECT_EQ(reader.next("contrast"), c.contrast) << c.content;
  }
}

TEST(SettingsNumberReader, NamesWhatIsWrong) {
  struct Case {
    std::string content;
    std::int32_t number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"", err::kInputPastEndOfFile, "Input past end of file: the port value is missing"},
      {" \r\n \r\n", err::kInputPastEndOfFile, "Input past end of file: the port value is missing"},
      {"256", err::kOverflow, "Overflow: the port value 256 is outside 0 to 255"},
      {"99999999999999999999", err::kOverflow,
       "Overflow: the port value 9999999999999999... is outside 0 to 255"},
      {"-1", err::kOverflow, "Overflow: the port value -1 is outside 0 to 255"},
      {"two", err::kTypeMismatch, "Type mismatch: the port value \"two\" is not a decimal number"},
      {"2.5", err::kTypeMismatch, "Type mismatch: the port value \"2.5\" is not a decimal number"},
      {"2\t64", err::kTypeMismatch,
       "Type mismatch: the port value \"2?64\" is not a decimal number"},
      {",5", err::kTypeMismatch, "Type mismatch: the port value \"\" is not a decimal number"},
      {"-", err::kTypeMismatch, "Type mismatch: the port value \"-\" is not a decimal number"},
  };
  for (const auto& c : cases) {
    SettingsNumberReader reader(c.content);
    try {
      reader.next("port");
      ADD_FAILURE() << "no error for \"" << c.content << "\"";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), c.number) << c.content;
      EXPECT_EQ(error.description(), c.description) << c.content;
    }
  }
}

TEST_F(SettingsFileTest, NoFileShowsTheNoticeOnceAndKeepsTheDefaults) {
  ReadSettingsFile(component.settingsFile(), component.linkSettings);

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(fp.messageBoxes.shown[0].text,
            u"No settings file found. Please set the options for this plugin in winamp's general "
            u"purpose plugins list and click \"Set & Save\"!");
  EXPECT_EQ(fp.messageBoxes.shown[0].text.size(), 127u);
  EXPECT_EQ(component.linkSettings.port, 1);
  EXPECT_EQ(component.linkSettings.contrast, 0);
  EXPECT_TRUE(fp.files.files.empty());
  EXPECT_EQ(fp.files.writes, 0);
  EXPECT_EQ(fp.serialPorts.created, 0) << "the notice comes before any port is opened";
}

TEST_F(SettingsFileTest, AHiddenFileOrADirectoryCountsAsAbsent) {
  for (const bool hidden : {true, false}) {
    fake::FakePlatform world;
    Component fresh(world.platform());
    fresh.pluginDirectory = u"/opt/marqel/plugins/";
    world.files.files[path] = " 3 \r\n 90 \r\n";
    (hidden ? world.files.hidden : world.files.directories).insert(path);

    ReadSettingsFile(fresh.settingsFile(), fresh.linkSettings);

    ASSERT_EQ(world.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(world.messageBoxes.shown[0].text, kMissingSettingsNotice);
    EXPECT_EQ(fresh.linkSettings.port, 1);
    EXPECT_EQ(fresh.linkSettings.contrast, 0);
  }
}

TEST_F(SettingsFileTest, APresentFileFillsTheSettingsWithoutAnyMessage) {
  fp.files.files[path] = "2\r\n64";
  ReadSettingsFile(component.settingsFile(), component.linkSettings);
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
  EXPECT_EQ(component.linkSettings.port, 2);
  EXPECT_EQ(component.linkSettings.contrast, 64);
}

TEST_F(SettingsFileTest, AnUnreadableFileIsReportedWithItsPathAndStartUpGoesOn) {
  fp.files.files[path] = "4\r\n";
  ReadSettingsFile(component.settingsFile(), component.linkSettings);

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(fp.messageBoxes.shown[0].text,
            u"Error: Input past end of file: the contrast value is missing\r\n"
            u"Settings file: /opt/marqel/plugins/gen_marqel.ini\r\n"
            u"Going on with Port[4] Contrast[0]");
  EXPECT_EQ(component.linkSettings.port, 4) << "values read before the failure stay";
  EXPECT_EQ(component.linkSettings.contrast, 0);
}

TEST(SettingsFileNotice, NamesThePathEvenWhenItIsNotUtf8) {
  struct Case {
    std::string directory;  // the bytes the system gave
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {"/opt/caf\xE9/", u"/opt/caf\\xE9/gen_marqel.ini"},              // Latin-1
      {"/opt/caf\xC3\xA9/", u"/opt/caf\u00E9/gen_marqel.ini"},         // UTF-8
      {"/opt/\xC3/", u"/opt/\\xC3/gen_marqel.ini"},                    // a sequence cut short
      {"/opt/\xED\xA0\x80/", u"/opt/\\xED\\xA0\\x80/gen_marqel.ini"},  // a surrogate
      {"/opt/\xEF\xBF\xBD/", u"/opt/\uFFFD/gen_marqel.ini"},           // U+FFFD itself
  };
  for (const auto& c : cases) {
    fake::FakePlatform world;
    Component fresh(world.platform());
    fresh.pluginDirectory = c.directory;
    const std::filesystem::path path = SettingsFilePath(fresh.pluginDirectory);
    EXPECT_EQ(path.native(), c.directory + "gen_marqel.ini") << "the path keeps its bytes";
    world.files.files[path] = "4";

    ReadSettingsFile(fresh.settingsFile(), fresh.linkSettings);

    ASSERT_EQ(world.messageBoxes.shown.size(), 1u) << c.directory;
    EXPECT_NE(world.messageBoxes.shown[0].text.find(u"\r\nSettings file: " + c.shown + u"\r\n"),
              std::u16string::npos)
        << Utf16ToUtf8(world.messageBoxes.shown[0].text);
  }
}

TEST_F(SettingsFileTest, EachKindOfDamageKeepsWhatWasReadBeforeIt) {
  struct Case {
    std::string content;
    bool unreadable;
    int port;
    int contrast;
    std::u16string firstLine;
  };
  const std::vector<Case> cases = {
      {"", false, 1, 0, u"Error: Input past end of file: the port value is missing"},
      {"300 20", false, 1, 0, u"Error: Overflow: the port value 300 is outside 0 to 255"},
      {"2 300", false, 2, 0, u"Error: Overflow: the contrast value 300 is outside 0 to 255"},
      {"COM2 64", false, 1, 0,
       u"Error: Type mismatch: the port value \"COM2\" is not a decimal number"},
      {"2,,64", false, 2, 0,
       u"Error: Type mismatch: the contrast value \"\" is not a decimal number"},
      {" 3 \r\n 64 \r\n", true, 1, 0, u"Error: Permission denied"},
  };
  for (const auto& c : cases) {
    fake::FakePlatform world;
    Component fresh(world.platform());
    fresh.pluginDirectory = u"/opt/marqel/plugins/";
    world.files.files[path] = c.content;
    if (c.unreadable) world.files.unreadable.insert(path);

    ReadSettingsFile(fresh.settingsFile(), fresh.linkSettings);

    ASSERT_EQ(world.messageBoxes.shown.size(), 1u) << c.content;
    const std::u16string& text = world.messageBoxes.shown[0].text;
    EXPECT_EQ(text.substr(0, text.find(u"\r\n")), c.firstLine) << c.content;
    EXPECT_NE(text.find(u"Settings file: " + path), std::u16string::npos) << c.content;
    EXPECT_EQ(fresh.linkSettings.port, c.port) << c.content;
    EXPECT_EQ(fresh.linkSettings.contrast, c.contrast) << c.content;
  }
}

TEST_F(SettingsFileTest, WriteReplacesWhateverTheFileHeld) {
  fp.files.files[path] = "garbage that was there before, much longer than the new content";
  component.linkSettings = {3, 100};
  WriteSettingsFile(component.settingsFile(), component.linkSettings);
  EXPECT_EQ(fp.files.files[path], "\x20\x33\x20\x0D\x0A\x20\x31\x30\x30\x20\x0D\x0A");
}

TEST_F(SettingsFileTest, AFailedWriteRaisesAndLeavesTheOldFile) {
  fp.files.files[path] = " 1 \r\n 5 \r\n";
  fp.files.readOnly = true;
  component.linkSettings = {2, 64};
  EXPECT_THROW(WriteSettingsFile(component.settingsFile(), component.linkSettings), RuntimeError);
  EXPECT_EQ(fp.files.files[path], " 1 \r\n 5 \r\n");
}

TEST_F(SettingsFileTest, EveryByteValueSurvivesAWriteAndARead) {
  for (int value = 0; value <= 255; ++value) {
    component.linkSettings = {static_cast<std::uint8_t>(value),
                              static_cast<std::uint8_t>(255 - value)};
    WriteSettingsFile(component.settingsFile(), component.linkSettings);
    component.linkSettings = {};
    ReadSettingsFile(component.settingsFile(), component.linkSettings);
    ASSERT_EQ(component.linkSettings.port, value);
    ASSERT_EQ(component.linkSettings.contrast, 255 - value);
  }
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

}  // namespace
}  // namespace marqel::settings
