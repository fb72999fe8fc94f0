// Whether a window suits the screens the programs run on: a till's 1280 x 800 screen and
// a 1024 x 768 one. The window is laid out at the size it gets on each screen, pictured
// (out/screenshots/<name>-<width>x<height>.png) and checked for what a person would see
// as broken: a window larger than the screen, cut-off texts, controls outside the window.
#pragma once

#include <gtest/gtest.h>

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace ui_qt {

inline constexpr QSize kTillScreen{1280, 800};
inline constexpr QSize kSmallScreen{1024, 768};

// The part of a screen a window's own area may take: the screen less a 40 px panel and
// the window frame (a 30 px title bar, 4 px borders).
QSize UsableArea(QSize screen);

// Lays `window` out at its present size bounded by the usable area of `screen` and lists
// what does not fit, each as one readable line; empty when all is well.
QStringList FitProblems(QWidget& window, QSize screen);

// FitProblems at both screen sizes, with a picture of each; the window gets its size back
// afterwards. Use as EXPECT_TRUE(FitsScreens(window, REPOSITORY_ROOT, "name")).
::testing::AssertionResult FitsScreens(QWidget& window, const QString& repository_root,
                                       const QString& name);

}  // namespace ui_qt
