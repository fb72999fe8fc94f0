#include "progress_form.h"

#include <QVBoxLayout>

namespace flashwise {

ProgressForm::ProgressForm(const QString& caption, QWidget* parent) : QDialog(parent) {
  setObjectName("frmProgress");
  setWindowTitle(caption);
  label_ = new QLabel("Please wait for a monent...", this);
  label_->setObjectName("Label1");
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(28, 24, 28, 24);
  layout->setSpacing(14);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  setMinimumWidth(340);
  setModal(false);
}

ProgressForm::~ProgressForm() { shown_ = false; }

void ProgressForm::SetProgress(int sent, int total) {
  if (total <= 0) return;
  bar_->setValue(static_cast<int>(100LL * sent / total));
}

}  // namespace flashwise
