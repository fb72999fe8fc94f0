#include "frm_details.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "cls_opos.h"
#include "window_placement.h"

namespace confix {

frmDetails::frmDetails(QWidget* parent) : QDialog(parent) {
  setWindowTitle("CONFIX");
  auto* layout = new QVBoxLayout(this);
  auto* frame = new QGroupBox("Details of Device");
  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(16);
  const char* captions[] = {"Device Class",       "Device Name", "Device Name Key",
                            "Description",        "Device Description", "ADK Version"};
  for (int i = 0; i < 6; ++i) {
    grid->addWidget(new QLabel(captions[i]), i, 0);
    lblData[i] = new QLabel;
    lblData[i]->setObjectName(QString("lblData%1").arg(i));
    lblData[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblData[i]->setMinimumWidth(260);
    lblData[i]->setWordWrap(true);  // a long value takes more lines, never cut
    grid->addWidget(lblData[i], i, 1);
  }
  layout->addWidget(frame);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cmdTestAndSetting = new QPushButton("Printer Test And Setting");
  cmdOk = new QPushButton("OK");
  cmdOk->setDefault(true);
  buttons->addWidget(cmdTestAndSetting);
  buttons->addWidget(cmdOk);
  layout->addLayout(buttons);
  connect(cmdTestAndSetting, &QPushButton::clicked, this, [this] {
    test_and_setting_ = true;
    accept();
  });
  connect(cmdOk, &QPushButton::clicked, this, &QDialog::accept);
}

bool frmDetails::Show(const clsOPOS& device) {
  const std::string values[] = {device.mstrDeviceClass, device.mstrDeviceName,
                                device.mstrKeyName,     device.mstrDescription,
                                device.mstrDeviceDesc,  device.mstrSOName};
  for (int i = 0; i < 6; ++i) lblData[i]->setText(QString::fromStdString(values[i]));
  test_and_setting_ = false;
  CentreOnScreen(this);
  exec();
  return test_and_setting_;
}

}  // namespace confix
