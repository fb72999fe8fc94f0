// The main window frmFlashwise: connection settings, the firmware file and the upload.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>

#include "flashwise_settings.h"
#include "platform/dispatch.h"
#include "upload_request.h"

namespace flashwise {

class ProgressForm;

class FlashwiseForm : public QWidget {
  Q_OBJECT
 public:
  // `settings_path` is the flashwise.ini the window reads at load and writes at unload;
  // `control` is the upload control (may be null: every upload then fails).
  FlashwiseForm(std::string settings_path, platform::automation::DispatchPtr control,
                QWidget* parent = nullptr);
  ~FlashwiseForm() override;  // unloading writes the settings

  // Controls by their names, for tests.
  QComboBox* cboPrinter;
  QComboBox* cboPort;
  QComboBox* cboBaudRate;
  QComboBox* cboBitLength;
  QComboBox* cboParity;
  QComboBox* cboStopBit;
  QComboBox* cboHandShake;
  QLineEdit* txtIP;
  QLineEdit* txtPORT;
  QLineEdit* txtFileName;
  QPushButton* cmdSearch;
  QPushButton* cmdUpload;
  QPushButton* cmdClose;
  QGroupBox* fraAbout;

  // Replaces the file dialog of Search (tests): returns the chosen path, empty when
  // cancelled.
  std::function<QString(QWidget* parent, const QString& dir, const QString& filter)> choose_file;
  // Called with the progress window while it is shown (tests take its picture here).
  std::function<void(ProgressForm&)> on_progress_shown;

  void Search();
  void Upload();
  // The port choice rules for the port now chosen.
  void ApplyPortChoice();
  FlashwiseSettings CurrentSettings() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void LoadSettings();
  void SaveSettings();

  std::string settings_path_;
  platform::automation::DispatchPtr control_;
  bool saved_ = false;
};

}  // namespace flashwise
