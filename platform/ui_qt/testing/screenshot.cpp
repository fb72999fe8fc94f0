#include "screenshot.h"

#include <QDir>
#include <QPixmap>
#include <cstdlib>

namespace ui_qt {

bool SaveScreenshot(QWidget& window, const QString& repository_root, const QString& name) {
  const QString dir = repository_root + "/out/screenshots";
  if (!QDir().mkpath(dir)) return false;
  return window.grab().save(dir + "/" + name + ".png");
}

void UseOffscreenPlatform() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }

}  // namespace ui_qt
