#include "support/sound_server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>

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

SoundServer::SoundServer() {
  const std::string runtime = runtime_dir(dir_);
  const std::string fifo = dir_.file("sink.fifo");
  if (mkdir(runtime.c_str(), 0700) != 0 || mkdir(dir_.file("home").c_str(), 0700) != 0 ||
      mkfifo(fifo.c_str(), 0600) != 0) {
    throw std::runtime_error("cannot prepare the sound server's folders in " + dir_.path());
  }
  // The client side of libpulse must not start a server of its own once this one is gone.
  write_file(dir_.file("client.conf"), "autospawn = no\n");
  // Opened for reading and writing, so that it never blocks and never reads an end of file while
  // the server is away: the reader stops when told to.
  sink_ = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  if (sink_ < 0) throw std::runtime_error("cannot open " + fifo);
  reader_ = std::thread([this] { read_sink(); });

  const std::vector<std::string> argv{
      "/usr/bin/pulseaudio",
      "-n",  // none of the system's default modules
      "--daemonize=no",
      "--use-pid-file=no",
      "--exit-idle-time=-1",
      "--log-target=file:" + dir_.file("server.log"),
      "-L",
      "module-native-protocol-unix auth-anonymous=1",
      "-L",
      "module-pipe-sink file=" + fifo + " format=s16le rate=44100 channels=1 use_system_clock_for_timing=yes"};
  const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
  server_ = start_program(argv, {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + dir_.file("home")}, quiet, quiet);
  close(quiet);
  const std::string socket = runtime + "/pulse/native";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!accepts(socket)) {
    if (std::chrono::steady_clock::now() > deadline || waitpid(server_, nullptr, WNOHANG) != 0) {
      const auto log = read_lines(dir_.file("server.log"));
      throw std::runtime_error("the sound server did not start: " + (log.empty() ? "no log" : log.back()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

SoundServer::~SoundServer() {
  if (server_ > 0) stop(server_, SIGTERM, std::chrono::seconds(5));
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

void SoundServer::kill() {
  stop(server_, SIGKILL, std::chrono::seconds(5));
  server_ = -1;
}

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
