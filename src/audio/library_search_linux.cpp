// Where the audio library is looked for on Linux: where its loader looks. dlopen searches
// LD_LIBRARY_PATH, the program's run path and the system's folders for a bare name, never the
// current folder.

#include "audio/loader_posix.hpp"

namespace {

constexpr LibraryFolder loader_search[]{{.variable = "", .folder = ""}};

}  // namespace

// A framework's name is a relative path, which dlopen would look for in the current folder, and
// Linux has no framework folders: such a name is looked for nowhere.
const LibrarySearch library_search{.bare_names = loader_search, .frameworks = {}};
