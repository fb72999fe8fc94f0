#include "frm_add_device.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "cls_opos.h"
#include "platform/ui_provider.h"
#include "utility_dir.h"
#include "window_placement.h"

namespace confix {

namespace ui = platform::ui;

frmAddDevice::frmAddDevice(clsOPOS& device, QWidget* parent)
    : QDialog(parent), mstrInfDirectory(InfDirectory()), device_(device) {
  setWindowTitle("Add New Device");
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Select Device Type"), 0, 0);
  grid->addWidget(new QLabel("Select Device Name"), 1, 0);
  for (int i = 0; i < 3; ++i) {
    cboData[i] = new QComboBox(this);  // owned also when not laid out
    cboData[i]->setObjectName(QString("cboData%1").arg(i));
    cboData[i]->setMinimumWidth(220);
  }
  grid->addWidget(cboData[0], 0, 1);
  grid->addWidget(cboData[1], 1, 1);
  cboData[2]->setVisible(false);  // the file of each listed type; not for choosing
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  const char* captions[] = {"Browse...", "Cancel", "OK"};
  for (int i = 0; i < 3; ++i) {
    cmdExecute[i] = new QPushButton(captions[i]);
    cmdExecute[i]->setObjectName(QString("cmdExecute%1").arg(i));
  }
  buttons->addWidget(cmdExecute[0]);
  buttons->addStretch();
  buttons->addWidget(cmdExecute[2]);
  buttons->addWidget(cmdExecute[1]);
  cmdExecute[2]->setDefault(true);
  layout->addLayout(buttons);

  chooseFile = [this] {
    return QFileDialog::getOpenFileName(this, "File Open", QString::fromStdString(mstrInfDirectory),
                                        "Device File (*.inf)");
  };
  connect(cboData[0], &QComboBox::activated, this, [this] { OnTypeClicked(); });
  connect(cmdExecute[0], &QPushButton::clicked, this, [this] { OnBrowse(); });
  connect(cmdExecute[1], &QPushButton::clicked, this, [this] { OnCancel(); });
  connect(cmdExecute[2], &QPushButton::clicked, this, [this] { OnOk(); });
}

int frmAddDevice::Show() {
  blnLoad = false;
  // The catalogue lives only while the dialog is shown, however it is closed, so names of
  // files that are gone never show up later.
  DeleteTempCatalogue();
  Scan();
  FilterTypes(types_, mblnFlag);
  ShowTypes();
  FillDeviceNames();
  CentreOnScreen(this);
  int result = exec();
  DeleteTempCatalogue();
  return result;
}

void frmAddDevice::Scan() {
  filList.clear();
  for (const std::string& name : InfFilesIn(mstrInfDirectory)) filList << QString::fromStdString(name);
  types_ = ScanInfFiles(device_, mstrInfDirectory);
}

void frmAddDevice::ShowTypes() {
  blnLoad = true;
  cboData[0]->clear();
  cboData[2]->clear();
  for (size_t i = 0; i < types_.types.size(); ++i) {
    cboData[0]->addItem(QString::fromStdString(types_.types[i]));
    cboData[2]->addItem(QString::fromStdString(types_.paths[i]));
  }
  if (cboData[0]->count() > 0) cboData[0]->setCurrentIndex(0);
  blnLoad = false;
}

void frmAddDevice::FillDeviceNames() {
  cboData[1]->clear();
  for (const std::string& name : DeviceNamesOf(device_, cboData[0]->currentText().toStdString())) {
    cboData[1]->addItem(QString::fromStdString(name));
  }
  if (cboData[1]->count() > 0) cboData[1]->setCurrentIndex(0);
}

void frmAddDevice::OnTypeClicked() {
  if (!blnLoad) FillDeviceNames();
  blnLoad = false;
}

void frmAddDevice::OnBrowse() {
  QString chosen = chooseFile ? chooseFile() : QString();
  if (chosen.isEmpty()) return;  // cancelled: nothing changes
  AddChosenFile(chosen.toStdString());
}

void frmAddDevice::AddChosenFile(const std::string& path) {
  switch (AddInfFile(device_, path, types_)) {
    case BrowseOutcome::NotDeviceFile:
      ui::Current().MessageBox(kNotDeviceFileMessage, "Confix", ui::kOk | ui::kIconWarning);
      return;
    case BrowseOutcome::AlreadyListed:
      ui::Current().MessageBox(kAlreadyListedMessage, "Confix", ui::kOk | ui::kIconWarning);
      return;
    case BrowseOutcome::Added:
      break;
  }
  const std::string added = types_.types.back();
  FilterTypes(types_, mblnFlag);
  ShowTypes();
  int index = cboData[0]->findText(QString::fromStdString(added));
  if (index >= 0) cboData[0]->setCurrentIndex(index);
  FillDeviceNames();
}

void frmAddDevice::OnCancel() {
  cboData[0]->setEnabled(true);
  DeleteTempCatalogue();
  reject();
}

void frmAddDevice::OnOk() {
  cboData[0]->setEnabled(true);
  const int type = cboData[0]->currentIndex();
  if (type >= 0 && type < cboData[2]->count()) {
    cboData[2]->setCurrentIndex(type);
    // An empty name list gives an empty device name, which Read refuses.
    const std::string name = cboData[1]->currentText().toStdString();
    if (!device_.Read(cboData[2]->currentText().toStdString(), name) &&
        (device_.LastError() == EntryError::StoreFailure ||
         device_.LastError() == EntryError::NoFreeName)) {
      ui::Current().MessageBox(device_.LastErrorText(), "Confix", ui::kOk | ui::kIconWarning);
    }
  }
  DeleteTempCatalogue();
  accept();
}

}  // namespace confix
