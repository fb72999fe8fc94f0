// A step window (frmStep1 ... frmStep5): its step is loaded when the window is created and
// unloaded when it is destroyed; the one button runs the step.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <memory>

#include "till_step.h"

namespace demotill {

class StepWindow : public QDialog, private StepHost {
  Q_OBJECT
 public:
  StepWindow(int step, StepSettings settings, QWidget* parent = nullptr);
  ~StepWindow() override;

  QPushButton* Button() const { return button_; }
  TillStep& Step() { return *step_; }

 private:
  void SetButtonEnabled(bool enabled) override;
  void SetBusy(bool busy) override;

  QPushButton* button_;
  bool busy_ = false;
  std::unique_ptr<TillStep> step_;
};

}  // namespace demotill
