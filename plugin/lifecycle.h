#pragma once
// Where the host enters the component: the start-up routine and the three operations of the
// plug-in interface, as the class Tolvane forwards them.
#include <memory>
#include <string>

namespace marqel {

class Component;
class HostLink;

// "Pellucor v.<major>.<minor> by Tolvane (<web address>)", from the version record.
std::u16string PluginDescription();

// Runs once, before the host receives its first object: port 1, the plug-in directory (ending in
// the platform's separator), the settings file (or its notice), then Form1 and with it the link
// start-up. No error handler: an error passes to whatever created the object.
void Main(Component& component);

// Keeps the host object as HostLink for the life of the component and hands it the description.
// No error handler.
void Initialize(Component& component, std::shared_ptr<HostLink> wrapper);

// Shows Form2 modally and returns when it is closed; ticks go on meanwhile. No error handler.
void Configure(Component& component);

// Blanks the display (both controllers started again), closes the port, unloads Form1 (stopping
// the timer) and Form2. Resume next: every step is tried, and nothing reaches the caller.
void Quit(Component& component);

}  // namespace marqel
