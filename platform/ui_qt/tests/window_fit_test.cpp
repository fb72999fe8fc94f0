// The window-fit check itself: it must catch each kind of fault it is there for, and pass
// a window that is sound at both screen sizes.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "window_fit.h"

namespace ui_qt {
namespace {

// The problems that name the object `name`.
QStringList About(const QStringList& problems, const QString& name) {
  QStringList found;
  for (const QString& problem : problems) {
    if (problem.contains(" " + name + " ") || problem.contains(" " + name + "\"")) found << problem;
  }
  return found;
}

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

TEST(WindowFit, FindsCutTextsTitlesAndControlsOutsideTheWindow) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* label = Named(new QLabel("A caption much too long for its place"), "shortLabel");
  label->setFixedWidth(60);
  auto* button = Named(new QPushButton("A button with a long caption"), "shortButton");
  button->setFixedWidth(70);
  auto* frame = Named(new QGroupBox("A frame title longer than the frame"), "shortFrame");
  frame->setFixedWidth(80);
  auto* wrapped = Named(new QLabel("Words that wrap onto several lines but get the height of one"),
                        "lowLabel");
  wrapped->setWordWrap(true);
  wrapped->setFixedSize(120, 16);
  auto* fine = Named(new QLabel("Fits"), "fineLabel");
  for (QWidget* widget : std::initializer_list<QWidget*>{label, button, frame, wrapped, fine}) {
    layout->addWidget(widget);
  }
  auto* stray = Named(new QPushButton("Off", &window), "strayButton");
  window.show();
  stray->move(window.width() + 50, 10);

  const QStringList problems = FitProblems(window, kTillScreen);
  EXPECT_EQ(About(problems, "shortLabel").size(), 1) << problems.join('\n').toStdString();
  EXPECT_EQ(About(problems, "shortButton").size(), 1) << problems.join('\n').toStdString();
  EXPECT_EQ(About(problems, "shortFrame").size(), 1) << problems.join('\n').toStdString();
  EXPECT_EQ(About(problems, "lowLabel").size(), 1) << problems.join('\n').toStdString();
  EXPECT_EQ(About(problems, "strayButton").size(), 1) << problems.join('\n').toStdString();
  EXPECT_TRUE(About(problems, "fineLabel").isEmpty());
  EXPECT_EQ(problems.size(), 5) << problems.join('\n').toStdString();
}

TEST(WindowFit, AWindowWiderThanTheSmallScreenFitsOnlyTheTillScreen) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* wide = new QWidget;
  wide->setMinimumSize(1100, 300);
  layout->addWidget(wide);
  window.show();
  EXPECT_TRUE(FitProblems(window, kTillScreen).isEmpty());
  const QStringList small = FitProblems(window, kSmallScreen);
  ASSERT_EQ(small.size(), 1) << small.join('\n').toStdString();
  EXPECT_TRUE(small[0].startsWith("the window needs")) << small[0].toStdString();
}

TEST(WindowFit, ASoundWindowFitsBothScreensAndIsPictured) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* frame = new QGroupBox("Settings");
  auto* inner = new QVBoxLayout(frame);
  auto* note = new QLabel("A long note wraps to the width the window gives it, however narrow "
                          "the screen, and is read whole.");
  note->setWordWrap(true);
  inner->addWidget(note);
  inner->addWidget(new QPushButton("&Apply"));
  inner->addStretch();
  layout->addWidget(frame);
  window.resize(1500, 900);  // larger than either screen: it is made to fit
  window.show();
  EXPECT_TRUE(FitsScreens(window, REPOSITORY_ROOT, "ui-qt-sound-window"));
  EXPECT_EQ(window.size(), QSize(1500, 900));  // given back afterwards
#ifndef __SANITIZE_THREAD__
  for (const char* size : {"1280x800", "1024x768"}) {
    EXPECT_TRUE(QFileInfo::exists(QString(REPOSITORY_ROOT "/out/screenshots/ui-qt-sound-window-") +
                                  size + ".png"));
  }
#endif
}

}  // namespace
}  // namespace ui_qt
