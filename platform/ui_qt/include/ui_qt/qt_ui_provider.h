// The user-interface provider of programs with windows: message boxes are QMessageBoxes,
// the interactive health check is a small dialog with Start and Close, the beep rings the
// window system's bell. Calls from other threads are carried to the GUI thread and wait
// for the answer there.
#pragma once

#include <memory>

#include "platform/ui_provider.h"

namespace ui_qt {

// Needs a QApplication; install it with platform::ui::Install().
std::shared_ptr<platform::ui::Provider> MakeQtProvider();

}  // namespace ui_qt
