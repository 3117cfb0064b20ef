#pragma once
// The host's hold on the plug-in: loads the module, creates a Tolvane through its class object,
// hands it the host object (Initialize), and forwards configure and quit requests.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "linux/host/com_client.h"
#include "linux/host/host_object.h"
#include "linux/players/player_host.h"

namespace marqel::platform {
class EventLoop;
}

namespace marqel::host {

class PluginHost final : public players::PlayerHost {
 public:
  // `log` gets every failing status. With `quitTwice`, quitting calls the
  // plug-in's Quit a second time.
  PluginHost(std::ostream& log, bool quitTwice);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the module, creates the object (the plug-in's start-up runs here) and initialises it.
  // Raises HostError when the module cannot be loaded or the object cannot be created; a failing
  // Initialize is only reported.
  void start(const std::filesystem::path& module, HostObject::WindowSource windows,
             HostObject::DescriptionSink onDescription);

  // The plug-in's Configure, between beforeDialog and afterDialog.
  void configure() override;
  // Calls Quit (once, or twice) the first time only, and marks the session finished.
  void quit() override;
  bool finished() const { return finished_; }

  // Releases the object and the host object and unloads the module if it agrees. Only outside
  // every call into the plug-in (the module's code must not be running).
  void stop();

  // What the host does around the plug-in's dialog (a text form takes the terminal meanwhile).
  std::function<void()> beforeDialog;
  std::function<void()> afterDialog;

 private:
  void callQuit();
  void report(const char* call, com::HRESULT status);

  std::ostream& log_;
  bool quitTwice_;
  bool finished_ = false;
  std::unique_ptr<InprocServer> server_;
  ComPtr<com::IBrelWinAmpGenPlugin> plugin_;
  ComPtr<HostObject> hostObject_;
};

// The module to load: `plugin` when given, otherwise the one registered for Tolvane in the user's
// registry, otherwise the one installed with the program. Raises HostError when there is none.
std::filesystem::path ModuleToLoad(const std::optional<std::filesystem::path>& plugin);

}  // namespace marqel::host
