#include "frm_confix.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QApplication>
#include <QShortcut>
#include <QProcess>
#include <QStyle>
#include <QVBoxLayout>

#include "device_kinds.h"
#include "frm_test_setting.h"
#include "mod_regedit.h"
#include "platform/ui_provider.h"
#include "utility_dir.h"
#include "window_placement.h"

namespace confix {

namespace ui = platform::ui;

namespace {

const QColor kGrey(128, 128, 128);
constexpr const char* kCaption = "Confix";

bool IsClassNode(const QTreeWidgetItem* node) {
  return node && node->parent() == nullptr;
}

std::string KeyOf(const QTreeWidgetItem* node) { return node->text(0).toStdString(); }

}  // namespace

frmConfix::frmConfix(QWidget* parent)
    : QMainWindow(parent), mstrUtilityDir(UtilityDirectory()) {
  setWindowTitle("OLE ZERI ZIZ Version 2.15");
  add_device_ = new frmAddDevice(gDevice, this);
  details_ = new frmDetails(this);

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  TreeView = new QTreeWidget;
  TreeView->setObjectName("TreeView");
  TreeView->setHeaderHidden(true);
  TreeView->setMinimumSize(240, 300);
  layout->addWidget(TreeView, 1);

  auto* right = new QVBoxLayout;
  auto* info = new QGridLayout;
  const char* names[] = {"Device Name", "Device Description", "Logical Device Name(LDN)"};
  for (int i = 0; i < 3; ++i) {
    lblName[i] = new QLabel(names[i]);
    info->addWidget(lblName[i], i, 0);
  }
  for (int i = 0; i < 2; ++i) {
    lblData[i] = new QLabel;
    lblData[i]->setObjectName(QString("lblData%1").arg(i));
    lblData[i]->setFrameShape(QFrame::StyledPanel);
    lblData[i]->setMinimumWidth(280);
    lblData[i]->setWordWrap(true);  // a long description takes a second line, never cut
    info->addWidget(lblData[i], i, 1);
  }
  cboLDN = new QComboBox;
  cboLDN->setObjectName("cboLDN");
  info->addWidget(cboLDN, 2, 1);
  right->addLayout(info);

  const char* captions[] = {"&Add New Device", "Re&move Device", "Device &Details",
                            "&Rename Key",     "Add &New LDN",   "Remo&ve LDN",
                            "R&ename LDN",     "E&xit",          "Flash Logo Setup"};
  auto* buttons = new QGridLayout;
  for (int i = 0; i < 9; ++i) {
    cmdExecute[i] = new QPushButton(captions[i]);
    cmdExecute[i]->setObjectName(QString("cmdExecute%1").arg(i));
  }
  // Entry buttons in two columns, then the logo program and Exit.
  for (int i = 0; i < 7; ++i) buttons->addWidget(cmdExecute[i], i / 2, i % 2);
  buttons->addWidget(cmdExecute[8], 4, 0);
  buttons->addWidget(cmdExecute[7], 4, 1);
  right->addSpacing(8);
  right->addLayout(buttons);
  right->addStretch();
  layout->addLayout(right);
  setCentralWidget(central);

  connect(TreeView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { NodeClick(node); });
  connect(cmdExecute[0], &QPushButton::clicked, this, [this] { OnAddNewDevice(); });
  connect(cmdExecute[1], &QPushButton::clicked, this, [this] { OnRemoveDevice(); });
  connect(cmdExecute[2], &QPushButton::clicked, this, [this] { OnDeviceDetails(); });
  connect(cmdExecute[3], &QPushButton::clicked, this, [this] { OnRenameKey(); });
  connect(cmdExecute[4], &QPushButton::clicked, this, [this] { OnAddNewLdn(); });
  connect(cmdExecute[5], &QPushButton::clicked, this, [this] { OnRemoveLdn(); });
  connect(cmdExecute[6], &QPushButton::clicked, this, [this] { OnRenameLdn(); });
  connect(cmdExecute[7], &QPushButton::clicked, this, [this] { close(); });
  connect(cmdExecute[8], &QPushButton::clicked, this, [this] { OnFlashLogoSetup(); });
  // The Delete key on an entry node removes that entry, after the same question.
  auto* delete_key = new QShortcut(QKeySequence::Delete, TreeView, nullptr, nullptr,
                                   Qt::WidgetShortcut);
  connect(delete_key, &QShortcut::activated, this, [this] {
    if (cmdExecute[1]->isEnabled()) OnRemoveDevice();
  });

  gDevice.Clear();
  FillTree();
  ResetSelection();
  CentreOnScreen(this);
}

frmConfix::~frmConfix() = default;

QTreeWidgetItem* frmConfix::ClassNode(const std::string& device_class) {
  for (int i = 0; i < TreeView->topLevelItemCount(); ++i) {
    if (KeyOf(TreeView->topLevelItem(i)) == device_class) return TreeView->topLevelItem(i);
  }
  return nullptr;
}

QTreeWidgetItem* frmConfix::FindEntryNode(const std::string& device_class, const std::string& key) {
  QTreeWidgetItem* parent = ClassNode(device_class);
  for (int i = 0; parent && i < parent->childCount(); ++i) {
    if (KeyOf(parent->child(i)) == key) return parent->child(i);
  }
  return nullptr;
}

QTreeWidgetItem* frmConfix::AddEntryNode(const std::string& device_class, const std::string& key) {
  QTreeWidgetItem* parent = ClassNode(device_class);
  // Nodes are found within their class, so one name under both classes gets two nodes;
  // the same name twice under one class is not added again.
  if (!parent || FindEntryNode(device_class, key)) return nullptr;
  auto* node = new QTreeWidgetItem(parent, {QString::fromStdString(key)});
  // Images 2 and 4 of the tree: printer and drawer entries.
  node->setIcon(0, style()->standardIcon(device_class == std::string(kPosPrinterClass)
                                             ? QStyle::SP_FileIcon
                                             : QStyle::SP_FileLinkIcon));
  clsOPOS entry;
  entry.Load(device_class, key);
  if (!HasKitConfiguration(device_class, entry.mstrADKConfig)) node->setForeground(0, kGrey);
  return node;
}

void frmConfix::FillTree() {
  TreeView->clear();
  platform::registry::Status failure = platform::registry::kSuccess;
  for (const char* device_class : {kPosPrinterClass, kCashDrawerClass}) {
    auto* node = new QTreeWidgetItem(TreeView, {device_class});
    node->setIcon(0, style()->standardIcon(device_class == std::string(kPosPrinterClass)
                                               ? QStyle::SP_DirIcon
                                               : QStyle::SP_DriveHDIcon));
    platform::registry::Status status;
    for (const std::string& key : modRegedit::RegEnumSubKeys(ClassKeyPath(device_class), &status)) {
      AddEntryNode(device_class, key);
    }
    if (failure == platform::registry::kSuccess) failure = status;
    node->setExpanded(true);
  }
  // An unreadable store must not look like one without entries.
  if (failure != platform::registry::kSuccess) {
    ui::Current().MessageBox(
        "The device entries cannot be read: " + platform::registry::LastErrorMessage(), kCaption,
        ui::kOk | ui::kIconWarning);
  }
}

void frmConfix::ResetSelection() {
  lblData[0]->clear();
  lblData[1]->clear();
  cboLDN->clear();
  cboLDN->setEnabled(false);
  for (int i = 0; i <= 6; ++i) cmdExecute[i]->setEnabled(false);
  TreeView->clearSelection();
  TreeView->setCurrentItem(nullptr);
}

void frmConfix::SetEntryColour(bool normal) {
  for (QWidget* w : std::initializer_list<QWidget*>{lblData[0], lblData[1], cboLDN}) {
    QPalette palette = w->palette();
    QColor colour = normal ? QApplication::palette().color(QPalette::ButtonText) : kGrey;
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    w->setPalette(palette);
  }
}

void frmConfix::NodeClick(QTreeWidgetItem* node) {
  if (!node) return;
  add_device_->mblnFlag = KeyOf(node) == kPosPrinterClass;
  if (IsClassNode(node)) {
    gDevice.Clear();
    cmdExecute[0]->setEnabled(true);
    for (int i = 1; i <= 6; ++i) cmdExecute[i]->setEnabled(false);
    lblData[0]->clear();
    lblData[1]->clear();
    cboLDN->clear();
  } else {
    cmdExecute[0]->setEnabled(false);
    for (int i = 1; i <= 6; ++i) cmdExecute[i]->setEnabled(true);
    SetEntryColour(true);
    gDevice.Load(KeyOf(node->parent()), KeyOf(node));
    lblData[0]->setText(QString::fromStdString(gDevice.mstrDeviceName));
    lblData[1]->setText(QString::fromStdString(gDevice.mstrDeviceDesc));
    cboLDN->clear();
    for (const std::string& ldn : gDevice.OwnLDNs()) cboLDN->addItem(QString::fromStdString(ldn));
    const bool has_ldn = cboLDN->count() > 0;
    if (has_ldn) cboLDN->setCurrentIndex(0);
    cmdExecute[4]->setEnabled(true);
    cmdExecute[5]->setEnabled(has_ldn);
    cmdExecute[6]->setEnabled(has_ldn);
    if (!IsRecognisedDeviceName(gDevice.mstrDeviceName)) {
      cmdExecute[0]->setEnabled(true);
      cmdExecute[1]->setEnabled(true);
      for (int i = 2; i <= 6; ++i) cmdExecute[i]->setEnabled(false);
      SetEntryColour(false);
    }
  }
  cboLDN->setEnabled(cboLDN->count() > 0);
}

void frmConfix::RunSelectionHandler() {
  if (QTreeWidgetItem* node = TreeView->currentItem()) NodeClick(node);
}

void frmConfix::OnAddNewDevice() {
  add_device_->Show();
  QTreeWidgetItem* node = nullptr;
  if (gDevice.mstrDeviceClass == kPosPrinterClass || gDevice.mstrDeviceClass == kCashDrawerClass) {
    node = AddEntryNode(gDevice.mstrDeviceClass, gDevice.mstrKeyName);
  }
  if (node) RunSelectionHandler();
  ResetSelection();
}

void frmConfix::OnRemoveDevice() {
  const std::string question =
      "Do you want to remove all of information about '" + gDevice.mstrKeyName + "'?";
  if (ui::Current().MessageBox(question, kCaption, ui::kYesNo | ui::kIconQuestion) != ui::kIdYes) {
    return;
  }
  const std::string device_class = gDevice.mstrDeviceClass;
  const std::string key = gDevice.mstrKeyName;
  if (!gDevice.Remove()) {
    ui::Current().MessageBox(gDevice.LastErrorText(), kCaption, ui::kOk | ui::kIconWarning);
    return;
  }
  delete FindEntryNode(device_class, key);
  RunSelectionHandler();
  ResetSelection();
}

void frmConfix::OnDeviceDetails() {
  if (!details_->Show(gDevice)) return;
  if (IsNetworkEntry(gDevice)) {
    frmTestNetSetting dialog(gDevice, this);
    dialog.Show();
  } else {
    frmTestSetting dialog(gDevice, this);
    dialog.Show();
  }
}

void frmConfix::OnRenameKey() {
  rename_key_.mstrName = gDevice.mstrKeyName;
  rename_key_.Show(this);
  if (!rename_key_.mblnSuccess) return;
  const std::string device_class = gDevice.mstrDeviceClass;
  const std::string old_key = gDevice.mstrKeyName;
  if (!gDevice.RenameKey(rename_key_.mstrName)) {
    ui::Current().MessageBox(gDevice.LastErrorText(), kCaption, ui::kOk | ui::kIconWarning);
    return;
  }
  delete FindEntryNode(device_class, old_key);
  if (QTreeWidgetItem* node = AddEntryNode(device_class, gDevice.mstrKeyName)) {
    TreeView->setCurrentItem(node);
  }
  RunSelectionHandler();
  ResetSelection();
}

void frmConfix::OnAddNewLdn() {
  new_ldn_.Show(this);
  if (new_ldn_.mblnSuccess) {
    if (gDevice.AddLDN(new_ldn_.mstrName)) {
      RunSelectionHandler();
    } else {
      ui::Current().MessageBox(gDevice.LastErrorText(), kCaption, ui::kOk);
    }
  }
  if (!new_ldn_.mblnCancel) ResetSelection();
}

void frmConfix::OnRemoveLdn() {
  const std::string ldn = cboLDN->currentText().toStdString();
  const std::string question =
      "Logical Device Name '" + ldn + "' is currently used. Do you want to remove it?";
  if (ui::Current().MessageBox(question, kCaption, ui::kYesNo | ui::kIconQuestion) != ui::kIdYes) {
    return;
  }
  if (!gDevice.RemoveLDN(ldn)) {
    ui::Current().MessageBox(gDevice.LastErrorText(), kCaption, ui::kOk | ui::kIconWarning);
  }
  RunSelectionHandler();
  ResetSelection();
}

void frmConfix::OnRenameLdn() {
  const std::string current = cboLDN->currentText().toStdString();
  rename_ldn_.mstrName = current;
  rename_ldn_.Show(this);
  if (rename_ldn_.mblnSuccess) {
    if (gDevice.RenameLDN(current, rename_ldn_.mstrName)) {
      RunSelectionHandler();
    } else {
      ui::Current().MessageBox(gDevice.LastErrorText(), kCaption, ui::kOk);
    }
  }
  if (!rename_ldn_.mblnCancel) ResetSelection();
}

void frmConfix::OnFlashLogoSetup() {
  const QString program = QString::fromStdString(mstrUtilityDir) + "/Imprex";
  QFileInfo info(program);
  if (!info.isFile() || !info.isExecutable() || !QProcess::startDetached(program, {})) {
    ui::Current().MessageBox("The logo program Imprex could not be started: it is not in " +
                                 mstrUtilityDir + " or cannot be run.",
                             "Flash Logo Setup", ui::kOk | ui::kIconWarning);
  }
}

}  // namespace confix
