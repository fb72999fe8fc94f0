// A pseudo-terminal whose slave side stays open in raw mode, so the terminal settings a host
// makes persist between its opens and the master never sees a hang-up.
#pragma once

#include <string>

#include "fd_util.h"

namespace vdev {

class PseudoTerminal {
 public:
  bool Open(std::string& error);
  void Close();
  int Master() const { return master_.Get(); }  // non-blocking
  const std::string& SlavePath() const { return slave_path_; }
  // Stops what the host writes from reaching the master, as a stopped terminal does: the
  // host's writes wait (or fail with EAGAIN) from now on, and what it wrote before stays
  // readable on the master.
  void HoldHostOutput();

 private:
  UniqueFd master_;
  UniqueFd slave_;
  std::string slave_path_;
};

// Points `link` at `target`, replacing an existing symbolic link in one step. Refuses to
// replace anything that is not a symbolic link.
bool ReplaceSymlink(const std::string& target, const std::string& link, std::string& error);

// Removes `link` when it is a symbolic link that still points at `target`.
void RemoveSymlinkIfPointsTo(const std::string& link, const std::string& target);

}  // namespace vdev
