// Test support for the programs with windows: pictures of windows under
// out/screenshots/ of the source tree, and a QApplication on the offscreen platform.
#pragma once

#include <QString>
#include <QWidget>

namespace ui_qt {

// Saves the window as out/screenshots/<name>.png below `repository_root`; false when the
// picture could not be written.
bool SaveScreenshot(QWidget& window, const QString& repository_root, const QString& name);

// Selects the offscreen platform, with one 1280 x 800 screen, unless another platform was
// asked for; call before the QApplication is made.
void UseOffscreenPlatform();

}  // namespace ui_qt
