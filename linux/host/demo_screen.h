#pragma once
// The demo's terminal screen: the player's state on the left, the LCD's glass on the right,
// the plug-in's description, its last message and the keys below. Drawn on the terminal's
// alternate screen, which is given back (with the cursor) when this goes.
#include <string>

#include "linux/players/player_stand_in.h"
#include "vlcd/display.h"

namespace marqel::host {

class DemoScreen {
 public:
  // `out` is the terminal's file descriptor.
  explicit DemoScreen(int out);
  ~DemoScreen();
  DemoScreen(const DemoScreen&) = delete;
  DemoScreen& operator=(const DemoScreen&) = delete;

  void setPlayer(const players::PlayerStatus& status) { player_ = status; }
  void setDescription(std::string text) { description_ = std::move(text); }
  void setPortLabel(std::string text) { portLabel_ = std::move(text); }
  void setKeys(std::string text) { keys_ = std::move(text); }
  // A message box of the plug-in: shown as a line until the next one.
  void setMessage(std::string text) { message_ = std::move(text); }

  void draw(const vlcd::Display& display);
  // Gives the terminal back for a while (a text form), and takes it again.
  void suspend();
  void resume();

 private:
  void write(const std::string& text);
  void enter();
  void leave();

  int out_;
  bool unicode_;
  bool suspended_ = false;
  players::PlayerStatus player_;
  std::string description_;
  std::string portLabel_;
  std::string keys_;
  std::string message_;
};

}  // namespace marqel::host
