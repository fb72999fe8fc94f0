#include "qt_message_provider.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace confix {

namespace ui = platform::ui;

int QtMessageProvider::MessageBox(const std::string& text, const std::string& caption,
                                  unsigned flags) {
  // A service object's worker thread cannot own a window; its message is written to
  // standard error and answered with the default button instead of waiting on the window
  // thread, which may itself be waiting for that worker.
  if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
    return headless_->MessageBox(text, caption, flags);
  }
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (flags & ui::kIconMask) {
    case ui::kIconError: box.setIcon(QMessageBox::Critical); break;
    case ui::kIconQuestion: box.setIcon(QMessageBox::Question); break;
    case ui::kIconWarning: box.setIcon(QMessageBox::Warning); break;
    case ui::kIconInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  struct Button { QMessageBox::StandardButton button; int id; };
  std::vector<Button> buttons;
  switch (flags & ui::kButtonMask) {
    case ui::kOkCancel: buttons = {{QMessageBox::Ok, ui::kIdOk}, {QMessageBox::Cancel, ui::kIdCancel}}; break;
    case ui::kYesNo: buttons = {{QMessageBox::Yes, ui::kIdYes}, {QMessageBox::No, ui::kIdNo}}; break;
    case ui::kYesNoCancel:
      buttons = {{QMessageBox::Yes, ui::kIdYes}, {QMessageBox::No, ui::kIdNo},
                 {QMessageBox::Cancel, ui::kIdCancel}};
      break;
    case ui::kRetryCancel:
      buttons = {{QMessageBox::Retry, ui::kIdRetry}, {QMessageBox::Cancel, ui::kIdCancel}};
      break;
    case ui::kAbortRetryIgnore:
      buttons = {{QMessageBox::Abort, ui::kIdAbort}, {QMessageBox::Retry, ui::kIdRetry},
                 {QMessageBox::Ignore, ui::kIdIgnore}};
      break;
    default: buttons = {{QMessageBox::Ok, ui::kIdOk}}; break;
  }
  QMessageBox::StandardButtons set;
  for (const Button& b : buttons) set |= b.button;
  box.setStandardButtons(set);
  const int default_id = ui::DefaultButton(flags);
  for (const Button& b : buttons) {
    if (b.id == default_id) box.setDefaultButton(b.button);
  }
  const int pressed = box.exec();
  for (const Button& b : buttons) {
    if (b.button == pressed) return b.id;
  }
  return default_id;
}

void QtMessageProvider::RunHealthCheckDialog(const ui::HealthCheckDialog& dialog) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromStdString(dialog.caption));
  box.setText(QString::fromStdString(dialog.text));
  QPushButton* start = box.addButton("Start", QMessageBox::ActionRole);
  box.addButton("Close", QMessageBox::RejectRole);
  for (;;) {
    box.exec();
    if (box.clickedButton() != start) return;
    if (dialog.on_start) dialog.on_start();
  }
}

void QtMessageProvider::Beep(unsigned, unsigned) { QApplication::beep(); }

}  // namespace confix
