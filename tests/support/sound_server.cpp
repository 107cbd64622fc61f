#include "support/sound_server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ranges>
#include <stdexcept>
#include <string_view>

namespace {

std::string runtime_dir(const TempDir& dir) { return dir.file("runtime"); }

/// Whether a server answers on the socket at `path`.
bool accepts(const std::string& path) {
  const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool answered = connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(client);
  return answered;
}

/// Whether `process` has ended. It is left to be waited for when the server is stopped.
bool ended(pid_t process) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
}

/// Ends `process` with `signal` and waits for it, with SIGKILL if it takes longer than `patience`.
void stop(pid_t process, int signal, std::chrono::milliseconds patience) {
  ::kill(process, signal);
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (waitpid(process, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(process, SIGKILL);
      waitpid(process, nullptr, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::string server_name(ServerKind kind) { return kind == ServerKind::PulseAudio ? "PulseAudio" : "PipeWire"; }

SoundServer::SoundServer(ServerKind kind) {
  const std::string runtime = runtime_dir(dir_);
  const std::string fifo = dir_.file("sink.fifo");
  // PipeWire's PulseAudio service makes its socket's folder only if no client made it first.
  for (const std::string& folder :
       {runtime, runtime + "/pulse", dir_.file("home"), dir_.file("config"), dir_.file("state")}) {
    if (mkdir(folder.c_str(), 0700) != 0) throw std::runtime_error("cannot make " + folder);
  }
  if (mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + fifo);
  // The client side of libpulse must not start a server of its own once this one is gone.
  write_file(dir_.file("client.conf"), "autospawn = no\n");
  // Opened for reading and writing, so that it never blocks and never reads an end of file while
  // the server is away: the reader stops when told to.
  sink_ = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  if (sink_ < 0) throw std::runtime_error("cannot open " + fifo);
  reader_ = std::thread([this] { read_sink(); });

  try {
    if (kind == ServerKind::PulseAudio) {
      start_pulseaudio(fifo);
    } else {
      start_pipewire(fifo);
    }
    // A client that comes before the sink is linked as the default waits for it inside OpenAL
    // Soft, for a minute.
    wait_until(
        [&] {
          const ProgramRun info = run_program({"/usr/bin/pactl", "info"}, client_env());
          return info.out.contains("\nDefault Sink: capture\n");
        },
        "its sink");
  } catch (...) {
    shut_down();
    throw;
  }
}

void SoundServer::start_pulseaudio(const std::string& fifo) {
  processes_.push_back(start({"/usr/bin/pulseaudio", "-n",  // none of the system's default modules
                              "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1", "-L",
                              "module-native-protocol-unix auth-anonymous=1", "-L",
                              "module-pipe-sink sink_name=capture file=" + fifo +
                                  " format=s16le rate=44100 channels=1 use_system_clock_for_timing=yes"}));
}

void SoundServer::start_pipewire(const std::string& fifo) {
  // The server's configuration and WirePlumber's scripts are in tests/support, the first with the
  // sink's FIFO to fill in.
  const std::string support = HANOI_SOURCE_DIR "/tests/support/";
  std::ifstream template_file(support + "pipewire.conf");
  if (!template_file) throw std::runtime_error("cannot read " + support + "pipewire.conf");
  std::string config{std::istreambuf_iterator<char>(template_file), {}};
  constexpr std::string_view sink_placeholder = "@SINK_FIFO@";
  const std::size_t sink_at = config.find(sink_placeholder);
  if (sink_at == std::string::npos) throw std::runtime_error(support + "pipewire.conf names no sink FIFO");
  write_file(dir_.file("pipewire.conf"), config.replace(sink_at, sink_placeholder.size(), fifo));
  std::filesystem::copy(support + "wireplumber", dir_.file("config/wireplumber"),
                        std::filesystem::copy_options::recursive);
  processes_.push_back(start({"/usr/bin/pipewire", "-c", dir_.file("pipewire.conf")}));
  wait_until([&] { return accepts(runtime_dir(dir_) + "/pipewire-0"); }, "PipeWire's socket");
  processes_.push_back(start({"/usr/bin/wireplumber"}));
}

pid_t SoundServer::start(const std::vector<std::string>& argv) {
  const int log = open(dir_.file("server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  std::vector<std::string> env = client_env();
  env.insert(env.end(), {"XDG_CONFIG_HOME=" + dir_.file("config"), "XDG_STATE_HOME=" + dir_.file("state"),
                         "DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"});
  const pid_t process = start_program(argv, env, log, log);
  close(log);
  return process;
}

template <class Ready>
void SoundServer::wait_until(Ready ready, const std::string& what) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);  // each takes under a second
  while (!ready()) {
    if (std::ranges::any_of(processes_, ended) || std::chrono::steady_clock::now() > deadline) {
      const auto log = read_lines(dir_.file("server.log"));
      throw std::runtime_error("the sound server did not bring up " + what + ": " +
                               (log.empty() ? "no log" : log.back()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

SoundServer::~SoundServer() { shut_down(); }

void SoundServer::stop_processes(int signal) {
  for (const pid_t process : std::views::reverse(processes_))
    stop(process, signal, std::chrono::seconds(5));  // ends in milliseconds
  processes_.clear();
}

void SoundServer::shut_down() {
  stop_processes(SIGTERM);
  stopping_ = true;
  reader_.join();
  close(sink_);
}

std::vector<std::string> SoundServer::client_env() const {
  return {"XDG_RUNTIME_DIR=" + runtime_dir(dir_),
          "HOME=" + dir_.file("home"),
          "PULSE_CLIENTCONFIG=" + dir_.file("client.conf"),
          "PULSE_SERVER",
          "ALSOFT_DRIVERS=pulse",
          "ALSOFT_CONF",
          "LD_LIBRARY_PATH"};
}

void SoundServer::kill() { stop_processes(SIGKILL); }

wav::Signal SoundServer::recording() const {
  const std::lock_guard lock(mutex_);
  return wav::decode_pcm16(played_, sample_rate, 1);
}

void SoundServer::read_sink() {
  std::array<std::byte, 65536> chunk{};
  pollfd sink{sink_, POLLIN, 0};
  while (!stopping_) {
    if (poll(&sink, 1, 50) <= 0) continue;
    const ssize_t got = read(sink_, chunk.data(), chunk.size());
    if (got <= 0) continue;
    const std::lock_guard lock(mutex_);
    played_.insert(played_.end(), chunk.begin(), chunk.begin() + got);
  }
}
