// The main of the window tests: GoogleTest inside a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "screenshot.h"

int main(int argc, char** argv) {
  ui_qt::UseOffscreenPlatform();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
