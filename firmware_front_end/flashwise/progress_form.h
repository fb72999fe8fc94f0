// The progress window frmProgress: shown, not modal, while an upload runs.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

namespace flashwise {

class ProgressForm : public QDialog {
  Q_OBJECT
 public:
  // `caption` is the main window's.
  ProgressForm(const QString& caption, QWidget* parent = nullptr);
  ~ProgressForm() override;

  // True while the window is loaded (mblnShow).
  bool IsShown() const { return shown_; }
  void SetProgress(int sent, int total);

 private:
  QLabel* label_;
  QProgressBar* bar_;
  bool shown_ = true;
};

}  // namespace flashwise
