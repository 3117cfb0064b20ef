#include "linux/module/module_server.h"

#include <memory>

#include "linux/module/module_platform.h"
#include "linux/system/session.h"

namespace marqel::module {

ServerModule& TheServerModule() {
  static ServerModule server([]() -> std::unique_ptr<com::ComponentPlatform> {
    return std::make_unique<ModulePlatform>(system::CurrentSession(),
                                            [] { TheServerModule().dropComponent(); });
  });
  return server;
}

}  // namespace marqel::module
