// The main window frmMain: five buttons, each showing its step window modally.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

#include "till_step.h"

namespace demotill {

class StepWindow;

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MainWindow(StepSettings settings, QWidget* parent = nullptr);

  QPushButton* Button(int step) const { return buttons_.at(static_cast<size_t>(step - 1)); }
  // Called with each step window after it is loaded and before it runs modally (tests
  // schedule what to do in the window here).
  std::function<void(StepWindow&)> on_step_window;

 private:
  void ShowStep(int step);

  StepSettings settings_;
  std::array<QPushButton*, kStepCount> buttons_{};
};

}  // namespace demotill
