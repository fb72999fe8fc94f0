// Sockets handed over by systemd's socket activation: the unit's socket listens before the
// service starts, and the first connection starts it with the listening sockets from fd 3.
#pragma once

#include <vector>

namespace oposd {

// The listening sockets passed to this process (LISTEN_PID is ours, LISTEN_FDS counts them
// from fd 3), marked close-on-exec; empty when the service was started by hand. The
// variables are removed so nothing this process starts takes them for its own.
std::vector<int> InheritedListeningSockets();

}  // namespace oposd
