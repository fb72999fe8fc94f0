// "Add New Device": picks a device type and one of its device names from the device
// information files beside the utility (or one the user browses to) and creates the entry.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QStringList>
#include <array>
#include <functional>
#include <string>

#include "device_catalogue.h"

namespace confix {

class clsOPOS;

class frmAddDevice : public QDialog {
  Q_OBJECT
 public:
  frmAddDevice(clsOPOS& device, QWidget* parent);

  // Set by the main window: printer types (true) or the drawer type (false).
  bool mblnFlag = true;
  // The folder searched for "*.inf" files.
  std::string mstrInfDirectory;
  // Asks the user for a device information file; empty when cancelled.
  std::function<QString()> chooseFile;

  // Shows the dialog modally: scans, filters, fills the lists.
  int Show();
  // Steps of "Browse..." after a file was chosen.
  void AddChosenFile(const std::string& path);

  QStringList filList;  // the "*.inf" files of the folder
  std::array<QComboBox*, 3> cboData{};  // type list, device name list, path list (hidden)
  std::array<QPushButton*, 3> cmdExecute{};  // "Browse...", "Cancel", "OK"

 private:
  void Scan();
  void FillDeviceNames();
  void ShowTypes();
  void OnTypeClicked();
  void OnBrowse();
  void OnCancel();
  void OnOk();

  clsOPOS& device_;
  TypeList types_;
  bool blnLoad = false;
};

}  // namespace confix
