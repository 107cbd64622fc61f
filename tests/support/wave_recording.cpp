#include "support/wave_recording.hpp"

#include <gtest/gtest.h>
#include <pthread.h>  // and with it <sched.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>

WaveRecording::WaveRecording() {
  const ProgramRun written = run_program({"/bin/bash", "-c", R"(source "$0" && write_wave_config "$1" "$2")",
                                          std::string(HANOI_SOURCE_DIR) + "/scripts/lib/common.sh", config_, file_});
  if (written.status != 0) throw std::runtime_error("write_wave_config failed: " + written.err);
  for (const std::string& line : read_lines(config_)) {
    if (line.starts_with("period_size=")) mixing_.period_s = std::stod(line.substr(12)) / 44100.0;
  }
  std::ofstream(config_, std::ios::app)
      << "[general]\nfrequency=44100\nsample-type=int16\nchannels=stereo\nhrtf=false\n";
  const sched_param real_time{.sched_priority = sched_get_priority_min(SCHED_RR)};
  static_cast<void>(pthread_setschedparam(pthread_self(), SCHED_RR, &real_time));  // refused where not allowed
}

void WaveRecording::expect_finished() const {
  std::ifstream file(file_, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const auto size_at = [&](std::size_t offset) {
    std::uint32_t size = 0;
    for (std::size_t i = 0; i < 4; ++i) size |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
    return std::size_t{size};
  };
  const std::size_t data = bytes.find("data");
  ASSERT_TRUE(bytes.starts_with("RIFF") && data != std::string::npos && data + 8 <= bytes.size());
  EXPECT_EQ(size_at(4), bytes.size() - 8) << "RIFF size";
  EXPECT_EQ(size_at(data + 4), bytes.size() - data - 8) << "data size";
}

void WaveRecording::expect_stopped_after(std::size_t notes_before, double stopped_s) const {
  expect_finished();
  const auto recorded = signal();
  ASSERT_TRUE(recorded) << recorded.error();
  const auto notes = wav::find_notes(*recorded);
  ASSERT_GE(notes.size(), notes_before);
  ASSERT_LE(notes.size(), notes_before + 1);
  if (notes.size() == notes_before + 1) {
    EXPECT_LT(notes.back().length_s, stopped_s);
  }
}

OutputWatch signal_on_output(const std::string& text, int signal) {
  return [text, signal, sent = false](pid_t program, const std::string& out) mutable {
    if (!sent && out.contains(text)) sent = kill(program, signal) == 0;
    return true;
  };
}
