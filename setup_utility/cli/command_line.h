// Confix without a window: one verb per call, on the same entry model as the windows.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace confix {


// Runs the verb in `args` (the program name left out); returns the exit status.
// `inf_dir` is where device information files are looked for.
int RunCommandLine(const std::vector<std::string>& args, const std::string& inf_dir,
                   std::ostream& out, std::ostream& err);

}  // namespace confix
