#include "logo_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

#include "mono_bmp_writer.h"
#include "nv_store_command.h"
#include "paper_preview.h"
#include "picture_reader.h"
#include "printer_store.h"

namespace imprex {

namespace {

constexpr int kLineWidths[] = {512, 576};
constexpr DitherMethod kMethods[] = {DitherMethod::kThreshold, DitherMethod::kOrdered,
                                     DitherMethod::kFloydSteinberg, DitherMethod::kAtkinson};
constexpr const char* kMethodLabels[] = {"Threshold", "Ordered (Bayer)", "Floyd-Steinberg",
                                         "Atkinson"};

QSlider* Slider(int low, int high, int value) {
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setRange(low, high);
  slider->setValue(value);
  slider->setMinimumWidth(160);
  return slider;
}

QScrollArea* Pane(QLabel* view) {
  auto* area = new QScrollArea;
  view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area->setWidget(view);
  area->setWidgetResizable(false);
  area->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  area->setBackgroundRole(QPalette::Dark);
  area->setFrameShape(QFrame::NoFrame);
  // Small enough for a 1024 x 768 screen; the pane scrolls where the paper is wider.
  area->setMinimumSize(240, 160);
  return area;
}

// A titled pane around a picture view, with thin margins so that a 576-dot line with its
// paper margins shows whole in each of the two panes on a 1280-pixel-wide screen.
QGroupBox* PaneBox(const QString& title, QScrollArea* pane) {
  auto* box = new QGroupBox(title);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(pane);
  return box;
}

// Both panes show the same strip of paper: where one is scrolled, the other follows.
void ScrollTogether(QScrollArea* a, QScrollArea* b) {
  for (auto [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
    QObject::connect(from->horizontalScrollBar(), &QScrollBar::valueChanged,
                     to->horizontalScrollBar(), &QScrollBar::setValue);
    QObject::connect(from->verticalScrollBar(), &QScrollBar::valueChanged,
                     to->verticalScrollBar(), &QScrollBar::setValue);
  }
}

// The window's first size: both panes whole on a till's 1280 x 800 screen, and never more
// than the screen's free area less the window frame.
constexpr QSize kPreferredSize(1264, 720);
constexpr QSize kWindowFrame(8, 34);

QString Grouped(size_t n) { return QLocale(QLocale::English).toString(qulonglong(n)); }

}  // namespace

LogoWindow::LogoWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Imprex - receipt logo");
  BuildControls();
  Reconvert();
}

LogoWindow::~LogoWindow() {
  if (store_thread_.joinable()) store_thread_.join();
}

void LogoWindow::BuildControls() {
  auto* open_button = new QPushButton("&Open picture...");
  file_label_ = new QLabel("No picture yet: open a PNG, JPEG or BMP file.");
  file_label_->setWordWrap(true);  // a long file name must not widen the window
  auto* file_row = new QHBoxLayout;
  file_row->addWidget(open_button);
  file_row->addWidget(file_label_, 1);

  line_box_ = new QComboBox;
  for (int dots : kLineWidths) line_box_->addItem(QString("%1 dots").arg(dots), dots);
  width_box_ = new QSpinBox;
  width_box_->setRange(0, kLineWidths[0]);
  width_box_->setSpecialValueText("the picture's, at most the line");
  width_box_->setSuffix(" dots");
  width_box_->setMinimumWidth(260);
  method_box_ = new QComboBox;
  for (const char* label : kMethodLabels) method_box_->addItem(label);
  method_box_->setCurrentIndex(2);
  threshold_slider_ = Slider(1, 255, 128);
  brightness_slider_ = Slider(-100, 100, 0);
  contrast_slider_ = Slider(-100, 100, 0);
  threshold_value_ = new QLabel;
  brightness_value_ = new QLabel;
  contrast_value_ = new QLabel;
  for (QLabel* value : {threshold_value_, brightness_value_, contrast_value_}) {
    value->setMinimumWidth(32);
  }

  auto* settings = new QGroupBox("Conversion");
  auto* grid = new QGridLayout(settings);
  grid->addWidget(new QLabel("Receipt line:"), 0, 0);
  grid->addWidget(line_box_, 0, 1);
  grid->addWidget(new QLabel("Logo width:"), 1, 0);
  grid->addWidget(width_box_, 1, 1);
  grid->addWidget(new QLabel("Dithering:"), 2, 0);
  grid->addWidget(method_box_, 2, 1);
  grid->setColumnMinimumWidth(2, 24);
  grid->addWidget(new QLabel("Threshold:"), 0, 3);
  grid->addWidget(threshold_slider_, 0, 4);
  grid->addWidget(threshold_value_, 0, 5);
  grid->addWidget(new QLabel("Brightness:"), 1, 3);
  grid->addWidget(brightness_slider_, 1, 4);
  grid->addWidget(brightness_value_, 1, 5);
  grid->addWidget(new QLabel("Contrast:"), 2, 3);
  grid->addWidget(contrast_slider_, 2, 4);
  grid->addWidget(contrast_value_, 2, 5);
  grid->setColumnStretch(6, 1);

  original_view_ = new QLabel;
  printed_view_ = new QLabel;
  // The two panes share the width; the divider between them moves.
  auto* panes = new QSplitter(Qt::Horizontal);
  panes->setChildrenCollapsible(false);
  QScrollArea* original_pane = Pane(original_view_);
  QScrollArea* printed_pane = Pane(printed_view_);
  ScrollTogether(original_pane, printed_pane);
  panes->addWidget(PaneBox("Original", original_pane));
  panes->addWidget(PaneBox("As printed (one pixel a printer dot)", printed_pane));
  panes->setStretchFactor(0, 1);
  panes->setStretchFactor(1, 1);

  info_label_ = new QLabel;
  info_label_->setWordWrap(true);
  save_button_ = new QPushButton("&Save BMP...");
  printer_edit_ = new QLineEdit;
  printer_edit_->setPlaceholderText("logical device name");
  printer_edit_->setMinimumWidth(180);
  store_button_ = new QPushButton("S&tore in printer and print");
  auto* action_row = new QHBoxLayout;
  action_row->addWidget(save_button_);
  action_row->addSpacing(24);
  action_row->addWidget(new QLabel("Printer:"));
  action_row->addWidget(printer_edit_);
  action_row->addWidget(store_button_);
  action_row->addStretch(1);
  message_label_ = new QLabel;
  message_label_->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(file_row);
  layout->addWidget(settings);
  layout->addWidget(panes, 1);
  layout->addWidget(info_label_);
  layout->addLayout(action_row);
  layout->addWidget(message_label_);
  QSize size = kPreferredSize;
  if (const QScreen* on = screen()) size = size.boundedTo(on->availableGeometry().size() - kWindowFrame);
  resize(size.expandedTo(minimumSizeHint()));

  connect(open_button, &QPushButton::clicked, this, &LogoWindow::ChooseAndOpen);
  connect(save_button_, &QPushButton::clicked, this, &LogoWindow::ChooseAndSave);
  connect(store_button_, &QPushButton::clicked, this, &LogoWindow::StoreInPrinter);
  connect(line_box_, &QComboBox::currentIndexChanged, this, [this] {
    width_box_->setMaximum(line_box_->currentData().toInt());
    Reconvert();
  });
  connect(width_box_, &QSpinBox::valueChanged, this, &LogoWindow::Reconvert);
  connect(method_box_, &QComboBox::currentIndexChanged, this, &LogoWindow::Reconvert);
  for (QSlider* slider : {threshold_slider_, brightness_slider_, contrast_slider_}) {
    connect(slider, &QSlider::valueChanged, this, &LogoWindow::Reconvert);
  }
  connect(this, &LogoWindow::storeFinished, this, &LogoWindow::OnStoreFinished);
}

ConvertOptions LogoWindow::Options() const {
  ConvertOptions options;
  options.printer_width = line_box_->currentData().toInt();
  options.width = width_box_->value();
  options.method = kMethods[std::max(method_box_->currentIndex(), 0)];
  options.threshold = threshold_slider_->value();
  options.brightness = brightness_slider_->value();
  options.contrast = contrast_slider_->value();
  return options;
}

void LogoWindow::SetOptions(const ConvertOptions& options) {
  updating_ = true;
  const int line = line_box_->findData(options.printer_width);
  if (line >= 0) line_box_->setCurrentIndex(line);
  width_box_->setMaximum(line_box_->currentData().toInt());
  width_box_->setValue(options.width);
  for (int i = 0; i < 4; ++i) {
    if (kMethods[i] == options.method) method_box_->setCurrentIndex(i);
  }
  threshold_slider_->setValue(options.threshold);
  brightness_slider_->setValue(options.brightness);
  contrast_slider_->setValue(options.contrast);
  updating_ = false;
  Reconvert();
}

bool LogoWindow::OpenPicture(const QString& path) {
  const Picture picture = ReadPictureFile(path);
  if (!picture.ok()) {
    ShowMessage(picture.error, true);
    return false;
  }
  SetPicture(picture.image, QFileInfo(path).fileName());
  return true;
}

void LogoWindow::SetPicture(const QImage& picture, const QString& name) {
  picture_ = picture;
  picture_name_ = name;
  grey_size_ = QSize();
  file_label_->setText(QString("%1: %2 x %3 pixels").arg(name).arg(picture.width()).arg(picture.height()));
  ShowMessage(QString(), false);
  Reconvert();
}

void LogoWindow::Reconvert() {
  if (updating_) return;
  const ConvertOptions options = Options();
  threshold_value_->setNum(options.threshold);
  brightness_value_->setNum(options.brightness);
  contrast_value_->setNum(options.contrast);
  const bool have_picture = !picture_.isNull();
  save_button_->setEnabled(have_picture);
  store_button_->setEnabled(have_picture && !store_thread_.joinable());
  if (!have_picture) {
    logo_ = MonoLogo();
    original_view_->setPixmap(QPixmap::fromImage(PaperWithPicture(QImage(), options.printer_width)));
    printed_view_->setPixmap(QPixmap::fromImage(PaperWithLogo(logo_, options.printer_width)));
    original_view_->adjustSize();
    printed_view_->adjustSize();
    info_label_->setText("The logo appears here as the printer prints it, dot for dot.");
    return;
  }
  QSize size;
  if (const QString error = LogoSize(picture_.size(), options, size); !error.isEmpty()) {
    logo_ = MonoLogo();  // nothing to save or store until the settings fit again
    save_button_->setEnabled(false);
    store_button_->setEnabled(false);
    ShowMessage(error, true);
    return;
  }
  if (message_is_trouble_) ShowMessage(QString(), false);
  if (size != grey_size_) {
    grey_ = GreyAtSize(picture_, size);
    grey_size_ = size;
  }
  std::vector<uint8_t> grey = grey_;
  AdjustLevels(grey, options.brightness, options.contrast);
  logo_.width = size.width();
  logo_.height = size.height();
  logo_.dots = Dither(grey, size.width(), size.height(), options.method, options.threshold);

  const QImage original =
      picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  original_view_->setPixmap(QPixmap::fromImage(PaperWithPicture(original, options.printer_width)));
  printed_view_->setPixmap(QPixmap::fromImage(PaperWithLogo(logo_, options.printer_width)));
  original_view_->adjustSize();
  printed_view_->adjustSize();

  const size_t nv_bytes = NvImageBytes(logo_);
  QString info = QString("Logo %1 x %2 dots, %3 bytes in the printer's NV memory. ")
                     .arg(logo_.width)
                     .arg(logo_.height)
                     .arg(Grouped(nv_bytes));
  info += FitsDownloadArea(logo_)
              ? "PrintBitmap prints the saved BMP dot for dot (Width PTR_BM_ASIS, "
                "RecLetterQuality 1)."
              : "Too large for PrintBitmap dot for dot (at most 1,536 bytes, e.g. 512 x 192 "
                "dots): store it in the printer instead.";
  if (logo_.height > kMaxNvHeight) {
    info += QString(" Too tall for the NV memory (at most %1 dots).").arg(kMaxNvHeight);
  }
  info_label_->setText(info);
}

QString LogoWindow::Message() const { return message_label_->text(); }

void LogoWindow::ShowMessage(const QString& text, bool trouble) {
  message_is_trouble_ = trouble && !text.isEmpty();
  message_label_->setStyleSheet(trouble ? "color: #b00000;" : "");
  message_label_->setText(text);
}

QString LogoWindow::SaveBmp(const QString& path) {
  if (picture_.isNull() || logo_.dots.empty()) return "No logo to save.";
  const QString error = SaveMonoBmp(logo_, path);
  if (error.isEmpty()) {
    ShowMessage(QString("Saved %1 (%2 x %3 dots).").arg(path).arg(logo_.width).arg(logo_.height),
                false);
  } else {
    ShowMessage(error, true);
  }
  return error;
}

void LogoWindow::SetPrinterName(const QString& logical_name) { printer_edit_->setText(logical_name); }

void LogoWindow::StoreInPrinter() {
  const QString name = printer_edit_->text().trimmed();
  if (picture_.isNull() || logo_.dots.empty() || store_thread_.joinable()) return;
  if (name.isEmpty()) {
    ShowMessage("Enter the printer's logical device name first.", true);
    return;
  }
  store_button_->setEnabled(false);
  ShowMessage(QString("Storing the logo in \"%1\"...").arg(name), false);
  // Claiming and writing take a moment; the window stays responsive meanwhile.
  store_thread_ = std::thread([this, name, logo = logo_] {
    const StoreReport report = StoreLogos(name, {logo});
    emit storeFinished(report.ok, report.message);  // queued to the window's thread
  });
}

void LogoWindow::OnStoreFinished(bool ok, const QString& message) {
  if (store_thread_.joinable()) store_thread_.join();
  ShowMessage(message, !ok);
  store_button_->setEnabled(!picture_.isNull());
}

void LogoWindow::ChooseAndOpen() {
  const QString path = QFileDialog::getOpenFileName(this, "Open picture", QString(),
                                                    "Pictures (*.png *.jpg *.jpeg *.bmp)");
  if (!path.isEmpty()) OpenPicture(path);
}

void LogoWindow::ChooseAndSave() {
  QString suggestion = QFileInfo(picture_name_).completeBaseName() + "-logo.bmp";
  const QString path =
      QFileDialog::getSaveFileName(this, "Save logo", suggestion, "One-bit bitmap (*.bmp)");
  if (!path.isEmpty()) SaveBmp(path);
}

}  // namespace imprex
