#include "flashwise_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ui_provider.h"
#include "progress_form.h"
#include "ui_qt/program_dir.h"

namespace flashwise {
namespace {

namespace ui = platform::ui;

QComboBox* MakeList(QWidget* parent, const char* name, const std::vector<std::string>& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const std::string& item : items) box->addItem(QString::fromStdString(item));
  box->setMinimumWidth(150);
  return box;
}

void Select(QComboBox* box, int index) { box->setCurrentIndex(index < box->count() ? index : 0); }

// Waits while the window system keeps painting.
void WaitPainting(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

FlashwiseForm::FlashwiseForm(std::string settings_path, platform::automation::DispatchPtr control,
                             QWidget* parent)
    : QWidget(parent), settings_path_(std::move(settings_path)), control_(std::move(control)) {
  setObjectName("frmFlashwise");
  BuildWindow();
  LoadSettings();
  choose_file = [](QWidget* owner, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), dir, filter);
  };
}

FlashwiseForm::~FlashwiseForm() { SaveSettings(); }

void FlashwiseForm::BuildWindow() {
  cboPrinter = MakeList(this, "cboPrinter", {});
  cboPort = MakeList(this, "cboPort", PortList());
  cboBaudRate = MakeList(this, "cboBaudRate", BaudRateList());
  cboBitLength = MakeList(this, "cboBitLength", BitLengthList());
  cboParity = MakeList(this, "cboParity", ParityList());
  cboStopBit = MakeList(this, "cboStopBit", StopBitList());
  cboHandShake = MakeList(this, "cboHandShake", HandShakeList());

  auto* port_frame = new QGroupBox("Port Setting", this);
  auto* grid = new QGridLayout(port_frame);
  grid->setHorizontalSpacing(12);
  const std::pair<const char*, QComboBox*> rows[] = {
      {"Device Name :", cboPrinter}, {"Port :", cboPort},     {"Baudrate :", cboBaudRate},
      {"BitLength :", cboBitLength}, {"Parity :", cboParity}, {"StopBit :", cboStopBit},
      {"Handshake :", cboHandShake}};
  int row = 0;
  for (const auto& [label, box] : rows) {
    grid->addWidget(new QLabel(label, port_frame), row, 0, Qt::AlignRight);
    grid->addWidget(box, row++, 1);
  }

  auto* tcp_frame = new QGroupBox("TCP/IP Information", this);
  auto* tcp_grid = new QGridLayout(tcp_frame);
  txtIP = new QLineEdit(tcp_frame);
  txtIP->setObjectName("txtIP");
  txtPORT = new QLineEdit("9100", tcp_frame);
  txtPORT->setObjectName("txtPORT");
  txtPORT->setEnabled(false);
  tcp_grid->addWidget(new QLabel("   IP Address :", tcp_frame), 0, 0, Qt::AlignRight);
  tcp_grid->addWidget(txtIP, 0, 1);
  tcp_grid->addWidget(new QLabel("Port Number :", tcp_frame), 1, 0, Qt::AlignRight);
  tcp_grid->addWidget(txtPORT, 1, 1);

  auto* file_frame = new QGroupBox("Firmware file", this);
  auto* file_row = new QHBoxLayout(file_frame);
  txtFileName = new QLineEdit(file_frame);
  txtFileName->setObjectName("txtFileName");
  txtFileName->setReadOnly(true);
  txtFileName->setMinimumWidth(260);
  QPalette face = txtFileName->palette();
  face.setColor(QPalette::Base, face.color(QPalette::Button));
  txtFileName->setPalette(face);
  cmdSearch = new QPushButton("Search...", file_frame);
  cmdSearch->setObjectName("cmdSearch");
  file_row->addWidget(txtFileName, 1);
  file_row->addWidget(cmdSearch);

  auto* upload_frame = new QGroupBox("Upload", this);
  auto* upload_row = new QHBoxLayout(upload_frame);
  cmdUpload = new QPushButton("Upload", upload_frame);
  cmdUpload->setObjectName("cmdUpload");
  cmdUpload->setMinimumWidth(120);
  upload_row->addStretch();
  upload_row->addWidget(cmdUpload);
  upload_row->addStretch();

  fraAbout = new QGroupBox("About", this);
  fraAbout->setObjectName("fraAbout");

  cmdClose = new QPushButton("Close", this);
  cmdClose->setObjectName("cmdClose");
  cmdClose->setMinimumWidth(100);

  auto* right = new QVBoxLayout;
  right->addWidget(tcp_frame);
  right->addWidget(upload_frame);
  right->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(port_frame);
  top->addLayout(right);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(cmdClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->addLayout(top);
  layout->addWidget(file_frame);
  layout->addWidget(fraAbout);
  layout->addLayout(bottom);

  connect(cboPort, &QComboBox::activated, this, [this] { ApplyPortChoice(); });
  connect(cmdSearch, &QPushButton::clicked, this, &FlashwiseForm::Search);
  connect(cmdUpload, &QPushButton::clicked, this, &FlashwiseForm::Upload);
  connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

void FlashwiseForm::LoadSettings() {
  setWindowTitle(kCaption);
  for (const std::string& item : PrinterList()) cboPrinter->addItem(QString::fromStdString(item));
  fraAbout->hide();

  const FlashwiseSettings s = flashwise::LoadSettings(settings_path_);
  Select(cboPrinter, s.printer);
  Select(cboPort, s.port);
  Select(cboBaudRate, s.baud_rate);
  Select(cboBitLength, s.bit_length);
  Select(cboParity, s.parity);
  Select(cboStopBit, s.stop_bit);
  Select(cboHandShake, s.handshake);
  txtIP->setText(QString::fromStdString(s.ip));
  const QString firmware = QString::fromStdString(s.firmware);
  txtFileName->setText(!firmware.isEmpty() && QFileInfo(firmware).isFile() ? firmware : QString());
  // Selecting the stored port runs the port choice, as a click on the list does.
  ApplyPortChoice();

  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void FlashwiseForm::ApplyPortChoice() {
  const QString kind = cboPort->currentText().left(3);
  const bool serial = kind != "LPT" && kind != "USB" && kind != "TCP";
  for (QComboBox* box : {cboBaudRate, cboBitLength, cboParity, cboStopBit, cboHandShake})
    box->setEnabled(serial);
  txtIP->setEnabled(kind == "TCP");
  txtPORT->setEnabled(false);
}

void FlashwiseForm::Search() {
  const QString chosen =
      choose_file(this, QString::fromStdString(ui_qt::ProgramDir()), "FirmWare File (*.bin)");
  txtFileName->setText(chosen);
}

void FlashwiseForm::Upload() {
  const std::string caption = windowTitle().toStdString();
  if (txtFileName->text().isEmpty()) {
    ui::Current().MessageBox("Search firemware file.", caption, ui::kOk | ui::kIconWarning);
    return;
  }
  if (ui::Current().MessageBox(
          "Firmware file is written in the flash memory of the device. Continue it?", caption,
          ui::kYesNo | ui::kIconQuestion) != ui::kIdYes) {
    return;
  }
  ProgressForm progress(windowTitle(), this);
  progress.show();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    progress.move(screen->availableGeometry().center() - progress.rect().center());
  }
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (on_progress_shown) on_progress_shown(progress);

  UploadRequest request;
  request.port = cboPort->currentText().toStdString();
  request.baud_code = BaudCodeFromText(cboBaudRate->currentText().toStdString());
  request.bit_length = cboBitLength->currentIndex();
  request.parity = cboParity->currentIndex();
  request.stop_bit = cboStopBit->currentIndex();
  request.handshake = cboHandShake->currentIndex();
  request.ip = txtIP->text().toStdString();
  request.file = txtFileName->text().trimmed().toStdString();

  const int32_t result =
      CallUploadControl(control_.get(), request, [&progress](int32_t sent, int32_t total) {
        progress.SetProgress(sent, total);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      });
  WaitPainting(1000);
  progress.close();

  if (const auto message = MessageForResult(result)) {
    ui::Current().MessageBox(
        message->text, caption,
        ui::kOk | (message->warning ? ui::kIconWarning : ui::kIconInformation));
  }
}

FlashwiseSettings FlashwiseForm::CurrentSettings() const {
  FlashwiseSettings s;
  s.printer = cboPrinter->currentIndex();
  s.port = cboPort->currentIndex();
  s.ip = txtIP->text().toStdString();
  s.baud_rate = cboBaudRate->currentIndex();
  s.bit_length = cboBitLength->currentIndex();
  s.parity = cboParity->currentIndex();
  s.stop_bit = cboStopBit->currentIndex();
  s.handshake = cboHandShake->currentIndex();
  s.firmware = txtFileName->text().toStdString();
  return s;
}

void FlashwiseForm::SaveSettings() {
  if (saved_) return;
  saved_ = true;
  flashwise::SaveSettings(CurrentSettings(), settings_path_);
}

void FlashwiseForm::closeEvent(QCloseEvent* event) {
  SaveSettings();
  event->accept();
}

}  // namespace flashwise
