#include "main_window.h"

#include <QVBoxLayout>

#include "step_window.h"

namespace demotill {

MainWindow::MainWindow(StepSettings settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)) {
  setObjectName("frmMain");
  setWindowTitle(kMainCaption);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(10);
  for (int step = 1; step <= kStepCount; ++step) {
    auto* button = new QPushButton(InfoOf(step).caption, this);
    button->setObjectName("Command" + QString::number(step));
    button->setMinimumSize(260, 40);
    connect(button, &QPushButton::clicked, this, [this, step] { ShowStep(step); });
    layout->addWidget(button);
    buttons_[static_cast<size_t>(step - 1)] = button;
  }
}

// Each showing loads the step anew and unloads it when the window closes, so the device is
// held only while its window is open.
void MainWindow::ShowStep(int step) {
  StepWindow window(step, settings_, this);
  window.setModal(true);
  if (on_step_window) on_step_window(window);
  window.exec();
}

}  // namespace demotill
