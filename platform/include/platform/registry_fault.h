// Fault injection into the registry store, for tests that check a caller's changes are
// whole or not at all when the process dies or the store fails in the middle of them.
#pragma once

#include <cstdint>

namespace platform::registry {

enum class InjectedFault {
  Kill,  // the process is killed (SIGKILL), as by a power cut or kill -9
  Fail,  // the call fails with kBadDatabase
};

// The `count`th row change from now on (a key created, a value written or deleted, a key
// deleted) in this process does not happen; `fault` happens instead. 0 turns it off.
void InjectFaultAtChange(uint32_t count, InjectedFault fault);

}  // namespace platform::registry
