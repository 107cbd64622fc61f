#pragma once

#include <string>
#include <vector>

/// The environment (see `run_program`) in which the program finds the fake OpenAL library in
/// `library_dir` through LD_LIBRARY_PATH, exactly where it would find the real one, configured with
/// `config` and appending its record to the file `log`.
inline std::vector<std::string> fake_openal_env(const std::string& config, const std::string& log,
                                                const std::string& library_dir = FAKE_OPENAL_DIR) {
  return {"LD_LIBRARY_PATH=" + library_dir, "FAKE_OPENAL_CONFIG=" + config, "FAKE_OPENAL_LOG=" + log};
}
