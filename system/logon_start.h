// Starting the program at logon: the scheduled task "PellanorStartup" (an autostart entry in the
// POSIX stand-in, see platform/logon_task.h) that runs the start-up executable,
// "Pellanor-startup.exe" beside the running executable when it is there, else the running
// executable itself. Both calls block while the system's tool runs; they run on the UI thread.
#pragma once

namespace pellanor::system {

// The `isStartupOnBoot` script method: whether the task exists.
bool isStartupOnBoot();

// The `setStartupOnBoot` script method. Removes the older start-up value "Pellanor" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run and the task, then, when
// `enabled`, creates the task anew and answers whether that worked. Disabling answers true.
// False when the running executable's path is unknown.
bool setStartupOnBoot(bool enabled);

}  // namespace pellanor::system
