#pragma once
#include <string_view>

namespace marqel {

class Component;

// Line 4 while the player is paused; sent as it stands, never upper-cased.
inline constexpr std::u16string_view kPauseBanner = u"         [ Pause ]         ";

// One tick of the refresh timer: poll the player and redraw what changed. Resume next
// throughout: it never raises and never stops early.
void RefreshTick(Component& component);

}  // namespace marqel
