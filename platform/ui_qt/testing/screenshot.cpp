#include "screenshot.h"

#include <QDir>
#include <QPixmap>
#include <cstdlib>
#include <string>

namespace ui_qt {

bool SaveScreenshot(QWidget& window, const QString& repository_root, const QString& name) {
  const QString dir = repository_root + "/out/screenshots";
  if (!QDir().mkpath(dir)) return false;
  return window.grab().save(dir + "/" + name + ".png");
}

void UseOffscreenPlatform() {
  // The offscreen screen is a till's 1280 x 800 one, so that windows placed by their
  // screen's size open in tests as they do at the till.
  const char* chosen = getenv("QT_QPA_PLATFORM");
  if (!chosen || std::string(chosen) == "offscreen") {
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" OFFSCREEN_SCREEN_CONFIG, 1);
  }
}

}  // namespace ui_qt
