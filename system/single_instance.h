// One copy of the program at a time: the named objects that tell a copy another one is loading or
// running, and the request a second copy sends the first before it leaves.
#pragma once

namespace pellanor::system {

inline constexpr char kLoadingMutexSuffix[] = "App_SingleInstance_PellanorLoading";
inline constexpr char kRunningMutexSuffix[] = "App_SingleInstance_PellanorApp";
inline constexpr char kShowMainWindowMessageSuffix[] = "App_ShowMainWindowMsg";

// True when another copy is loading or running. The first copy creates the loading object and
// holds it for the rest of its life; the running object is only looked for.
bool anotherInstanceRuns();

// Asks every window of this user to show the main window (the first copy's main window answers).
void broadcastShowMainWindow();

}  // namespace pellanor::system
