#pragma once
// What a player stand-in asks of the host that runs it.
namespace marqel::players {

class PlayerHost {
 public:
  // Calls the plug-in's Configure: returns once its dialog has closed (the loop runs meanwhile).
  virtual void configure() = 0;
  // Ends the session: the plug-in's Quit, then the host leaves its loop.
  virtual void quit() = 0;

 protected:
  ~PlayerHost() = default;
};

}  // namespace marqel::players
