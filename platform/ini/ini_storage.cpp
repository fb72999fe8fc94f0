#include "ini_storage.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace platform::ini {

namespace {

bool ReadAll(int fd, std::string& out) {
  char buffer[8192];
  while (true) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    out.append(buffer, static_cast<size_t>(got));
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Opens and locks the file that is currently at `path`. A writer that replaced the file
// while we waited for the lock leaves us holding the old one, so check and retry.
int OpenLocked(const std::string& path, bool create, struct stat& held) {
  while (true) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) return -1;
    int rc;
    while ((rc = flock(fd, LOCK_EX)) < 0 && errno == EINTR) {
    }
    struct stat now;
    if (rc == 0 && fstat(fd, &held) == 0 && stat(path.c_str(), &now) == 0 &&
        held.st_ino == now.st_ino && held.st_dev == now.st_dev) {
      return fd;
    }
    close(fd);
    if (rc != 0) return -1;
  }
}

bool ReplaceFile(const std::string& path, const std::string& text, mode_t mode) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && fchmod(fd, mode & 07777) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info;
  std::string text;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAll(fd, text);
  close(fd);
  if (!ok) return std::nullopt;
  return text;
}

bool UpdateFile(const std::string& path, bool create,
                const std::function<void(IniDocument&)>& change) {
  // Replace the file a symbolic link points at, not the link.
  std::error_code ec;
  std::string target = path;
  if (std::filesystem::is_symlink(path, ec)) {
    target = std::filesystem::weakly_canonical(path, ec).string();
    if (ec) return false;
  }
  struct stat held;
  int fd = OpenLocked(target, create, held);
  if (fd < 0) return !create && errno == ENOENT;  // nothing to delete from a missing file
  std::string old_text;
  bool ok = S_ISREG(held.st_mode) && ReadAll(fd, old_text);
  if (ok) {
    IniDocument document(old_text);
    change(document);
    std::string new_text = document.Text();
    if (new_text != old_text) ok = ReplaceFile(target, new_text, held.st_mode);
  }
  close(fd);  // releases the lock after the rename
  return ok;
}

}  // namespace platform::ini
