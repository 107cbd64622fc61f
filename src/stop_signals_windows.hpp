#pragma once

#include <windows.h>

/// The handler of the console's control events that `hold_stop_signals` installs. It takes Ctrl-C,
/// Ctrl-Break and the closing of the console window as the run's stop (TRUE), the first of them
/// kept, and refuses every other event (FALSE), which the system then handles as it would without
/// it. For the closing console it never returns: the system would end the process as it did.
BOOL WINAPI take_console_event(DWORD event);
