// The settings dialogs of an entry: link, buffer and drawer settings, each change written
// straight back to the registry, and the printer or drawer test. frmTestSetting serves
// serial, parallel and USB entries, frmTestNetSetting network entries.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

namespace confix {

class clsOPOS;

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // Fills the controls from the loaded entry and shows the dialog modally.
  int Show();

  QLabel* lblDeviceName = nullptr;
  std::array<QComboBox*, 8> cboData{};   // 0 to 5 only in the serial dialog
  std::array<QLineEdit*, 6> txtData{};
  std::array<QLineEdit*, 2> txtIP{};     // only in the network dialog
  std::array<QPushButton*, 2> cmdExecute{};  // "Printer &Test", "&Close"

 protected:
  SettingsDialog(clsOPOS& device, bool network, QWidget* parent);

 private:
  void Load();
  void RememberShown();
  bool Save();
  void OnTest();
  void OnClose();

  clsOPOS& device_;
  const bool network_;
  bool loading_ = false;
  // What each control showed when the dialog was filled, and whether the technician has
  // changed it since: only changed controls are written back, so a stored value a control
  // cannot show (Baudrate 9, Stop 2, another network port) is kept.
  std::array<int, 8> shown_index_{};
  std::array<QString, 6> shown_text_;
  std::array<QString, 2> shown_ip_;
  std::array<bool, 8> list_touched_{};
  std::array<bool, 6> box_touched_{};
  std::array<bool, 2> ip_touched_{};
};

class frmTestSetting : public SettingsDialog {
  Q_OBJECT
 public:
  frmTestSetting(clsOPOS& device, QWidget* parent) : SettingsDialog(device, false, parent) {}
};

class frmTestNetSetting : public SettingsDialog {
  Q_OBJECT
 public:
  frmTestNetSetting(clsOPOS& device, QWidget* parent) : SettingsDialog(device, true, parent) {}
};

}  // namespace confix
