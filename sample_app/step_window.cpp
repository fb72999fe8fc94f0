#include "step_window.h"

#include <QApplication>
#include <QVBoxLayout>

namespace demotill {

StepWindow::StepWindow(int step, StepSettings settings, QWidget* parent) : QDialog(parent) {
  const StepInfo& info = InfoOf(step);
  setObjectName(info.window_name);
  setWindowTitle(info.caption);
  button_ = new QPushButton(info.button, this);
  button_->setObjectName("Command1");
  button_->setMinimumSize(220, 48);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(36, 30, 36, 30);
  layout->addWidget(button_);
  setMinimumWidth(320);
  connect(button_, &QPushButton::clicked, this, [this] { step_->Press(); });

  step_ = std::make_unique<TillStep>(step, static_cast<StepHost&>(*this), std::move(settings));
  step_->Load();
}

StepWindow::~StepWindow() {
  step_->Unload();
  if (busy_) QApplication::restoreOverrideCursor();
}

void StepWindow::SetButtonEnabled(bool enabled) { button_->setEnabled(enabled); }

void StepWindow::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace demotill
