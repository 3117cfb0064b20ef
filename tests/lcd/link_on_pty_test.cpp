// The LCD link on a real (pseudo-terminal) serial line: what the controllers' side receives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lcd/controller_startup.h"
#include "lcd/lcd_protocol.h"
#include "linux/platform/termios_serial_port.h"
#include "plugin/component.h"
#include "tests/fakes/fake_platform.h"
#include "tests/platform/pty_pair.h"
#include "tests/support/startup_bytes.h"

namespace marqel {
namespace {

using Bytes = std::vector<std::uint8_t>;

class LinkOnPty : public ::testing::Test {
 protected:
  platform::Platform withRealPort() { return fp.platform({.serialPorts = &ports}); }

  test::PtyPair line;
  platform::linux_::TermiosSerialPortFactory ports{{{1, line.slavePath()}}};
  fake::FakePlatform fp;
};

TEST_F(LinkOnPty, ControllerStartupArrivesByteForByte) {
  Component component(withRealPort());
  component.loadForm1();
  ASSERT_TRUE(component.MSComm1().portOpen()) << fp.recorder.describe();
  ASSERT_EQ(line.readExactly(105).size(), 105u);  // the link start-up

  // Sent as the end of a call from the message loop sends it.
  InitLcdController(component.lcdLink(), 1);
  component.lcdLink().sendQueued();
  const Bytes& expected = test::kControllerOneStartup;
  EXPECT_EQ(line.readExactly(52), expected);

  for (const int b : {0x00, 0x80, 0xFF}) {
    SendLineByte(component.lcdLink(), b);
  }
  component.lcdLink().sendQueued();
  EXPECT_EQ(line.readExactly(3), (Bytes{0x00, 0x80, 0xFF}));
  EXPECT_TRUE(line.readAvailable(std::chrono::milliseconds(50)).empty());
}

TEST_F(LinkOnPty, ClearsSentJustBeforeACloseStillReachTheDisplay) {
  Component component(withRealPort());
  component.loadForm1();
  ASSERT_EQ(line.readExactly(105).size(), 105u);
  SendLcdCommand(component.lcdLink(), 1, 0x01);
  SendLcdCommand(component.lcdLink(), 2, 0x01);
  component.MSComm1().close();
  EXPECT_EQ(line.readExactly(4), (Bytes{0x00, 0x01, 0x40, 0x41}));
}

TEST(LinkOnMissingPort, StartupReportsThePortAndTheNextOpenSucceedsOnceItIsBack) {
  fake::FakePlatform fp;
  const std::string path = ::testing::TempDir() + "marqel-missing-com1";
  std::remove(path.c_str());
  platform::linux_::TermiosSerialPortFactory ports{{{1, path}}};
  Component component(fp.platform({.serialPorts = &ports}));
  component.loadForm1();
  ASSERT_EQ(fp.messageBoxes.shown.size(), 1u);
  const std::u16string& text = fp.messageBoxes.shown[0].text;
  EXPECT_EQ(text.rfind(u"Error: ", 0), 0u);
  EXPECT_NE(text.find(u"no such port"), std::u16string::npos);
  EXPECT_NE(text.find(u"\r\nPort = 1"), std::u16string::npos);
  EXPECT_EQ(fp.messageBoxes.shown[0].icon, platform::MessageIcon::None);
  EXPECT_FALSE(component.MSComm1().portOpen());
  EXPECT_FALSE(fp.timers.anyEnabled());

  // The device comes back: the next open tries again and works.
  test::PtyPair line;
  ASSERT_EQ(::symlink(line.slavePath().c_str(), path.c_str()), 0);
  component.MSComm1().open();
  // No controller start-up has run yet, so only high nibbles go out.
  SendLcdCommand(component.lcdLink(), 1, 0x80);
  SetLcdContrast(component.lcdLink(), 3);
  EXPECT_EQ(line.readExactly(2), (Bytes{0x08, 0x83}));
  component.MSComm1().close();
  std::remove(path.c_str());
}

}  // namespace
}  // namespace marqel
