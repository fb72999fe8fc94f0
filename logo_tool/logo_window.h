// The window: a picture on the left, the logo as the printer prints it on the right, the
// conversion settings above, saving a BMP and storing in a printer below.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <thread>
#include <vector>

#include "logo_conversion.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace imprex {

class LogoWindow : public QWidget {
  Q_OBJECT

 public:
  explicit LogoWindow(QWidget* parent = nullptr);
  ~LogoWindow() override;

  // Reads a picture file; a bad one leaves the previous picture and shows why.
  bool OpenPicture(const QString& path);
  void SetPicture(const QImage& picture, const QString& name);

  ConvertOptions Options() const;
  void SetOptions(const ConvertOptions& options);
  const MonoLogo& Logo() const { return logo_; }
  QString Message() const;  // the status line

  // Writes the logo as a one-bit BMP; "" or the error (also shown in the status line).
  QString SaveBmp(const QString& path);
  // Stores the logo in the printer named in the printer field, on a worker thread;
  // storeFinished tells the outcome.
  void StoreInPrinter();
  void SetPrinterName(const QString& logical_name);

 signals:
  void storeFinished(bool ok, const QString& message);

 private:
  void BuildControls();
  void Reconvert();
  void ShowMessage(const QString& text, bool trouble);
  void ChooseAndOpen();
  void ChooseAndSave();
  void OnStoreFinished(bool ok, const QString& message);

  QImage picture_;
  QString picture_name_;
  QSize grey_size_;
  std::vector<uint8_t> grey_;  // the picture at logo size, before levels and dithering
  MonoLogo logo_;
  std::thread store_thread_;

  QLabel* file_label_ = nullptr;
  QComboBox* line_box_ = nullptr;
  QSpinBox* width_box_ = nullptr;
  QComboBox* method_box_ = nullptr;
  QSlider* threshold_slider_ = nullptr;
  QSlider* brightness_slider_ = nullptr;
  QSlider* contrast_slider_ = nullptr;
  QLabel* threshold_value_ = nullptr;
  QLabel* brightness_value_ = nullptr;
  QLabel* contrast_value_ = nullptr;
  QLabel* original_view_ = nullptr;
  QLabel* printed_view_ = nullptr;
  QLabel* info_label_ = nullptr;
  QLabel* message_label_ = nullptr;
  QLineEdit* printer_edit_ = nullptr;
  QPushButton* save_button_ = nullptr;
  QPushButton* store_button_ = nullptr;
  bool updating_ = false;
  bool message_is_trouble_ = false;
};

}  // namespace imprex
