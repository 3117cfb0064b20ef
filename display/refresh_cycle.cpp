#include "display/refresh_cycle.h"

namespace marqel {

void RefreshTick(Component&) {}  // PLACEHOLDER: replaced by the refresh cycle

}  // namespace marqel
