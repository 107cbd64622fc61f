#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <vector>

#include "support/heard_moves.hpp"
#include "support/run_program.hpp"
#include "wav_file.hpp"

/// A watch (see `run_program`) that sends `signal` to the program once `text` is in its output.
OutputWatch signal_on_output(const std::string& text, int signal);

/// A recording of a run by OpenAL Soft's wave writer into a file of its own folder, configured as
/// the scripts record (write_wave_config, scripts/lib/common.sh), with the settings that a
/// developer's own OpenAL configuration could change pinned after it, among them the one format
/// the reader takes: 16-bit stereo at 44100 Hz. Then the calling thread and the programs it starts run
/// at real-time priority where allowed (root, RLIMIT_RTPRIO), so a busy machine cannot hold them up.
class WaveRecording {
 public:
  WaveRecording();

  /// The environment in which OpenAL Soft records to the file and nowhere else.
  std::vector<std::string> env() const { return {"ALSOFT_CONF=" + config_, "ALSOFT_DRIVERS"}; }
  /// The mixing periods of the configuration.
  const Mixing& mixing() const { return mixing_; }
  /// The recording as the wave writer left it.
  std::expected<wav::Signal, std::string> signal() const { return wav::read_wav(file_); }
  /// Checks that OpenAL Soft finished the recording: the sizes in its RIFF and data headers, which
  /// it writes when the device is closed, match the file's length.
  void expect_finished() const;
  /// Checks the recording of a run stopped as a note began: finished, with the `notes_before` notes
  /// before it, then at most what sounded of the stopped note, heard for less than `stopped_s`.
  void expect_stopped_after(std::size_t notes_before, double stopped_s) const;

 private:
  TempDir dir_;
  std::string config_ = dir_.file("alsoft.conf");
  std::string file_ = dir_.file("run.wav");
  Mixing mixing_;
};
