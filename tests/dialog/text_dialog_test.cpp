// The dialog as a text form: choices read through the message loop from a pipe.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "common/runtime_error.h"
#include "linux/posix/posix_handles.h"
#include "linux/views/text/text_dialog_views.h"
#include "plugin/component.h"
#include "settings/form2.h"
#include "tests/fakes/fake_platform.h"

namespace marqel::platform::linux_ {
namespace {

using ::testing::HasSubstr;

class TextDialogTest : public ::testing::Test {
 protected:
  TextDialogTest() {
    component = std::make_unique<Component>(fp.platform({.timers = &loop, .dialogs = &views}));
    component->pluginDirectory = u"/opt/marqel/plugins/";
    component->loadForm1();  // port 1 open, Timer1 ticking on the loop
    fp.recorder.clear();
  }
  ~TextDialogTest() override { component.reset(); }

  void Type(const std::string& text) {
    ASSERT_EQ(::write(input.writeEnd.get(), text.data(), text.size()),
              static_cast<ssize_t>(text.size()));
  }
  void EndOfInput() { input.writeEnd.reset(); }
  void Configure() { component->platform().dialogs.showModal(component->form2()); }
  std::string Shown() {
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(output.readEnd.get(), buffer, sizeof buffer)) > 0) {
      all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
  }

  posix::Pipe input = posix::OpenPipe(O_CLOEXEC);
  posix::Pipe output = posix::OpenPipe(O_CLOEXEC | O_NONBLOCK);
  fake::FakePlatform fp;
  EventLoop loop{true};
  TextDialogViews views{loop, input.readEnd.get(), output.writeEnd.get()};
  std::unique_ptr<Component> component;
};

TEST_F(TextDialogTest, ChoicesDriveTheDialogLikeClicks) {
  Type("2\nc 100\n+\n--\ns\nx\n");
  Configure();

  EXPECT_EQ(fp.recorder.describe(), "E4 E5 E4 E3 close port=2 open(2) E3 drain wait(2) E3");
  EXPECT_EQ(component->linkSettings.port, 2);
  EXPECT_EQ(component->linkSettings.contrast, 99);
  EXPECT_EQ(fp.files.files[u"/opt/marqel/plugins/gen_marqel.ini"], " 2 \r\n 99 \r\n");
  EXPECT_FALSE(component->form2Loaded());
  const std::string shown = Shown();
  EXPECT_THAT(shown, HasSubstr("Marqel configuration"));
  EXPECT_THAT(shown, HasSubstr(" ( ) COM1 (*) COM2 ( ) COM3 ( ) COM4"));
  EXPECT_THAT(shown, HasSubstr("] 99\n"));
  EXPECT_THAT(shown, HasSubstr("[s] Set & Save   [x] Exit"));
}

TEST_F(TextDialogTest, BadChoicesAreExplainedAndChangeNothing) {
  Type("9\nc 200\nc x\nhello\n-\nq\n");
  Configure();

  EXPECT_EQ(fp.recorder.describe(), "") << "a step below 0 is no move";
  const std::string shown = Shown();
  EXPECT_THAT(shown, HasSubstr("Unknown choice \"9\"."));
  EXPECT_THAT(shown, HasSubstr("Unknown choice \"hello\"."));
  EXPECT_THAT(shown, HasSubstr("The contrast must be a number from 0 to 127."));
  EXPECT_FALSE(component->form2Loaded());
}

TEST_F(TextDialogTest, TheEndOfTheInputClosesTheFormWithoutAHandler) {
  Type("c 50");  // no line end: still taken before the form closes
  EndOfInput();
  Configure();

  EXPECT_EQ(fp.recorder.describe(), "B2") << "no Exit byte";
  EXPECT_FALSE(component->form2Loaded());
  EXPECT_EQ(component->linkSettings.contrast, 0);
}

TEST_F(TextDialogTest, TicksGoOnWhileTheFormWaits) {
  loop.callAfter(std::chrono::milliseconds(2600), [&] { Type("x\n"); });
  const auto before = loop.timerTicks();
  Configure();
  EXPECT_GE(loop.timerTicks() - before, 5u);
  EXPECT_FALSE(component->form2Loaded());
}

TEST_F(TextDialogTest, TheComponentCanCloseTheFormFromInsideItsLoop) {
  loop.callAfter(std::chrono::milliseconds(700), [&] { component->unloadForm2(); });
  Configure();  // returns: the form was closed without a handler
  Type("x\n");  // too late: nobody reads it for this dialog
  EXPECT_EQ(fp.recorder.describe(), "");
  EXPECT_FALSE(component->form2Loaded());
}

TEST_F(TextDialogTest, ASecondModalShowIsRefused) {
  loop.callAfter(std::chrono::milliseconds(100), [&] {
    EXPECT_THROW(views.showModal(component->form2()), marqel::RuntimeError);
    Type("q\n");
  });
  Configure();
  EXPECT_FALSE(component->form2Loaded());
}

}  // namespace
}  // namespace marqel::platform::linux_
