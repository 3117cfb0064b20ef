#pragma once

namespace marqel {

class Component;

// The load step of the link window: (re)open the port, start both controllers, send the contrast
// and start the refresh timer. On failure: one message box with the error and the port number,
// and the port closed; the timer stays off.
void RunLinkStartup(Component& component);

// What the refresh timer runs: the link started again first if its device was lost, then the
// refresh cycle; what the tick queued goes to the device at its end. Nothing raised inside a tick
// may reach the message loop.
void OnTimer1Tick(Component& component) noexcept;

}  // namespace marqel
