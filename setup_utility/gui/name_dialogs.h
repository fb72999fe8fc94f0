// The three small name dialogs of the main window: a new LDN, a new device name key, a new
// name for an LDN. Each showing starts with both result flags false.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

namespace confix {

class NameDialog : public QDialog {
  Q_OBJECT
 public:
  bool mblnSuccess = false;
  bool mblnCancel = false;
  std::string mstrName;  // in: the current name (rename dialogs); out: the new name

  QLineEdit* txtData = nullptr;
  QLabel* lblData = nullptr;  // the current name (rename dialogs)
  QPushButton* cmdOk = nullptr;
  QPushButton* cmdCancel = nullptr;

  // Shows the dialog modally, centred, with the flags cleared.
  int Show(QWidget* parent);

 protected:
  NameDialog(const char* caption, bool shows_current, const char* new_frame);
  virtual bool OkAllowed(const QString& text) const = 0;
  // Asks what the dialog must ask before it takes the name; false keeps it open.
  virtual bool Confirm(const std::string& name) = 0;

 private:
  void OnOk();
  void OnCancel();
  void UpdateOk();
};

class frmNewLDN : public NameDialog {
  Q_OBJECT
 public:
  frmNewLDN();
 protected:
  bool OkAllowed(const QString& text) const override { return !text.isEmpty(); }
  bool Confirm(const std::string&) override { return true; }
};

class frmRenameKey : public NameDialog {
  Q_OBJECT
 public:
  frmRenameKey();
 protected:
  bool OkAllowed(const QString& text) const override;
  bool Confirm(const std::string& name) override;
};

class frmRenameLDN : public NameDialog {
  Q_OBJECT
 public:
  frmRenameLDN();
 protected:
  bool OkAllowed(const QString& text) const override;
  bool Confirm(const std::string& name) override;
};

}  // namespace confix
