// Flashwise: writes a firmware file into a printer's flash memory through the upload
// control. Its settings are kept in flashwise.ini beside the program.
//
//   Flashwise [--registry FILE]
//   Flashwise --help | --version
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "flashwise_form.h"
#include "platform/registry.h"
#include "platform/release.h"
#include "platform/ui_provider.h"
#include "ui_qt/program_dir.h"
#include "ui_qt/qt_ui_provider.h"
#include "upload_request.h"

int main(int argc, char** argv) {
  // Answered before Qt is started: they need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "usage: Flashwise [--registry FILE]    the window: writes a firmware file into a\n"
          "                                      printer's flash memory\n"
          "       Flashwise --help | --version\n"
          "The settings are kept in flashwise.ini beside the program. The registry store is\n"
          "FILE, else $OPOS_REGISTRY, else the machine's.\n");
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Flashwise %s\n", platform::kReleaseVersion);
      return 0;
    }
  }
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int registry_at = static_cast<int>(args.indexOf("--registry"));
  if (registry_at > 0 && registry_at + 1 < args.size())
    platform::registry::UseDatabase(args[registry_at + 1].toStdString());
  platform::ui::Install(ui_qt::MakeQtProvider());

  std::string error;
  platform::automation::DispatchPtr control = flashwise::CreateUploadControl(error);
  if (!control)
    std::fprintf(stderr, "Flashwise: upload control not available: %s\n", error.c_str());

  int status = 0;
  {
    flashwise::FlashwiseForm form(ui_qt::ProgramDir() + "/" + flashwise::kSettingsFileName,
                                  control);
    form.show();
    status = app.exec();
  }
  platform::ui::Install(nullptr);
  return status;
}
