// The component's start, its three host calls and its stop, against recording fakes.
#include "plugin/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/runtime_error.h"
#include "plugin/component.h"
#include "plugin/host_link.h"
#include "settings/form2.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/scripted_player.h"
#include "tests/support/startup_bytes.h"

namespace marqel {
namespace {

using fake::LinkEvent;
using Kind = LinkEvent::Kind;
using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;

const Bytes& kBothControllers = test::kBothControllersStartup;

Bytes StartUpWithContrast(std::uint8_t contrastByte) {
  Bytes bytes = kBothControllers;
  bytes.push_back(contrastByte);
  return bytes;
}

class Lifecycle : public ::testing::Test {
 protected:
  fake::FakePlatform fp;
  Component component{fp.platform()};
  const std::u16string settingsPath = u"/opt/marqel/plugins/gen_marqel.ini";
};

TEST_F(Lifecycle, MainWithoutSettingsFileShowsTheNoticeThenStartsTheLinkOnPort1) {
  component.linkSettings.port = 3;  // Main sets the port to 1 before looking for the file
  Main(component);

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, platform::MessageIcon::Information);
  // The notice comes before anything is done to the port.
  EXPECT_EQ(fp.recorder.events().front().kind, Kind::MessageBox) << fp.recorder.describe();
  EXPECT_EQ(component.pluginDirectory, u"/opt/marqel/plugins/");
  EXPECT_EQ(component.linkSettings.port, 1);
  EXPECT_EQ(fp.recorder.bytes(), StartUpWithContrast(0x80));
  EXPECT_TRUE(component.MSComm1().portOpen());
  EXPECT_TRUE(fp.timers.anyEnabled());
  EXPECT_EQ(fp.timers.lastInterval(), 500);
  EXPECT_FALSE(fp.files.files.count(settingsPath)) << "the file is not created";
}

TEST_F(Lifecycle, MainStartsTheLinkWithTheSavedPortAndContrast) {
  fp.files.files[settingsPath] = " 2 \r\n 64 \r\n";
  Main(component);
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
  EXPECT_EQ(fp.recorder.events()[1], LinkEvent(Kind::Open, 2)) << fp.recorder.describe();
  EXPECT_EQ(fp.recorder.bytes(), StartUpWithContrast(0xC0));
}

TEST_F(Lifecycle, MainEndsThePluginDirectoryInOneSeparator) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"/opt/marqel/plugins", u"/opt/marqel/plugins/"},
      {u"/opt/marqel/plugins/", u"/opt/marqel/plugins/"},
      {u"/", u"/"},
      {u"", u"/"},
  };
  for (const auto& [reported, kept] : cases) {
    fake::FakePlatform platform;
    platform.module.directory = reported;
    Component fresh(platform.platform());
    Main(fresh);
    EXPECT_EQ(fresh.pluginDirectory, kept);
  }
}

TEST_F(Lifecycle, StartUpOnABusyPortShowsOneBoxSendsNothingAndQuitStaysSilent) {
  fp.ports.heldByOthers = {1};
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  Main(component);

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].text,
            u"Error: COM1: port in use by another program\r\nPort = 1");
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, platform::MessageIcon::None);
  EXPECT_TRUE(fp.recorder.bytes().empty());
  EXPECT_FALSE(fp.timers.anyEnabled()) << "nothing is drawn until the plug-in is loaded again";

  Quit(component);
  EXPECT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_TRUE(fp.recorder.bytes().empty());
  EXPECT_FALSE(component.form1Loaded());
  EXPECT_EQ(fp.timers.liveTimers(), 0u);
}

// The failure box keeps the message loop running, so the host's Quit can arrive while it is open.
TEST_F(Lifecycle, QuitWhileTheStartUpFailureBoxIsOpenLeavesTheLinkDown) {
  fp.ports.heldByOthers = {1};
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  fp.messageBoxes.whileOpen = [&] {
    fp.messageBoxes.whileOpen = nullptr;
    Quit(component);
  };
  Main(component);

  EXPECT_EQ(fp.messageBoxes.shown.size(), 1u) << "the link is not started again behind Quit";
  EXPECT_FALSE(component.form1Loaded());
  EXPECT_EQ(fp.timers.liveTimers(), 0u);
  EXPECT_TRUE(fp.recorder.bytes().empty());
}

TEST_F(Lifecycle, DelayFailureInsideStartUpReachesTheHandler) {
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  fp.delay.failing = true;
  Main(component);

  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  EXPECT_EQ(fp.messageBoxes.shown[0].text, u"Error: Error in loading DLL\r\nPort = 1");
  // Controller 1's first byte went out before its first wait failed; nothing after it.
  EXPECT_THAT(fp.recorder.bytes(), ElementsAre(0x03));
  EXPECT_FALSE(component.MSComm1().portOpen()) << "the handler closes the port";
  EXPECT_FALSE(fp.timers.anyEnabled());
}

TEST_F(Lifecycle, QuitBlanksTheDisplayClosesThePortAndUnloadsBothWindows) {
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  Main(component);
  component.form2();
  const std::size_t mark = fp.recorder.mark();
  Quit(component);

  EXPECT_EQ(fp.recorder.bytesSince(mark), kBothControllers);
  EXPECT_EQ(fp.recorder.events().back(), LinkEvent(Kind::Close)) << fp.recorder.describe(mark);
  EXPECT_FALSE(component.form1Loaded());
  EXPECT_FALSE(component.form2Loaded());
  EXPECT_EQ(fp.timers.liveTimers(), 0u);
}

TEST_F(Lifecycle, QuitTriesEveryStepWhenTheWaitFails) {
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  Main(component);
  fp.delay.failing = true;
  const std::size_t mark = fp.recorder.mark();
  Quit(component);  // must not raise

  // Each controller start-up ends at its first wait; the port is still closed after them.
  EXPECT_THAT(fp.recorder.bytesSince(mark), ElementsAre(0x03, 0x43));
  EXPECT_EQ(fp.recorder.count(Kind::Close, mark), 1u);
  EXPECT_FALSE(component.form1Loaded());
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

TEST_F(Lifecycle, SecondQuitLoadsForm1AgainAndStartsTheLinkBeforeClosing) {
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  Main(component);
  Quit(component);
  const std::size_t mark = fp.recorder.mark();
  Quit(component);

  // The first touch of the port control loads Form1: a new control, opened, the whole link
  // start-up with its contrast; then the rest of Quit; then the port closed.
  EXPECT_EQ(fp.serialPorts.created, 2);
  const auto& events = fp.recorder.events();
  EXPECT_EQ(events[mark], LinkEvent(Kind::SetPort, 1)) << fp.recorder.describe(mark);
  EXPECT_EQ(events[mark + 1], LinkEvent(Kind::Open, 1));
  // The nested start-up leaves the nibble flag set, and Quit's controller 1 reads it only after
  // each high nibble: its four 8-bit steps go out as pairs.
  Bytes expected = StartUpWithContrast(0x80);
  expected.insert(expected.end(), {0x03, 0x00, 0x03, 0x00, 0x03, 0x00, 0x02, 0x00});
  expected.insert(expected.end(), test::kControllerOneStartup.begin() + 4,
                  test::kControllerOneStartup.end());
  expected.insert(expected.end(), test::kControllerTwoStartup.begin(),
                  test::kControllerTwoStartup.end());
  EXPECT_EQ(fp.recorder.bytesSince(mark), expected);
  EXPECT_EQ(events.back(), LinkEvent(Kind::Close));
  EXPECT_EQ(fp.recorder.count(Kind::Open, mark), 1u);
  EXPECT_FALSE(component.form1Loaded());
  EXPECT_EQ(fp.timers.liveTimers(), 0u);
  EXPECT_TRUE(fp.messageBoxes.shown.empty());
}

TEST_F(Lifecycle, InitializeKeepsTheHostAndHandsItTheDescription) {
  auto host = std::make_shared<harness::ScriptedHost>();
  Initialize(component, host);
  EXPECT_EQ(host->descriptions,
            std::vector<std::u16string>{u"Pellucor v.1.1 by Tolvane (https://marqel.example.org)"});
  EXPECT_EQ(component.hostLink, host);
  Quit(component);
  EXPECT_EQ(component.hostLink, host) << "Quit keeps the host";
}

TEST_F(Lifecycle, InitializePassesTheHostsFailureOn) {
  auto host = std::make_shared<harness::ScriptedHost>();
  host->descriptionStatus = harness::ScriptedHost::kFailStatus;
  EXPECT_THROW(Initialize(component, host), RuntimeError);
  EXPECT_EQ(component.hostLink, host);

  // A host call that a failing status from the host escapes returns that very status.
  const auto accessDenied = static_cast<std::int32_t>(0x80070005u);
  host->descriptionStatus = accessDenied;
  EXPECT_EQ(StatusOfHostCall([&] { Initialize(component, host); }), accessDenied);
  const auto wrongThread = static_cast<std::int32_t>(0x8001010Eu);
  host->failAlways(wrongThread);
  EXPECT_EQ(StatusOfHostCall([&] { HostPlayerWindow(component); }), wrongThread);

  try {
    Initialize(component, nullptr);
    ADD_FAILURE() << "no host, yet no error";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kObjectNotSet);
  }
}

TEST_F(Lifecycle, ConfigureShowsTheDialogModallyWhileTicksGoOn) {
  fp.files.files[settingsPath] = " 1 \r\n 0 \r\n";
  Main(component);
  auto host = std::make_shared<harness::ScriptedHost>();
  host->window = fp.windows.create({"1. Artist - Title - Winamp", 1, 100, 0, {}});
  Initialize(component, host);

  std::size_t bytesWhileOpen = 0;
  fp.dialogs.whileOpen = [&](platform::ConfigurationDialog&) {
    const std::size_t mark = fp.recorder.mark();
    EXPECT_TRUE(component.form2Loaded());
    fp.timers.tick();  // the player plays: the tick draws while the dialog is open
    bytesWhileOpen = fp.recorder.bytesSince(mark).size();
  };
  Configure(component);
  EXPECT_EQ(fp.dialogs.shown, 1);
  EXPECT_GT(bytesWhileOpen, 0u);
  EXPECT_FALSE(component.form2Loaded()) << "a closed dialog is unloaded; the next one is new";
}

}  // namespace
}  // namespace marqel
