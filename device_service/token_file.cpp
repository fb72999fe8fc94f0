#include "token_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace oposd {

std::string DefaultTokenFile() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state) return std::string(state) + "/opos/oposd.token";
  return "/var/lib/opos/oposd.token";
}

namespace {

bool RandomToken(std::string& token) {
  unsigned char bytes[32];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  token.clear();
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return true;
}

bool ReadToken(int fd, std::string& token) {
  char buffer[4096];
  std::string text;
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > 4096) return false;
  }
  const auto first = text.find_first_not_of(" \t\r\n");
  const auto last = text.find_last_not_of(" \t\r\n");
  token = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  return true;
}

}  // namespace

bool LoadOrCreateToken(const std::string& path, std::string& token, std::string& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder)) {
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
      }
      chmod(folder.c_str(), 0700);
    }
    if (!RandomToken(token)) {
      error = "no random bytes for a token";
      return false;
    }
    // O_EXCL: when another start created the file meanwhile, its token is the one to use.
    int out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out >= 0) {
      const std::string line = token + "\n";
      const bool written = write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size());
      close(out);
      if (!written) {
        unlink(path.c_str());
        error = "cannot write " + path;
        return false;
      }
      return true;
    }
    if (errno != EEXIST) {
      error = "cannot create " + path + ": " + std::strerror(errno);
      return false;
    }
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool read_ok = ReadToken(fd, token);
  close(fd);
  if (!read_ok || token.empty() || token.find_first_of(" \t\r\n") != std::string::npos) {
    error = path + " holds no token (one line without blanks, at most 4096 bytes)";
    return false;
  }
  return true;
}

bool TokensEqual(std::string_view a, std::string_view b) {
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace oposd
