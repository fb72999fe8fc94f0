// Confix: the setup utility's window, or one command-line verb when arguments name one.
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "frm_confix.h"
#include "platform/registry.h"
#include "platform/ui_provider.h"
#include "qt_message_provider.h"
#include "utility_dir.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "--registry") {
    platform::registry::UseDatabase(args[1]);
    args.erase(args.begin(), args.begin() + 2);
  }
  // Qt's own options (-platform, -style) begin with a dash and open the window.
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "--version" ||
                        args[0][0] != '-')) {
    return confix::RunCommandLine(args, confix::InfDirectory(), std::cout, std::cerr);
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
      !std::getenv("QT_QPA_PLATFORM")) {
    std::cerr << "Confix: no display to open the window on (set DISPLAY, or QT_QPA_PLATFORM="
                 "offscreen); Confix --help lists the verbs that run without one\n";
    return 2;
  }
  QApplication app(argc, argv);
  platform::ui::Install(std::make_shared<confix::QtMessageProvider>());
  confix::frmConfix window;
  window.show();
  return app.exec();
}
