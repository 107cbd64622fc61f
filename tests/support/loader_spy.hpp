#pragma once

#include <map>
#include <string>
#include <vector>

/// Watches the program's dynamic loading in a test binary: the binary's own dlopen and dlclose
/// stand in front of the C library's, so every library the audio layer opens or closes is seen,
/// and opening can be redirected, so the real file-name order is tried without the system's OpenAL.
namespace loader_spy {

/// "open NAME" for each successful dlopen and "close NAME" for each dlclose, in order, by the name
/// the library was opened with.
std::vector<std::string> events();
void clear_events();

/// From now on, dlopen of a name in `targets` opens the mapped path instead, and any other name
/// without a '/' fails as a missing file. An empty map ends the redirection.
void redirect(std::map<std::string, std::string> targets);

/// From now on, dlopen of `name` fails and leaves no message for dlerror, like a loader that
/// reports no error. An empty name ends this.
void fail_open_silently(std::string name);

/// From now on (or, given false, no longer), dlclose fails and closes nothing.
void fail_close(bool fail);

}  // namespace loader_spy
