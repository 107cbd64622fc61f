#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.hpp"
#include "wav_file.hpp"

/// A private PulseAudio server for one test, started the way a desktop runs one: its own runtime
/// folder and native-protocol socket, with a pipe sink as its only (so default) sink. The sink
/// plays in real time by the system clock into a FIFO, and a reader keeps everything it plays, so
/// a test hears exactly what a listener would. The server is stopped when this goes.
class SoundServer {
 public:
  /// Starts the server and waits until it takes clients; throws std::runtime_error if it does not.
  SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;
  ~SoundServer();

  /// The environment in which OpenAL Soft plays through this server, and through nothing else.
  std::vector<std::string> client_env() const;

  /// Ends the server at once, as a crash would.
  void kill();

  /// What the sink has played so far: one channel at 44100 Hz.
  wav::Signal recording() const;

  static constexpr double sample_rate = 44100.0;

 private:
  void read_sink();

  TempDir dir_;
  pid_t server_ = -1;
  int sink_ = -1;  // the reader's end of the FIFO
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::byte> played_;  // guarded by mutex_
  std::thread reader_;
};
