#pragma once

namespace marqel {

class Component;

// One tick of the refresh timer: poll the player and redraw what changed. Resume next
// throughout: it never raises and never stops early.
void RefreshTick(Component& component);

}  // namespace marqel
