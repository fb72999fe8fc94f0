// The setup utility's main window: the two device classes and their entries as a tree,
// the selected entry's name, description and LDNs, and the nine buttons.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <memory>
#include <string>

#include "cls_opos.h"
#include "frm_add_device.h"
#include "frm_details.h"
#include "name_dialogs.h"

namespace confix {

class SettingsDialog;

class frmConfix : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmConfix(QWidget* parent = nullptr);
  ~frmConfix() override;

  // The entry every window works on.
  clsOPOS gDevice;
  // Where the logo program "Imprex" is looked for (the utility's own folder).
  std::string mstrUtilityDir;

  QTreeWidget* TreeView = nullptr;
  std::array<QLabel*, 3> lblName{};
  std::array<QLabel*, 2> lblData{};
  QComboBox* cboLDN = nullptr;
  std::array<QPushButton*, 9> cmdExecute{};

  frmAddDevice* AddDevice() { return add_device_; }
  frmNewLDN& NewLDN() { return new_ldn_; }
  frmRenameKey& RenameKey() { return rename_key_; }
  frmRenameLDN& RenameLDN() { return rename_ldn_; }
  frmDetails* Details() { return details_; }

  // The node of an entry, or nullptr.
  QTreeWidgetItem* FindEntryNode(const std::string& device_class, const std::string& key);
  QTreeWidgetItem* ClassNode(const std::string& device_class);

 private:
  void FillTree();
  QTreeWidgetItem* AddEntryNode(const std::string& device_class, const std::string& key);
  void ResetSelection();
  void NodeClick(QTreeWidgetItem* node);
  void RunSelectionHandler();
  void OnAddNewDevice();
  void OnRemoveDevice();
  void OnDeviceDetails();
  void OnRenameKey();
  void OnAddNewLdn();
  void OnRemoveLdn();
  void OnRenameLdn();
  void OnFlashLogoSetup();
  void SetEntryColour(bool normal);

  frmAddDevice* add_device_ = nullptr;
  frmDetails* details_ = nullptr;
  frmNewLDN new_ldn_;
  frmRenameKey rename_key_;
  frmRenameLDN rename_ldn_;
};

}  // namespace confix
