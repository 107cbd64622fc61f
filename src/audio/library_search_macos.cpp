// Where the audio library is looked for on macOS. Its dlopen would search the current folder for a
// bare name (after DYLD_LIBRARY_PATH) and for a framework's relative path (after
// DYLD_FRAMEWORK_PATH): each name becomes instead the absolute paths where a Mac keeps that library,
// the user's own folders first, as dyld takes them.

#include "audio/loader_posix.hpp"

namespace {

constexpr LibraryFolder library_folders[]{
    {.variable = "DYLD_LIBRARY_PATH", .folder = ""},
    {.variable = "HOME", .folder = "/lib"},                           // dyld's first fallback folder
    {.variable = "", .folder = "/opt/homebrew/opt/openal-soft/lib"},  // Homebrew's OpenAL Soft, on Apple silicon
    {.variable = "", .folder = "/usr/local/opt/openal-soft/lib"},     // and on Intel (keg-only: not linked)
    {.variable = "", .folder = "/opt/local/lib"},                     // MacPorts
    {.variable = "", .folder = "/usr/local/lib"},                     // dyld's other fallback folders
    {.variable = "", .folder = "/usr/lib"},
};

constexpr LibraryFolder framework_folders[]{
    {.variable = "DYLD_FRAMEWORK_PATH", .folder = ""},
    {.variable = "HOME", .folder = "/Library/Frameworks"},  // dyld's fallback framework folders
    {.variable = "", .folder = "/Library/Frameworks"},
    {.variable = "", .folder = "/Network/Library/Frameworks"},
    {.variable = "", .folder = "/System/Library/Frameworks"},  // the system's own OpenAL
};

}  // namespace

const LibrarySearch library_search{.bare_names = library_folders, .frameworks = framework_folders};
