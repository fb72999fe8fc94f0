#include "frm_test_setting.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "choice_lists.h"
#include "cls_opos.h"
#include "device_test.h"
#include "inf_file.h"
#include "platform/ui_provider.h"
#include "window_placement.h"

namespace confix {

namespace {

constexpr ChoiceKind kListKinds[] = {ChoiceKind::Baudrate, ChoiceKind::BitLength,
                                     ChoiceKind::Parity, ChoiceKind::Stop, ChoiceKind::HandShake};

// Selects the item whose code is `code`, or the first item.
void SelectCode(QComboBox* list, int32_t code) {
  int index = list->findData(code);
  list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
}

void SelectText(QComboBox* list, const QString& text) {
  int index = list->findText(text);
  list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
}

int32_t SelectedCode(const QComboBox* list) {
  return list->currentIndex() >= 0 ? list->currentData().toInt() : 0;
}

int32_t Number(const QLineEdit* box) { return ParseLeadingNumber(box->text().toStdString()); }

QString Text(int32_t number) { return QString::number(number); }

}  // namespace

SettingsDialog::SettingsDialog(clsOPOS& device, bool network, QWidget* parent)
    : QDialog(parent), device_(device), network_(network) {
  setObjectName(network ? "frmTestNetSetting" : "frmTestSetting");
  auto* layout = new QVBoxLayout(this);

  auto* name_frame = new QGroupBox("Device Name");
  auto* name_layout = new QVBoxLayout(name_frame);
  lblDeviceName = new QLabel;
  name_layout->addWidget(lblDeviceName);
  layout->addWidget(name_frame);

  auto* settings = new QGroupBox("Printer Settings");
  auto* grid = new QGridLayout(settings);
  grid->setColumnMinimumWidth(1, 160);
  int row = 0;
  auto add_row = [&](QGridLayout* g, int r, const char* label, QWidget* field, const char* unit) {
    g->addWidget(new QLabel(label), r, 0);
    g->addWidget(field, r, 1);
    // Every row has its unit column, empty where there is no unit, so that a frame without
    // units keeps the spacing before that column and its fields as wide as the other's.
    g->addWidget(new QLabel(unit ? unit : ""), r, 2);
  };
  for (int i = 0; i < 8; ++i) {
    cboData[i] = new QComboBox(this);  // owned also when not laid out
    cboData[i]->setObjectName(QString("cboData%1").arg(i));
    cboData[i]->setMinimumContentsLength(10);
  }
  for (int i = 0; i < 6; ++i) {
    txtData[i] = new QLineEdit;
    txtData[i]->setObjectName(QString("txtData%1").arg(i));
  }
  if (network) {
    const char* labels[] = {"IP :", "Port :"};
    for (int i = 0; i < 2; ++i) {
      txtIP[i] = new QLineEdit;
      txtIP[i]->setObjectName(QString("txtIP%1").arg(i));
      add_row(grid, row++, labels[i], txtIP[i], nullptr);
    }
    for (int i = 0; i < 6; ++i) cboData[i]->setVisible(false);
  } else {
    const char* labels[] = {"Port :", "BaudRate :", "Bit Length :", "Parity :", "StopBit :",
                            "Handshake :"};
    for (int i = 0; i < 6; ++i) add_row(grid, row++, labels[i], cboData[i], nullptr);
  }
  add_row(grid, row++, "InputBuf :", txtData[0], nullptr);
  add_row(grid, row++, "OutputBuf :", txtData[1], nullptr);
  add_row(grid, row++, "Input Sleep Time :", txtData[2], "msec");
  add_row(grid, row++, "Output Interval Time :", txtData[3], "msec");
  layout->addWidget(settings);

  auto* drawer = new QGroupBox("Printer Settings(CashDrawer)");
  auto* drawer_grid = new QGridLayout(drawer);
  drawer_grid->setColumnMinimumWidth(1, 160);
  add_row(drawer_grid, 0, "Open Level :", cboData[6], nullptr);
  add_row(drawer_grid, 1, "Pin No :", cboData[7], nullptr);
  add_row(drawer_grid, 2, "Pulse ON Time :", txtData[4], nullptr);
  add_row(drawer_grid, 3, "Pulse OFF Time :", txtData[5], nullptr);
  layout->addWidget(drawer);
  // Both frames share their column widths so that the fields line up.
  for (QGridLayout* g : {grid, drawer_grid}) {
    g->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance("Output Interval Time :") + 8);
    g->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance("msec") + 4);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cmdExecute[0] = new QPushButton("Printer &Test");
  cmdExecute[1] = new QPushButton("&Close");
  cmdExecute[0]->setObjectName("cmdExecute0");
  cmdExecute[1]->setObjectName("cmdExecute1");
  buttons->addWidget(cmdExecute[0]);
  buttons->addWidget(cmdExecute[1]);
  layout->addLayout(buttons);

  for (QComboBox* list : cboData) {
    connect(list, &QComboBox::activated, this, [this] { Save(); });
  }
  for (QLineEdit* box : txtData) {
    connect(box, &QLineEdit::textChanged, this, [this] { Save(); });
  }
  for (QLineEdit* box : txtIP) {
    if (box) connect(box, &QLineEdit::textChanged, this, [this] { Save(); });
  }
  connect(cmdExecute[0], &QPushButton::clicked, this, [this] { OnTest(); });
  connect(cmdExecute[1], &QPushButton::clicked, this, [this] { OnClose(); });
}

int SettingsDialog::Show() {
  Load();
  CentreOnScreen(this);
  return exec();
}

void SettingsDialog::Load() {
  loading_ = true;
  const QString name = QString::fromStdString(device_.mstrDeviceName);
  setWindowTitle(name + " Printer Settings ");
  lblDeviceName->setText(name);
  const bool parallel_or_usb = IsParallelOrUsbPort(device_.mstrPort);

  if (network_) {
    // The stored port, and the port printers listen on when none is stored.
    txtIP[1]->setText(device_.mstrPort.empty() ? "9100" : QString::fromStdString(device_.mstrPort));
    txtIP[0]->setText(QString::fromStdString(device_.mstrIP));
    txtIP[1]->setEnabled(parallel_or_usb);
  } else {
    cboData[0]->clear();
    for (const std::string& port : PortChoices(device_.mstrPort)) {
      cboData[0]->addItem(QString::fromStdString(port));
    }
    SelectText(cboData[0], QString::fromStdString(device_.mstrPort));
    const std::string* sels[] = {&device_.mstrBaudrateSel, &device_.mstrBitLengthSel,
                                 &device_.mstrParitySel, &device_.mstrStopSel,
                                 &device_.mstrHandShakeSel};
    const int32_t codes[] = {device_.mlngBaudrate, device_.mlngBitLength, device_.mlngParity,
                             device_.mlngStop, device_.mlngHandShake};
    for (int i = 0; i < 5; ++i) {
      QComboBox* list = cboData[i + 1];
      list->clear();
      // A parallel or USB link has no serial settings: the lists stay empty.
      if (!parallel_or_usb) {
        for (const Choice& choice : ChoicesFromSel(kListKinds[i], *sels[i])) {
          list->addItem(QString::fromStdString(choice.text), choice.code);
        }
        SelectCode(list, codes[i]);
      }
      list->setEnabled(!parallel_or_usb);
    }
  }

  const bool drawer = device_.mstrDeviceClass == kCashDrawerClass;
  cboData[6]->clear();
  cboData[7]->clear();
  txtData[4]->clear();
  txtData[5]->clear();
  if (drawer) {
    for (int level : {0, 1}) cboData[6]->addItem(Text(level), level);
    for (int pin : {2, 5}) cboData[7]->addItem(Text(pin), pin);
    SelectCode(cboData[6], device_.mlngOpenLevel);
    SelectCode(cboData[7], device_.mlngConnectorPinNo);
    txtData[4]->setText(Text(device_.mlngPulseOnTime));
    txtData[5]->setText(Text(device_.mlngPulseOffTime));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{cboData[6], cboData[7], txtData[4], txtData[5]}) {
    w->setEnabled(drawer);
  }

  txtData[0]->setText(Text(device_.mlngInputBuf));
  txtData[1]->setText(Text(device_.mlngOutputBuf));
  txtData[2]->setText(Text(device_.mlngInputSleep));
  txtData[3]->setText(Text(device_.mlngTimeout));
  RememberShown();
  loading_ = false;
}

void SettingsDialog::RememberShown() {
  for (size_t i = 0; i < cboData.size(); ++i) shown_index_[i] = cboData[i]->currentIndex();
  for (size_t i = 0; i < txtData.size(); ++i) shown_text_[i] = txtData[i]->text();
  for (size_t i = 0; i < txtIP.size(); ++i) {
    if (txtIP[i]) shown_ip_[i] = txtIP[i]->text();
  }
  list_touched_ = {};
  box_touched_ = {};
  ip_touched_ = {};
}

bool SettingsDialog::Save() {
  if (loading_) return true;
  // A control counts as changed from the moment it differs from what it showed; changing
  // it back afterwards is a change too.
  auto list = [&](size_t i) {
    return list_touched_[i] = list_touched_[i] || cboData[i]->currentIndex() != shown_index_[i];
  };
  auto box = [&](size_t i) {
    return box_touched_[i] = box_touched_[i] || txtData[i]->text() != shown_text_[i];
  };
  auto ip = [&](size_t i) {
    return ip_touched_[i] = ip_touched_[i] || txtIP[i]->text() != shown_ip_[i];
  };
  if (network_) {
    if (ip(0)) device_.mstrIP = txtIP[0]->text().toStdString();
    if (ip(1)) device_.mstrPort = txtIP[1]->text().toStdString();
  } else {
    if (list(0)) device_.mstrPort = cboData[0]->currentText().toStdString();
    int32_t* codes[] = {&device_.mlngBaudrate, &device_.mlngBitLength, &device_.mlngParity,
                        &device_.mlngStop, &device_.mlngHandShake};
    for (size_t i = 0; i < 5; ++i) {
      if (list(i + 1)) *codes[i] = SelectedCode(cboData[i + 1]);
    }
  }
  int32_t* numbers[] = {&device_.mlngInputBuf, &device_.mlngOutputBuf, &device_.mlngInputSleep,
                        &device_.mlngTimeout};
  for (size_t i = 0; i < 4; ++i) {
    if (box(i)) *numbers[i] = Number(txtData[i]);
  }
  if (device_.mstrDeviceClass == kCashDrawerClass) {
    if (list(6)) device_.mlngOpenLevel = SelectedCode(cboData[6]);
    if (list(7)) device_.mlngConnectorPinNo = SelectedCode(cboData[7]);
    if (box(4)) device_.mlngPulseOnTime = Number(txtData[4]);
    if (box(5)) device_.mlngPulseOffTime = Number(txtData[5]);
  }
  return device_.Save(false);
}

void SettingsDialog::OnTest() { RunDeviceTest(device_, network_); }

void SettingsDialog::OnClose() {
  // Each change was saved as it was made; a store that refused them is reported here once.
  if (!Save()) {
    platform::ui::Current().MessageBox(device_.LastErrorText(), "Confix",
                                       platform::ui::kOk | platform::ui::kIconWarning);
  }
  accept();
}

}  // namespace confix
