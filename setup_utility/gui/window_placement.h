// Every window of the utility opens centred on the screen.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace confix {

inline void CentreOnScreen(QWidget* window) {
  window->adjustSize();
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  window->move(area.center() - window->rect().center());
}

}  // namespace confix
