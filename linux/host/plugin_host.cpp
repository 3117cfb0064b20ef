#include "linux/host/plugin_host.h"

#include "common/utf.h"
#include "linux/system/registry.h"
#include "plugin/com/identifiers.h"

namespace marqel::host {

PluginHost::PluginHost(std::ostream& log, bool quitTwice) : log_(log), quitTwice_(quitTwice) {}

PluginHost::~PluginHost() {
  stop();
}

void PluginHost::start(const std::filesystem::path& module, HostObject::WindowSource windows,
                       HostObject::DescriptionSink onDescription) {
  server_ = std::make_unique<InprocServer>(module);
  ComPtr<com::IClassFactory> factory;
  com::HRESULT status =
      server_->getClassObject(com::CLSID_Tolvane, com::IID_IClassFactory, factory.put());
  if (com::Failed(status)) {
    throw HostError(module.string() + ": no class object for Tolvane (status " +
                    StatusText(status) + ")");
  }
  status = factory->CreateInstance(nullptr, com::IID_IBrelWinAmpGenPlugin, plugin_.put());
  if (com::Failed(status)) {
    throw HostError("the plug-in could not be created (status " + StatusText(status) + ")");
  }
  factory.reset();
  hostObject_ = HostObject::create(std::move(windows), std::move(onDescription));
  report("Initialize", plugin_->Initialize(hostObject_.get()));
  // A quit asked for while the object was being made (a signal during a start-up message box)
  // is carried out now that there is an object to quit.
  if (finished_) callQuit();
}

void PluginHost::configure() {
  if (!plugin_ || finished_) return;
  if (beforeDialog) beforeDialog();
  report("Configure", plugin_->Configure());
  if (afterDialog) afterDialog();
}

void PluginHost::quit() {
  if (finished_) return;
  finished_ = true;
  if (plugin_) callQuit();
}

void PluginHost::callQuit() {
  report("Quit", plugin_->Quit());
  if (quitTwice_) report("Quit", plugin_->Quit());
}

void PluginHost::stop() {
  plugin_.reset();
  hostObject_.reset();
  server_.reset();
}

void PluginHost::report(const char* call, com::HRESULT status) {
  if (com::Failed(status)) {
    log_ << "marqel-host: " << call << " failed with status " << StatusText(status) << '\n'
         << std::flush;
  }
}

std::filesystem::path ModuleToLoad(const std::optional<std::filesystem::path>& plugin) {
  if (plugin) return *plugin;
  // Registration is per user and comes first; the module installed with the program serves
  // everyone who registered none.
  if (auto registered = RegisteredModule(com::CLSID_Tolvane)) return *registered;
  if (auto installed = InstalledModule()) return *installed;
  const std::string id = com::GuidText(com::CLSID_Tolvane);
  std::string where;
  try {
    where = " in " + system::Registry::defaultPath().string();
  } catch (const system::RegistryError& error) {
    where = " (" + std::string(error.what()) + ")";
  }
  throw HostError("class " + id + " is not registered" + where +
                  " (run `marqel-host register --plugin PATH`, or give --plugin PATH)");
}

}  // namespace marqel::host
