#pragma once

#include <map>
#include <string>
#include <vector>

#include "audio/library.hpp"

/// A library loader for tests that watches and steers what the audio layer loads. It opens through
/// the dynamic loader, records every library opened or closed, and can redirect a name to another
/// file, so that the real order of file names is tried without the system's OpenAL.
namespace loader_spy {

/// The loader to hand to load_audio_library.
const LibraryLoader& loader();

/// "open NAME" for each library opened and "close NAME" for each one closed, in order, by the name
/// it was opened with.
std::vector<std::string> events();
void clear_events();

/// From now on, opening a name in `targets` opens the mapped path instead, and any other name fails
/// as a missing file. An empty map ends the redirection.
void redirect(std::map<std::string, std::string> targets);

/// From now on, opening `name` fails without an error, like a loader that reports none. An empty
/// name ends this.
void fail_open_silently(std::string name);

/// From now on (or, given false, no longer), closing fails without an error and closes nothing.
void fail_close(bool fail);

}  // namespace loader_spy
