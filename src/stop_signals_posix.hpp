#pragma once

/// Whether `signal` is one that `hold_stop_signals` holds.
bool holds_stop_signal(int signal);
