#include "name_dialogs.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/ui_provider.h"
#include "window_placement.h"

namespace confix {

namespace ui = platform::ui;

namespace {

bool AskRename(const char* what, const std::string& current, const std::string& name) {
  const std::string question = std::string("Renaming ") + what + " from '" + current + "' to '" +
                               name + "' may affect some application settings.\n" +
                               "Do you want to rename it?";
  return ui::Current().MessageBox(question, "Confix", ui::kYesNo | ui::kIconQuestion) == ui::kIdYes;
}

}  // namespace

NameDialog::NameDialog(const char* caption, bool shows_current, const char* new_frame) {
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  if (shows_current) {
    auto* current = new QGroupBox("Current");
    auto* current_layout = new QVBoxLayout(current);
    lblData = new QLabel;
    lblData->setObjectName("lblData");
    lblData->setTextInteractionFlags(Qt::TextSelectableByMouse);
    current_layout->addWidget(lblData);
    layout->addWidget(current);
  }
  auto* frame = new QGroupBox(new_frame);
  auto* frame_layout = new QVBoxLayout(frame);
  txtData = new QLineEdit;
  txtData->setObjectName("txtData");
  txtData->setMinimumWidth(280);
  frame_layout->addWidget(txtData);
  layout->addWidget(frame);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cmdOk = new QPushButton("OK");
  cmdOk->setObjectName("cmdOk");
  cmdCancel = new QPushButton("Cancel");
  cmdCancel->setObjectName("cmdCancel");
  buttons->addWidget(cmdOk);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  connect(txtData, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
  connect(cmdOk, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { OnCancel(); });
}

int NameDialog::Show(QWidget* parent) {
  setParent(parent, Qt::Dialog);
  mblnSuccess = false;
  mblnCancel = false;
  if (lblData) lblData->setText(QString::fromStdString(mstrName));
  txtData->setText(lblData ? QString::fromStdString(mstrName) : QString());
  cmdOk->setEnabled(false);  // until the text is edited
  cmdOk->setDefault(true);
  txtData->setFocus();
  txtData->selectAll();
  CentreOnScreen(this);
  return exec();
}

void NameDialog::UpdateOk() { cmdOk->setEnabled(OkAllowed(txtData->text())); }

void NameDialog::OnOk() {
  mblnCancel = false;
  if (!OkAllowed(txtData->text())) return;
  const std::string name = txtData->text().toStdString();
  if (!Confirm(name)) return;
  mstrName = name;
  mblnSuccess = true;
  accept();
}

void NameDialog::OnCancel() {
  mblnCancel = true;
  reject();
}

frmNewLDN::frmNewLDN() : NameDialog("Add Logical Device Name (LDN)", false, "New LDN") {}

frmRenameKey::frmRenameKey() : NameDialog("Rename Device Name Key", true, "New") {}

bool frmRenameKey::OkAllowed(const QString& text) const {
  return !text.isEmpty() && text.toStdString() != mstrName;
}

bool frmRenameKey::Confirm(const std::string& name) {
  ui::Current().MessageBox("Rename Device Name Key", "Confix", ui::kOk);
  return AskRename("Device Name Key", mstrName, name);
}

frmRenameLDN::frmRenameLDN() : NameDialog("Rename Logical Device Name", true, "New") {}

bool frmRenameLDN::OkAllowed(const QString& text) const {
  return !text.isEmpty() && text.toStdString() != mstrName;
}

bool frmRenameLDN::Confirm(const std::string& name) {
  return AskRename("Logical Device Name", mstrName, name);
}

}  // namespace confix
