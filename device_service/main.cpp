// oposd: the local device service. Gives any program that can open a WebSocket the OPOS
// control objects (JSON-RPC 2.0 at /ws), pushes their events as they happen, and serves a
// page where a technician sees and tries every device.
#include <signal.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "access_policy.h"
#include "device_host.h"
#include "log.h"
#include "platform/registry.h"
#include "platform/release.h"
#include "server.h"
#include "socket_activation.h"
#include "token_file.h"

namespace {

constexpr unsigned short kDefaultPort = 8799;

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: oposd [--port N] [--listen ADDRESS]... [--registry FILE]\n"
               "             [--token-file FILE] [--allow-origin ORIGIN]...\n"
               "       oposd --page-url [--port N] [--token-file FILE]\n"
               "Serves the OPOS devices of the registry store over HTTP and WebSocket.\n"
               "  --port N               port (default %u; 0 picks a free one)\n"
               "  --listen ADDRESS       address to listen on, repeatable (default 127.0.0.1 "
               "and ::1)\n"
               "  --registry FILE        registry store (default $OPOS_REGISTRY, else %s)\n"
               "  --token-file FILE      the clients' token (default %s);\n"
               "                         created with a new random token when missing\n"
               "  --allow-origin ORIGIN  a web page origin that may connect, e.g.\n"
               "                         https://till.example.com (repeatable)\n"
               "  --page-url             print the page's address with the token and exit\n"
               "  --help, --version\n"
               "JSON-RPC 2.0 at ws://127.0.0.1:PORT/ws?token=TOKEN; the page at /, the "
               "JavaScript client at /opos.js.\n"
               "SIGTERM or SIGINT release and close every device and stop the service.\n"
               "Started by a systemd socket unit (LISTEN_FDS), it serves the sockets it was\n"
               "given and ignores --port and --listen.\n",
               kDefaultPort, platform::registry::DefaultDatabasePath().c_str(),
               oposd::DefaultTokenFile().c_str());
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "oposd: %s\n", message.c_str());
  PrintUsage(stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string registry_file, token_file = oposd::DefaultTokenFile();
  std::vector<std::string> listen, origins;
  unsigned long port = kDefaultPort;
  bool page_url = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("oposd %s\n", platform::kReleaseVersion);
      return 0;
    } else if (arg == "--port") {
      char* end = nullptr;
      if (!value(text) || text.empty()) return UsageError("--port needs a number");
      port = std::strtoul(text.c_str(), &end, 10);
      if (*end || port > 65535) return UsageError("--port takes 0 to 65535");
    } else if (arg == "--listen") {
      if (!value(text)) return UsageError("--listen needs an address");
      listen.push_back(text);
    } else if (arg == "--registry") {
      if (!value(registry_file)) return UsageError("--registry needs a file");
    } else if (arg == "--token-file") {
      if (!value(token_file)) return UsageError("--token-file needs a file");
    } else if (arg == "--allow-origin") {
      if (!value(text) || text.empty()) return UsageError("--allow-origin needs an origin");
      while (!text.empty() && text.back() == '/') text.pop_back();
      origins.push_back(text);
    } else if (arg == "--page-url") {
      page_url = true;
    } else {
      return UsageError("unknown argument " + arg);
    }
  }
  if (listen.empty()) listen = {"127.0.0.1", "::1"};

  std::string token, error;
  if (!oposd::LoadOrCreateToken(token_file, token, error)) {
    std::fprintf(stderr, "oposd: %s\n", error.c_str());
    return 1;
  }
  if (page_url) {
    // The token goes in the fragment, which a browser never sends to a server.
    std::printf("http://127.0.0.1:%lu/#token=%s\n", port, token.c_str());
    return 0;
  }
  if (!registry_file.empty()) platform::registry::UseDatabase(registry_file);
  signal(SIGPIPE, SIG_IGN);

  oposd::DeviceHost host;
  oposd::AccessPolicy policy(token, origins);
  oposd::SessionRegistry sessions;  // outlives `io`, whose queued handlers may hold sessions
  boost::asio::io_context io;
  oposd::Server server(io, host, policy, sessions);
  // Started by its socket unit, the service serves the sockets it was given instead.
  const std::vector<int> inherited = oposd::InheritedListeningSockets();
  const bool serving = inherited.empty()
                           ? server.Listen(listen, static_cast<unsigned short>(port))
                           : server.Adopt(inherited);
  if (!serving) {
    oposd::LogLine("no address to listen on");
    return 1;
  }
  policy.SetOwnOrigins(server.Origins());
  oposd::LogLine("registry " + platform::registry::CurrentDatabasePath() + ", token file " +
                 token_file);

  boost::asio::signal_set signals(io, SIGTERM, SIGINT);
  boost::asio::steady_timer grace(io);
  signals.async_wait([&](const boost::system::error_code& ec, int signal_number) {
    if (ec) return;
    oposd::LogLine(std::string("stopping on ") + (signal_number == SIGTERM ? "SIGTERM" : "SIGINT"));
    server.Stop();
    // Clients get a moment to take the close; then the devices are released regardless.
    grace.expires_after(std::chrono::seconds(2));
    grace.async_wait([&](const boost::system::error_code&) { io.stop(); });
  });
  io.run();
  const size_t running = host.Running();
  host.StopAll();
  oposd::LogLine("stopped; " + std::to_string(running) + " open device(s) released and closed");
  return 0;
}
