// Imprex: the command line when a command is given, otherwise the window (the setup
// utility starts it without arguments).
#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "command_line.h"
#include "logo_window.h"

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (imprex::IsCommand(arguments)) {
    QCoreApplication app(argc, argv);  // no display needed
    QTextStream out(stdout), err(stderr);
    return imprex::RunCommand(arguments, out, err);
  }
  QApplication app(argc, argv);
  imprex::LogoWindow window;
  if (!arguments.isEmpty()) window.OpenPicture(arguments.first());
  window.show();
  return app.exec();
}
