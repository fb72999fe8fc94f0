#include "ui_qt/qt_ui_provider.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/event.h"

namespace ui_qt {
namespace {

using namespace platform::ui;

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & kIconMask) {
    case kIconError:
      return QMessageBox::Critical;
    case kIconQuestion:
      return QMessageBox::Question;
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The Win32 button set as Qt buttons, each with its Win32 identifier, in display order.
std::vector<std::pair<QMessageBox::StandardButton, int>> ButtonsOf(unsigned flags) {
  switch (flags & kButtonMask) {
    case kOkCancel:
      return {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}};
    case kAbortRetryIgnore:
      return {{QMessageBox::Abort, kIdAbort},
              {QMessageBox::Retry, kIdRetry},
              {QMessageBox::Ignore, kIdIgnore}};
    case kYesNoCancel:
      return {
          {QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}, {QMessageBox::Cancel, kIdCancel}};
    case kYesNo:
      return {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}};
    case kRetryCancel:
      return {{QMessageBox::Retry, kIdRetry}, {QMessageBox::Cancel, kIdCancel}};
    default:
      return {{QMessageBox::Ok, kIdOk}};
  }
}

// Windows message boxes end lines with CR LF; Qt wants LF.
QString TextOf(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace("\r\n", "\n");
  return s;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  QMessageBox box(IconOf(flags), QString::fromStdString(caption), TextOf(text),
                  QMessageBox::NoButton, QApplication::activeWindow());
  // Qt wraps a message at a narrow width; a line that fits on the screen stays one line.
  if (auto* label = box.findChild<QLabel*>("qt_msgbox_label")) {
    int widest = 0;
    for (const QString& line : box.text().split('\n'))
      widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    label->setMinimumWidth(std::min(widest + 8, 640));
  }
  const auto buttons = ButtonsOf(flags);
  QMessageBox::StandardButtons set;
  for (const auto& [button, id] : buttons) set |= button;
  box.setStandardButtons(set);
  const int default_id = DefaultButton(flags);
  for (const auto& [button, id] : buttons) {
    if (id == default_id) box.setDefaultButton(button);
  }
  // Closing the box with the window's close box answers like Cancel, or No, or OK.
  const int pressed = box.exec();
  for (const auto& [button, id] : buttons) {
    if (pressed == button) return id;
  }
  for (int fallback : {kIdCancel, kIdNo, kIdOk}) {
    for (const auto& [button, id] : buttons) {
      if (id == fallback) return id;
    }
  }
  return default_id;
}

void ShowHealthCheckDialog(const HealthCheckDialog& request) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(QString::fromStdString(request.caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(TextOf(request.text));
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* row = new QHBoxLayout;
  auto* start = new QPushButton(QObject::tr("Start"));
  auto* close = new QPushButton(QObject::tr("Close"));
  row->addStretch();
  row->addWidget(start);
  row->addWidget(close);
  layout->addLayout(row);
  QObject::connect(start, &QPushButton::clicked, &dialog, [&] {
    if (request.on_start) request.on_start();
  });
  QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.exec();
}

// Runs `fn` on the GUI thread and waits for it.
template <class Fn>
void OnGuiThread(Fn fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

class QtProvider : public Provider {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    int answer = DefaultButton(flags);
    OnGuiThread([&] { answer = ShowMessageBox(text, caption, flags); });
    return answer;
  }

  void RunHealthCheckDialog(const HealthCheckDialog& dialog) override {
    OnGuiThread([&] { ShowHealthCheckDialog(dialog); });
  }

  // Like the host speaker, the call lasts as long as the tone would.
  void Beep(unsigned frequency_hz, unsigned duration_ms) override {
    if (frequency_hz < 37 || frequency_hz > 32767) return;
    OnGuiThread([] { QApplication::beep(); });
    platform::SleepMs(duration_ms < kMaxBeepMs ? duration_ms : kMaxBeepMs);
  }
};

}  // namespace

std::shared_ptr<Provider> MakeQtProvider() { return std::make_shared<QtProvider>(); }

}  // namespace ui_qt
