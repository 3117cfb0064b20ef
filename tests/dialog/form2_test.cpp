// The configuration dialog's model on the recording fakes: what each handler puts on the line
// and what it does to LinkSettings, DisplayMemory and the settings file.
#include "settings/form2.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "linux/platform/settings_files_posix.h"
#include "plugin/component.h"
#include "plugin/lifecycle.h"
#include "settings/settings_file.h"
#include "tests/fakes/fake_platform.h"

namespace marqel::settings {
namespace {

using platform::MessageIcon;

class Form2Test : public ::testing::Test {
 protected:
  Form2Test() { Start(fp.platform()); }

  void Start(const platform::Platform& platform) {
    component = std::make_unique<Component>(platform);
    component->pluginDirectory = u"/opt/marqel/plugins/";
  }
  // The link as start-up leaves it: port open on `port`, contrast sent, timer running.
  void StartLink(std::uint8_t port, std::uint8_t contrast) {
    component->linkSettings = {port, contrast};
    component->loadForm1();
    ASSERT_TRUE(component->MSComm1().portOpen());
    fp.recorder.clear();
  }
  std::string Line() const { return fp.recorder.describe(); }
  std::string File() { return fp.files.files[path]; }

  const std::u16string path = u"/opt/marqel/plugins/gen_marqel.ini";
  fake::FakePlatform fp;
  std::unique_ptr<Component> component;
};

TEST_F(Form2Test, LoadingShowsTheSavedValuesAndPreviewsTheSavedContrastOnce) {
  StartLink(3, 64);
  Form2& form = component->form2();

  EXPECT_EQ(form.selectedCOM(), 3);
  EXPECT_EQ(form.contrastPosition(), 64);
  EXPECT_EQ(form.lblContrast(), u"64");
  EXPECT_EQ(form.pendingPort(), 3);
  EXPECT_EQ(form.pendingContrast(), 64);
  EXPECT_EQ(Line(), "C0") << "the one contrast byte, no wait after it";
}

TEST_F(Form2Test, LoadingWithContrastZeroLeavesTheBarAndSendsNothing) {
  StartLink(1, 0);
  Form2& form = component->form2();
  EXPECT_EQ(form.contrastPosition(), 0);
  EXPECT_EQ(form.lblContrast(), u"0");
  EXPECT_EQ(form.selectedCOM(), 1);
  EXPECT_EQ(Line(), "");
}

TEST_F(Form2Test, HandEditedValuesOutsideTheControlsStayWithinThem) {
  struct Case {
    std::uint8_t port;
    std::uint8_t contrast;
    int selected;
    int position;
    std::u16string label;
    std::string line;
    int pendingPort;
    int pendingContrast;
  };
  const std::vector<Case> cases = {
      {7, 200, 0, 127, u"127", "FF", 7, 127},
      {0, 128, 0, 127, u"127", "FF", 0, 127},
      {4, 255, 4, 127, u"127", "FF", 4, 127},
      {255, 127, 0, 127, u"127", "FF", 255, 127},
  };
  for (const auto& c : cases) {
    fake::FakePlatform world;
    Component fresh(world.platform());
    fresh.loadForm1();
    fresh.linkSettings = {c.port, c.contrast};  // as a hand-edited file left them
    world.recorder.clear();

    Form2& form = fresh.form2();

    EXPECT_EQ(form.selectedCOM(), c.selected) << int{c.port};
    EXPECT_EQ(form.contrastPosition(), c.position) << int{c.contrast};
    EXPECT_EQ(form.lblContrast(), c.label) << int{c.contrast};
    EXPECT_EQ(form.pendingPort(), c.pendingPort);
    EXPECT_EQ(form.pendingContrast(), c.pendingContrast);
    EXPECT_EQ(world.recorder.describe(), c.line) << int{c.contrast};
  }
}

TEST_F(Form2Test, SetAndSaveWithAPortWithoutButtonSavesThePendingValuesAsTheyStand) {
  fp.ports.present.insert(7);
  StartLink(1, 0);
  component->linkSettings = {7, 200};
  Form2& form = component->form2();
  fp.recorder.clear();

  form.SetSave_Click();

  EXPECT_EQ(Line(), "close port=7 open(7) FF drain wait(2)");
  EXPECT_EQ(File(), " 7 \r\n 127 \r\n");
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

TEST_F(Form2Test, APreviewThenExitPutsTheSavedContrastBackAndChangesNothing) {
  StartLink(1, 0);
  Form2& form = component->form2();

  form.setContrastPosition(100);
  EXPECT_EQ(form.lblContrast(), u"100");
  EXPECT_EQ(form.pendingContrast(), 100);
  EXPECT_EQ(Line(), "E4");

  form.Exit_Click();

  EXPECT_EQ(Line(), "E4 80");
  EXPECT_FALSE(component->form2Loaded());
  EXPECT_EQ(fp.dialogs.closedByComponent, 1);
  EXPECT_EQ(component->linkSettings.port, 1);
  EXPECT_EQ(component->linkSettings.contrast, 0);
  EXPECT_EQ(fp.files.writes, 0);
}

TEST_F(Form2Test, OnlyAMoveToAnotherPositionIsAChange) {
  StartLink(1, 10);
  Form2& form = component->form2();
  fp.recorder.clear();

  form.setContrastPosition(10);
  EXPECT_EQ(Line(), "");
  form.setContrastPosition(0);
  form.setContrastPosition(127);
  EXPECT_EQ(Line(), "80 FF");
  EXPECT_THROW(form.setContrastPosition(128), RuntimeError);
  EXPECT_THROW(form.setContrastPosition(-1), RuntimeError);
  EXPECT_EQ(form.contrastPosition(), 127);
  EXPECT_EQ(Line(), "80 FF");
}

TEST_F(Form2Test, ChoosingAPortTouchesNothingUntilSetAndSave) {
  StartLink(1, 0);
  Form2& form = component->form2();

  form.COM_Click(2);
  EXPECT_EQ(form.selectedCOM(), 2);
  EXPECT_EQ(form.pendingPort(), 2);
  EXPECT_THROW(form.COM_Click(5), RuntimeError);
  EXPECT_THROW(form.COM_Click(0), RuntimeError);
  EXPECT_EQ(form.selectedCOM(), 2);
  form.Exit_Click();

  EXPECT_EQ(Line(), "80") << "no close, no port change, no open";
  EXPECT_EQ(component->linkSettings.port, 1);
  EXPECT_TRUE(component->MSComm1().portOpen());
}

TEST_F(Form2Test, SetAndSaveAppliesTheNewPortAndContrastAndSavesThem) {
  StartLink(1, 0);
  component->displayMemory.lastBar = 13;
  Form2& form = component->form2();
  form.COM_Click(4);
  form.setContrastPosition(30);
  fp.recorder.clear();

  form.SetSave_Click();

  EXPECT_EQ(Line(), "close port=4 open(4) 9E drain wait(2)");
  EXPECT_EQ(component->linkSettings.port, 4);
  EXPECT_EQ(component->linkSettings.contrast, 30);
  EXPECT_EQ(component->displayMemory.lastState, 42);
  EXPECT_EQ(component->displayMemory.lastArtist, u"ALL YOUR BASE");
  EXPECT_EQ(component->displayMemory.lastTitle, u"ARE BELONG TO US");
  EXPECT_EQ(component->displayMemory.lastBar, 13) << "left alone";
  EXPECT_EQ(File(), "\x20\x34\x20\x0D\x0A\x20\x33\x30\x20\x0D\x0A");
  EXPECT_TRUE(component->form2Loaded()) << "the dialog stays open";
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

TEST_F(Form2Test, SetAndSaveOnAPortAnotherProgramHoldsReportsItAndLeavesThePortClosed) {
  StartLink(1, 0);
  fp.files.files[path] = " 1 \r\n 0 \r\n";
  fp.ports.heldByOthers.insert(2);
  Form2& form = component->form2();
  form.COM_Click(2);
  form.setContrastPosition(64);
  fp.recorder.clear();

  form.SetSave_Click();

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].text,
            u"Error: COM2: port in use by another program\r\nSettings: Port[2] Contrast[64]");
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, MessageIcon::Warning);
  EXPECT_THAT(Line(), ::testing::StartsWith("close port=2 msgbox"));
  EXPECT_EQ(component->linkSettings.port, 2) << "LinkSettings hold the new values all the same";
  EXPECT_EQ(component->linkSettings.contrast, 64);
  EXPECT_EQ(File(), " 1 \r\n 0 \r\n") << "not written";
  EXPECT_FALSE(component->MSComm1().portOpen());
  EXPECT_EQ(component->displayMemory.lastState, 0) << "the steps after the failing one do not run";
  EXPECT_TRUE(component->form2Loaded());
}

TEST_F(Form2Test, AFailedSaveClosesThePortOnlyAfterTheBoxIsDismissed) {
  StartLink(1, 0);
  fp.files.files[path] = " 1 \r\n 0 \r\n";
  fp.files.readOnly = true;
  Form2& form = component->form2();
  form.COM_Click(2);
  form.setContrastPosition(64);
  fp.recorder.clear();
  bool openWhileShown = false;
  fp.messageBoxes.whileOpen = [&] { openWhileShown = component->MSComm1().portOpen(); };

  form.SetSave_Click();

  EXPECT_TRUE(openWhileShown);
  EXPECT_EQ(Line(),
            "close port=2 open(2) C0 drain wait(2) "
            "msgbox[Error: Path/File access error\r\nSettings: Port[2] Contrast[64]] close");
  EXPECT_EQ(component->displayMemory.lastState, 42);
  EXPECT_EQ(component->displayMemory.lastArtist, u"ALL YOUR BASE");
  EXPECT_EQ(File(), " 1 \r\n 0 \r\n");
}

// (A folder closed to new files does not stop a privileged user, as the tests may run; a missing
// one stops everybody.)
TEST_F(Form2Test, SetAndSaveIntoAMissingDirectoryOnTheRealFileSystem) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "marqel-dialog-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  platform::linux_::PosixSettingsFiles files;
  Start(fp.platform({.files = &files}));
  component->pluginDirectory = dir / "gone/";
  StartLink(1, 0);
  Form2& form = component->form2();
  form.COM_Click(3);
  form.setContrastPosition(64);
  fp.recorder.clear();

  form.SetSave_Click();

  const std::string expected = "Error: Path not found: the directory " + dir.string() +
                               "/gone does not exist\r\nSettings: Port[3] Contrast[64]";
  EXPECT_EQ(Line(), "close port=3 open(3) C0 drain wait(2) msgbox[" + expected + "] close");
  EXPECT_EQ(component->displayMemory.lastState, 42);
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

TEST_F(Form2Test, APreviewOrExitOnAClosedPortIsDroppedSilently) {
  StartLink(1, 20);
  component->MSComm1().close();  // the refresh cycle closes it while the player is stopped
  Form2& form = component->form2();
  EXPECT_EQ(form.contrastPosition(), 20) << "the load step's preview failed without a trace";

  EXPECT_NO_THROW(form.setContrastPosition(50));
  EXPECT_EQ(form.lblContrast(), u"50");
  EXPECT_EQ(form.pendingContrast(), 50);
  EXPECT_NO_THROW(form.Exit_Click());

  EXPECT_FALSE(component->form2Loaded()) << "Exit closes the dialog all the same";
  EXPECT_EQ(Line(), "close");
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

TEST_F(Form2Test, ClosingTheWindowRunsNoHandler) {
  StartLink(1, 0);
  Form2& form = component->form2();
  form.setContrastPosition(90);
  form.close();
  EXPECT_EQ(Line(), "DA") << "the preview stays on the LCD";
  EXPECT_FALSE(component->form2Loaded());
  EXPECT_EQ(component->linkSettings.contrast, 0);
}

TEST_F(Form2Test, EachOpeningStartsAgainFromTheSavedSettings) {
  StartLink(1, 0);
  Form2& first = component->form2();
  first.COM_Click(3);
  first.setContrastPosition(33);
  first.SetSave_Click();
  first.COM_Click(4);
  first.setContrastPosition(99);
  first.Exit_Click();

  Form2& second = component->form2();
  EXPECT_EQ(second.selectedCOM(), 3);
  EXPECT_EQ(second.contrastPosition(), 33);
  EXPECT_EQ(second.pendingPort(), 3);
}

TEST_F(Form2Test, AnUnloadedDialogRunsNoMoreHandlers) {
  StartLink(1, 0);
  const std::shared_ptr<Form2> held = component->form2().weak_from_this().lock();
  component->unloadForm2();
  fp.recorder.clear();

  held->setContrastPosition(40);
  held->COM_Click(2);
  held->SetSave_Click();
  held->Exit_Click();
  held->close();

  EXPECT_TRUE(held->unloaded());
  EXPECT_EQ(Line(), "");
  EXPECT_EQ(fp.files.writes, 0);
  EXPECT_EQ(fp.dialogs.closedByComponent, 1);
}

TEST_F(Form2Test, QuitWhileTheFailureBoxIsOpenDoesNotStartTheLinkAgain) {
  StartLink(1, 0);
  fp.ports.heldByOthers.insert(2);
  Form2& form = component->form2();
  form.COM_Click(2);
  fp.messageBoxes.whileOpen = [&] {
    component->unloadForm1();
    component->unloadForm2();
  };

  form.SetSave_Click();

  EXPECT_FALSE(component->form1Loaded()) << "the handler did not reach for the port again";
  EXPECT_FALSE(component->form2Loaded());
}

TEST_F(Form2Test, TheHostDroppingTheComponentWhileTheBoxIsOpenIsSafe) {
  StartLink(1, 0);
  fp.ports.heldByOthers.insert(2);
  Form2& form = component->form2();
  form.COM_Click(2);
  fp.messageBoxes.whileOpen = [&] { component.reset(); };

  form.SetSave_Click();  // under the address sanitizer a touch of the dead component would show

  EXPECT_EQ(component, nullptr);
}

// Opening the dialog with Form1 unloaded starts the link from the contrast preview; its failure
// box keeps the message loop running, and the host's Quit may unload the new dialog meanwhile.
TEST_F(Form2Test, QuitWhileTheDialogIsLoadingFailsConfigureWithoutShowingIt) {
  component->linkSettings = {1, 64};
  fp.ports.heldByOthers.insert(1);
  fp.messageBoxes.whileOpen = [&] {
    fp.messageBoxes.whileOpen = nullptr;
    Quit(*component);
  };

  try {
    Configure(*component);  // under the address sanitizer a touch of the dropped dialog would show
    FAIL() << "Configure must report the dialog it could not open";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kObjectNotSet);
  }
  EXPECT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.dialogs.shown, 0);
  EXPECT_FALSE(component->form2Loaded());
  EXPECT_FALSE(component->form1Loaded()) << "the link is not started again behind Quit";
}

TEST_F(Form2Test, QuitFromInsideTheModalLoopLeavesTheViewAValidDialog) {
  StartLink(1, 0);
  fp.dialogs.whileOpen = [&](platform::ConfigurationDialog& form) {
    const auto keepAlive = form.keepAlive();  // what every modal view holds
    form.setContrastPosition(5);
    component->unloadForm2();
    form.Exit_Click();  // a click still queued in the view: ignored
    EXPECT_TRUE(form.unloaded());
  };
  component->platform().dialogs.showModal(component->form2());
  EXPECT_EQ(Line(), "85");
  EXPECT_EQ(fp.dialogs.closedByComponent, 1);
}

class RecordingObserver : public platform::DialogObserver {
 public:
  void controlsChanged(const platform::ConfigurationDialog& form) override {
    seen.push_back({form.selectedCOM(), form.contrastPosition(), form.lblContrast()});
  }
  struct Seen {
    int selected;
    int position;
    std::u16string label;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> seen;
};

TEST_F(Form2Test, TheViewHearsEveryChangeOfItsControls) {
  StartLink(1, 0);
  Form2& form = component->form2();
  RecordingObserver observer;
  form.setObserver(&observer);

  form.setContrastPosition(7);
  form.COM_Click(3);
  EXPECT_EQ(observer.seen.back(), (RecordingObserver::Seen{3, 7, u"7"}));
}

}  // namespace
}  // namespace marqel::settings
