#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "audio/context.hpp"
#include "call_record.hpp"
#include "fake_control.hpp"
#include "loader_spy.hpp"

inline const std::string fake_openal_path = FAKE_OPENAL_PATH;

/// "ok", or the error's debug form: what a test compares a result by.
template <class T>
std::string outcome(const AudioResult<T>& result) {
  return result ? std::string("ok") : result.error().debug();
}

/// A test against the fake OpenAL library, loaded in-process by its path. Each test starts from
/// the fake's defaults (OpenAL Soft's extensions, one device "Fake Device", version 1.1).
class FakeAudioTest : public ::testing::Test {
 protected:
  FakeAudioTest() : fake_(fake_openal_path) { loader_spy::clear_events(); }

  /// Loads the fake; the test fails at once if it does not load.
  AudioLibrary load() {
    auto library = load_audio_library(fake_names_, loader_spy::loader());
    if (!library) throw std::runtime_error("the fake did not load: " + library.error().debug());
    return *library;
  }
  /// A context on the fake, started afresh with `config` on top of its defaults.
  AudioContext fresh_context(const std::string& config) {
    fake_.reset();
    fake_.configure(config);
    return make_context(load());
  }
  static AudioContext make_context(const AudioLibrary& library) {
    auto device = open_device(library);
    if (!device) throw std::runtime_error("no device: " + device.error().debug());
    auto created = create_context(*device);
    if (!created) throw std::runtime_error("no context: " + created.error().debug());
    return *created;
  }

  /// The whole record from `first` on.
  Lines record_since(std::size_t first) const {
    const Lines all = fake_.calls();
    return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
  }
  std::size_t mark() const { return fake_.calls().size(); }

  FakeOpenAl fake_;
  const std::array<std::string_view, 1> fake_names_{fake_openal_path};
};
