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

/// The sound servers desktops play through, both reached by the PulseAudio protocol: PulseAudio
/// itself, and PipeWire with its PulseAudio service and its session manager, WirePlumber.
enum class ServerKind { PulseAudio, PipeWire };

/// The name a test takes for a server kind: "PulseAudio", "PipeWire".
std::string server_name(ServerKind kind);

/// A private sound server for one test, started the way a desktop runs one: its own runtime folder
/// and native-protocol socket, with a pipe sink as its only (so default) sink. The sink plays in
/// real time by the system clock, one channel at 44100 Hz, into a FIFO, and a reader keeps
/// everything it plays, so a test hears exactly what a listener would. The server is stopped when
/// this goes.
class SoundServer {
 public:
  /// Starts the server and waits until its sink is the default one; throws std::runtime_error if
  /// it does not come up.
  explicit SoundServer(ServerKind kind);
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
  void start_pulseaudio(const std::string& fifo);
  void start_pipewire(const std::string& fifo);
  /// Starts one of the server's processes with the server's environment.
  pid_t start(const std::vector<std::string>& argv);
  /// Waits until `ready` holds, or fails naming `what` and the server's log.
  template <class Ready>
  void wait_until(Ready ready, const std::string& what) const;
  void read_sink();
  /// Ends the server's processes with `signal`, latest first, and waits for them.
  void stop_processes(int signal);
  /// Stops the server's processes, then the reader.
  void shut_down();

  TempDir dir_;
  std::vector<pid_t> processes_;  // in start order; stopped latest first
  int sink_ = -1;                 // the reader's end of the FIFO
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::byte> played_;  // guarded by mutex_
  std::thread reader_;
};
