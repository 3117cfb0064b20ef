#include "linux/players/mpris_module.h"
#include "linux/posix/companion_module.h"

namespace marqel::players {

MakeMprisPlayerFn LoadMprisModule(std::string& failure) {
  static std::string failed;
  static const MakeMprisPlayerFn make =
      reinterpret_cast<MakeMprisPlayerFn>(posix::LoadCompanionEntryPoint(
          MARQEL_SYSTEM_LIBRARY, "marqel-mpris.so", "MarqelMakeMprisPlayer", failed));
  failure = failed;
  return make;
}

}  // namespace marqel::players
