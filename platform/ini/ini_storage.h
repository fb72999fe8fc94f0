// Reading an initialisation file whole, and replacing it atomically under a lock.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ini_document.h"

namespace platform::ini {

// The file's contents; nullopt when it is missing, unreadable or not a regular file.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Runs `change` on the current contents and, when they changed, writes them to a temporary
// file beside the file and renames it over the file. Writers exclude each other (threads
// and processes) with flock on the file. A missing file is created only when `create` is
// set. False on any file system error; the file is then untouched.
bool UpdateFile(const std::string& path, bool create,
                const std::function<void(IniDocument&)>& change);

}  // namespace platform::ini
