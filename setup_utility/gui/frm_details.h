// "CONFIX": the details of the selected entry, and the way to its settings and test.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <array>

namespace confix {

class clsOPOS;

class frmDetails : public QDialog {
  Q_OBJECT
 public:
  explicit frmDetails(QWidget* parent);
  // Shows the entry modally; true when "Printer Test And Setting" closed it.
  bool Show(const clsOPOS& device);

  std::array<QLabel*, 6> lblData{};
  QPushButton* cmdTestAndSetting = nullptr;
  QPushButton* cmdOk = nullptr;

 private:
  bool test_and_setting_ = false;
};

}  // namespace confix
