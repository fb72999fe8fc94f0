#include "service_rig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/registry.h"

extern char** environ;

namespace oposd::testing {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteEntries(const std::string& dir) {
  const std::string root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\";
  const std::string serial =
      "\"Baudrate\"=dword:00000006\n\"BitLength\"=dword:00000008\n"
      "\"HandShake\"=dword:00000000\n\"Parity\"=dword:00000000\n\"Stop\"=dword:00000001\n"
      "\"XonXoff\"=dword:00000000\n";
  const std::string entries =
      "REGEDIT4\n\n[" + root + "POSPrinter]\n\"Receipt1\"=\"ThermalS\"\n\n[" + root +
      "POSPrinter\\ThermalS]\n@=\"RecPrinter.POSPrinter.SO\"\n" + serial + "\"Port\"=\"" + dir +
      "/ttyP0\"\n\"DeviceName\"=\"Thermal42\"\n\n[" + root + "CashDrawer\\Drawer1]\n" +
      "@=\"Standard.CashDrawer.SO\"\n" + serial + "\"Port\"=\"" + dir +
      "/ttyP0\"\n\"ConnectorPinNo\"=dword:00000002\n\"OpenLevel\"=dword:00000001\n"
      "\"DeviceName\"=\"StandardS\"\n\n[" +
      root + "LineDisplay\\Display1]\n@=\"Display.LineDisplay.SO2\"\n" + serial + "\"Port\"=\"" +
      dir + "/ttyD0\"\n\"DeviceName\"=\"XV-310K\"\n";
  ASSERT_EQ(platform::registry::ImportRegedit(entries), platform::registry::kSuccess);
}

// A socket listening on a free loopback port; -1 on failure.
int ListeningLoopbackSocket(unsigned short& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

ServiceRig::ServiceRig(std::vector<std::string> extra_arguments, bool socket_activated) {
  const std::string dir = registry_.Dir();
  printer_pty_ = std::make_unique<vdev::PtyAttachment>(printer_, dir + "/ttyP0");
  display_pty_ = std::make_unique<vdev::PtyAttachment>(display_, dir + "/ttyD0");
  std::string error;
  EXPECT_TRUE(printer_pty_->Start(error)) << error;
  EXPECT_TRUE(display_pty_->Start(error)) << error;
  EXPECT_TRUE(test_support::RegisterServerLibrary(PRINTER_SO_PATH));
  EXPECT_TRUE(test_support::RegisterServerLibrary(DISPLAY_SO_PATH));
  WriteEntries(dir);

  const std::string token_file = dir + "/token";
  log_path_ = dir + "/oposd.log";
  std::vector<std::string> arguments = {OPOSD_PATH,     "--port",       "0",
                                        "--listen",     "127.0.0.1",    "--registry",
                                        registry_.DatabasePath(),       "--token-file",
                                        token_file};
  arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  int listening = -1;
  if (socket_activated) {
    listening = ListeningLoopbackSocket(activation_port_);
    EXPECT_GE(listening, 0);
    posix_spawn_file_actions_adddup2(&actions, listening, 3);
    // The shell's pid is the service's after exec, as LISTEN_PID must be.
    arguments.insert(arguments.begin(),
                     {"/bin/sh", "-c", "LISTEN_PID=$$ LISTEN_FDS=1 exec \"$0\" \"$@\""});
  }
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (listening >= 0) ::close(listening);
  EXPECT_EQ(spawned, 0);
  if (spawned != 0) pid_ = -1;

  // The service says where it listens once it is ready.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  const std::string marker = "listening on http://127.0.0.1:";
  while (port_ == 0 && pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    const std::string log = Log();
    const auto at = log.find(marker);
    if (at != std::string::npos && log.find('/', at + marker.size()) != std::string::npos)
      port_ = static_cast<unsigned short>(std::stoi(log.substr(at + marker.size())));
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(port_, 0) << Log();
  token_ = ReadFile(token_file);
  while (!token_.empty() && token_.back() == '\n') token_.pop_back();
  EXPECT_EQ(token_.size(), 64u);
  struct stat token_status {};
  EXPECT_EQ(::stat(token_file.c_str(), &token_status), 0);
  EXPECT_EQ(token_status.st_mode & 0777, 0600u);  // only the service's user reads it
}

ServiceRig::~ServiceRig() {
  if (pid_ > 0) {
    EXPECT_EQ(Terminate(), 0) << Log();
  }
  // Under the sanitizers the service reports into its log.
  const std::string log = Log();
  EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
  EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
  display_pty_->Stop();
  printer_pty_->Stop();
}

std::string ServiceRig::Log() const { return ReadFile(log_path_); }

bool ServiceRig::PrinterCommand(const std::string& line) {
  std::string reply;
  return printer_pty_->Command(line, reply);
}

int ServiceRig::Terminate() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace oposd::testing
