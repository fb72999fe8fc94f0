// DemoTill: the sample till. Without arguments it opens its main window; with --run it
// runs steps without windows and prints what happens.
//
//   DemoTill [--registry FILE]
//   DemoTill --run STEP[,STEP...] [--device NAME] [--logo FILE] [--wait MS] [--registry FILE]
//   DemoTill --help | --version
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "headless_run.h"
#include "main_window.h"
#include "platform/registry.h"
#include "platform/release.h"
#include "platform/ui_provider.h"
#include "ui_qt/program_dir.h"
#include "ui_qt/qt_queue_pump.h"
#include "ui_qt/qt_ui_provider.h"

namespace {

// Asked for, the usage goes to standard output; after a mistake, to standard error.
int Usage(FILE* to = stderr) {
  std::fprintf(to,
               "usage: DemoTill [--registry FILE]\n"
               "       DemoTill --run STEP[,STEP...] [--device NAME] [--logo FILE] [--wait MS]"
               " [--registry FILE]\n"
               "       DemoTill --help | --version\n"
               "STEP: 1 transaction print, 2 bitmap, 3 barcode, 4 asynchronous print, 5 drawer\n");
  return 2;
}

bool ParseSteps(const std::string& text, std::vector<int>& steps) {
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t comma = text.find(',', pos);
    const std::string part =
        text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    if (part.size() != 1 || part[0] < '1' || part[0] > '0' + demotill::kStepCount) return false;
    steps.push_back(part[0] - '0');
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return !steps.empty();
}

}  // namespace

int main(int argc, char** argv) {
  demotill::HeadlessOptions headless;
  headless.device_name = demotill::kDeviceName;
  headless.logo_path = ui_qt::ProgramDataFile("Logo.bmp");
  bool run_headless = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--registry" && has_value) {
      platform::registry::UseDatabase(argv[++i]);
    } else if (arg == "--run" && has_value) {
      run_headless = true;
      if (!ParseSteps(argv[++i], headless.steps)) return Usage();
    } else if (arg == "--device" && has_value) {
      headless.device_name = argv[++i];
    } else if (arg == "--logo" && has_value) {
      headless.logo_path = argv[++i];
    } else if (arg == "--wait" && has_value) {
      headless.wait_ms = std::atoi(argv[++i]);
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("DemoTill %s\n", platform::kReleaseVersion);
      return 0;
    } else {
      return Usage();
    }
  }
  if (run_headless) return demotill::RunHeadless(headless, stdout);

  QApplication app(argc, argv);
  platform::ui::Install(ui_qt::MakeQtProvider());
  ui_qt::QueuePump pump;
  demotill::StepSettings settings;
  settings.logo_path = headless.logo_path;
  demotill::MainWindow window(settings);
  window.show();
  const int status = app.exec();
  platform::ui::Install(nullptr);
  return status;
}
