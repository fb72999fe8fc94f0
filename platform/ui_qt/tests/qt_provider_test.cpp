// The Qt provider's boxes and dialog on the offscreen platform: which Win32 button each
// press answers, the health-check dialog's Start and Close, and both fitting the screens
// with long texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/ui_provider.h"
#include "ui_qt/qt_ui_provider.h"
#include "window_fit.h"

namespace ui_qt {
namespace {

namespace ui = platform::ui;

// Runs `act` on the first modal window that appears while `show` runs.
template <class Widget>
void WithModal(const std::function<void(Widget&)>& act, const std::function<void()>& show) {
  bool done = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* widget = qobject_cast<Widget*>(QApplication::activeModalWidget());
    if (done || !widget || !widget->isVisible()) return;
    done = true;
    act(*widget);
  });
  watcher.start(20);
  show();
  EXPECT_TRUE(done);
}

TEST(QtProvider, MessageBoxButtonsAnswerWithWin32Identifiers) {
  auto provider = MakeQtProvider();
  int answer = 0;
  WithModal<QMessageBox>(
      [](QMessageBox& box) { box.button(QMessageBox::No)->click(); },
      [&] { answer = provider->MessageBox("Go on?", "Title", ui::kYesNo | ui::kIconQuestion); });
  EXPECT_EQ(answer, ui::kIdNo);

  WithModal<QMessageBox>(
      [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "Title");
        EXPECT_EQ(box.text(), "one\ntwo");  // CR LF becomes a line break
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Retry));
        box.defaultButton()->click();
      },
      [&] {
        answer =
            provider->MessageBox("one\r\ntwo", "Title", ui::kAbortRetryIgnore | ui::kDefButton2);
      });
  EXPECT_EQ(answer, ui::kIdRetry);

  // The close box answers Cancel where there is one.
  WithModal<QMessageBox>(
      [](QMessageBox& box) { box.reject(); },
      [&] { answer = provider->MessageBox("Save?", "Title", ui::kYesNoCancel); });
  EXPECT_EQ(answer, ui::kIdCancel);
}

TEST(QtProvider, HealthCheckDialogRunsStartUntilClosed) {
  auto provider = MakeQtProvider();
  int starts = 0;
  ui::HealthCheckDialog request{"CheckHealth", "Push Start.", [&] { ++starts; }};
  WithModal<QDialog>(
      [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "CheckHealth");
        QPushButton* start = nullptr;
        QPushButton* close = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
          if (button->text() == "Start") start = button;
          if (button->text() == "Close") close = button;
        }
        ASSERT_TRUE(start && close);
        start->click();
        start->click();
        close->click();
      },
      [&] { provider->RunHealthCheckDialog(request); });
  EXPECT_EQ(starts, 2);
}

TEST(QtProvider, LongTextsFitTheScreens) {
  auto provider = MakeQtProvider();
  const std::string long_line =
      "The printer \"Unit1\" did not answer: check that it is switched on, that its cable is "
      "plugged in at both ends, that the port named in the device entry is the one the cable "
      "is plugged into, and that no other program holds the port; then try again.";
  WithModal<QMessageBox>(
      [](QMessageBox& box) {
        EXPECT_TRUE(FitsScreens(box, REPOSITORY_ROOT, "ui-qt-message-box"));
        box.accept();
      },
      [&] { provider->MessageBox(long_line + "\r\n\r\n" + long_line, "Confix", ui::kOk | ui::kIconWarning); });

  ui::HealthCheckDialog request{"CheckHealth", long_line + "\r\n\r\nPush Start to print.", {}};
  WithModal<QDialog>(
      [](QDialog& dialog) {
        EXPECT_TRUE(FitsScreens(dialog, REPOSITORY_ROOT, "ui-qt-health-check"));
        dialog.accept();
      },
      [&] { provider->RunHealthCheckDialog(request); });
}

}  // namespace
}  // namespace ui_qt
