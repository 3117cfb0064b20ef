#pragma once
// The module's one server state (the shell over the hand-declared binary interface). Its
// component is made on the current session's platform and dropped when that session ends: the
// loop and the window table it runs on go with the session.
#include "plugin/com/abi_traits.h"
#include "plugin/com/server_module.h"

namespace marqel::module {

using ServerModule = com::ServerModule<com::AbiTraits>;

ServerModule& TheServerModule();

}  // namespace marqel::module
