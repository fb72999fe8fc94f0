// DemoTill's windows on the offscreen platform, against the virtual printer: captions,
// buttons, a step run from the main window, and the event message boxes as real boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "main_window.h"
#include "step_window.h"
#include "till_rig.h"
#include "ui_qt/qt_queue_pump.h"
#include "ui_qt/qt_ui_provider.h"
#include "window_fit.h"

namespace demotill::testing {
namespace {

// The window fits a 1280 x 800 and a 1024 x 768 screen, pictured at both sizes.
::testing::AssertionResult Fits(QWidget& window, const QString& name) {
  return ui_qt::FitsScreens(window, REPOSITORY_ROOT, name);
}

TEST(DemoTillWindows, MainWindowOpensAStepWindowThatPrints) {
  TillRig till("Thermal42");
  ui_qt::QueuePump pump;
  MainWindow main(till.Settings());
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  EXPECT_EQ(main.windowTitle(), "OPOS DemoTill");
  const char* captions[] = {"Step1. Transaction Print", "Step2. Print Bitmap",
                            "Step3. Print Barcode", "Step4. Asynchronous Print",
                            "Step5. Open Cashdrawer"};
  for (int step = 1; step <= kStepCount; ++step) {
    EXPECT_EQ(main.Button(step)->text(), captions[step - 1]);
    EXPECT_EQ(main.Button(step)->objectName(), "Command" + QString::number(step));
  }
  EXPECT_TRUE(Fits(main, "demotill-frmMain"));

  bool ran = false;
  main.on_step_window = [&](StepWindow& window) {
    QTimer::singleShot(0, &window, [&] {
      EXPECT_TRUE(window.isModal());
      EXPECT_EQ(window.windowTitle(), "Step1. Transaction Print");
      EXPECT_EQ(window.Button()->text(), "Transaction Print");
      EXPECT_TRUE(window.Button()->isEnabled());
      QTest::mouseClick(window.Button(), Qt::LeftButton);
      ran = true;
      window.close();
    });
  };
  QTest::mouseClick(main.Button(1), Qt::LeftButton);
  EXPECT_TRUE(ran);
  ASSERT_TRUE(
      service_core::testing::PumpUntil([&] { return till.renderer().ReceiptCount() == 1; }));
  EXPECT_NE(till.renderer().Transcript().find("Thank you for coming to our shop!"),
            std::string::npos);
}

// Every step window as it looks after loading, and the drawer step once more without a
// drawer under "Unit1": its failure and a disabled button.
TEST(DemoTillWindows, StepWindowsAfterLoading) {
  {
    TillRig till("Thermal42");
    till.AddDrawer();
    for (int step = 1; step <= kStepCount; ++step) {
      StepWindow window(step, till.Settings());
      window.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
      const StepInfo& info = InfoOf(step);
      EXPECT_EQ(window.objectName(), info.window_name);
      EXPECT_EQ(window.windowTitle(), info.caption);
      EXPECT_EQ(window.Button()->text(), info.button);
      EXPECT_TRUE(window.Button()->isEnabled()) << step;
      EXPECT_TRUE(Fits(window, QString("demotill-") + info.window_name));
    }
    EXPECT_TRUE(till.Messages().empty());
  }

  TillRig no_drawer("Thermal42");
  StepWindow window(5, no_drawer.Settings());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.Button()->isEnabled());
  EXPECT_EQ(no_drawer.Messages(), std::vector<std::string>{"Fails to open the device."});
  EXPECT_TRUE(Fits(window, "demotill-frmStep5-no-drawer"));
}

// The asynchronous step with the window system's own message boxes: the completion box
// appears while the step window is open.
TEST(DemoTillWindows, AsynchronousPrintShowsTheCompletionBox) {
  TillRig till("Thermal42");
  auto scripted = platform::ui::Install(ui_qt::MakeQtProvider());
  ui_qt::QueuePump pump;
  // Answers every box that appears, for as long as the step window lives.
  QString seen_text, seen_title;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    if (seen_text.isEmpty()) {
      seen_text = box->text();
      seen_title = box->windowTitle();
      EXPECT_EQ(box->icon(), QMessageBox::Information);
      EXPECT_TRUE(Fits(*box, "demotill-complete-printing"));
    }
    box->button(QMessageBox::Ok)->click();
  });
  watcher.start(50);
  {
    StepWindow window(4, till.Settings());
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.Button(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !seen_text.isEmpty(); }, 15000));
  }
  watcher.stop();
  EXPECT_TRUE(seen_text.startsWith("Complete printing ")) << seen_text.toStdString();
  EXPECT_EQ(seen_title, "DemoTill");
  platform::ui::Install(scripted);
}

}  // namespace
}  // namespace demotill::testing
