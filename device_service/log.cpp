#include "log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace oposd {

void LogLine(std::string_view line) {
  static std::mutex mutex;
  std::string text = "oposd: ";
  for (char c : line) text += (c == '\n' || c == '\r') ? ' ' : c;  // one event, one line
  text += '\n';
  std::lock_guard lock(mutex);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace oposd
