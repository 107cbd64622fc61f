#pragma once

/// How a run ends, as the process's exit status.
enum class ExitStatus : int {
  Complete = 0,    // every move was printed and played
  FailedNote = 2,  // a note could not be played: "Failed to play sound: " and the error's text
  Fatal = 101,     // a fatal error report on standard error
};

/// The status as the process returns it.
constexpr int exit_code(ExitStatus status) { return static_cast<int>(status); }
