// The Flashwise windows on the offscreen platform: loading from the settings file, the
// port rules, search, the upload to the virtual printer and its messages, and saving.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "flashwise_form.h"
#include "platform/registry.h"
#include "platform/ui_scripted.h"
#include "progress_form.h"
#include "test_support/temp_registry.h"
#include "ui_qt/qt_ui_provider.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"
#include "window_fit.h"

namespace flashwise {
namespace {

namespace ui = platform::ui;

// The window fits a 1280 x 800 and a 1024 x 768 screen, pictured at both sizes.
::testing::AssertionResult Fits(QWidget& window, const QString& name) {
  return ui_qt::FitsScreens(window, REPOSITORY_ROOT, name);
}

class FlashwiseWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test_support::RegisterServerLibrary(FLASHWISE_CONTROL_PATH));
    previous_ui_ = ui::Install(scripted_);
    ini_ = registry_.Dir() + "/flashwise.ini";
    firmware_ = registry_.Dir() + "/printer.bin";
    std::ofstream(firmware_, std::ios::binary) << std::string(3000, 'F');
  }
  void TearDown() override { ui::Install(previous_ui_); }

  void WriteIni(const std::string& body) { std::ofstream(ini_) << "[LOGO]\n" << body; }

  std::unique_ptr<FlashwiseForm> Load() {
    std::string error;
    auto form = std::make_unique<FlashwiseForm>(ini_, CreateUploadControl(error));
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }

  std::vector<ui::ScriptedProvider::Call> Boxes() const { return scripted_->Calls(); }

  test_support::TempRegistry registry_{"flashwise-ui"};
  std::shared_ptr<ui::ScriptedProvider> scripted_ = std::make_shared<ui::ScriptedProvider>();
  std::shared_ptr<ui::Provider> previous_ui_;
  std::string ini_, firmware_;
};

TEST_F(FlashwiseWindowTest, LoadsTheSettingsFile) {
  WriteIni("Port=3\nIP=10.0.0.7\nBaudRate=2\nParity=1\nFirmWare=" + firmware_ + "\n");
  auto form = Load();
  EXPECT_EQ(form->windowTitle(), "Firmware Setup 2.15");
  EXPECT_EQ(form->cboPrinter->currentText(), "Thermal");
  EXPECT_EQ(form->cboPort->currentText(), "TCP/IP");
  EXPECT_EQ(form->cboBaudRate->currentText(), "9600 bps");
  EXPECT_EQ(form->cboParity->currentText(), "EVEN");
  EXPECT_EQ(form->txtIP->text(), "10.0.0.7");
  EXPECT_EQ(form->txtPORT->text(), "9100");
  EXPECT_EQ(form->txtFileName->text().toStdString(), firmware_);
  EXPECT_TRUE(form->txtFileName->isReadOnly());
  EXPECT_FALSE(form->fraAbout->isVisible());
  // TCP/IP: the serial lists off, the address on, the port number always off.
  EXPECT_FALSE(form->cboBaudRate->isEnabled());
  EXPECT_FALSE(form->cboHandShake->isEnabled());
  EXPECT_TRUE(form->txtIP->isEnabled());
  EXPECT_FALSE(form->txtPORT->isEnabled());
  EXPECT_TRUE(Fits(*form, "flashwise-frmFlashwise"));
}

TEST_F(FlashwiseWindowTest, BadStoredValuesAndAVanishedFile) {
  for (const char* port : {"99", "TCP", "-2"}) {
    WriteIni(std::string("Port=") + port + "\nFirmWare=" + registry_.Dir() + "/gone.bin\n");
    auto form = Load();
    EXPECT_EQ(form->cboPort->currentText(), "LPT1") << port;
    EXPECT_TRUE(form->txtFileName->text().isEmpty());
    form->Upload();
  }
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Search firemware file.");
  EXPECT_EQ(boxes[0].caption, "Firmware Setup 2.15");
  EXPECT_EQ(boxes[0].flags & ui::kIconMask, ui::kIconWarning);
}

TEST_F(FlashwiseWindowTest, PortChoiceRules) {
  auto form = Load();
  auto choose = [&](const QString& port) {
    form->cboPort->setCurrentText(port);
    form->ApplyPortChoice();
  };
  choose("USB");
  EXPECT_FALSE(form->cboBaudRate->isEnabled());
  EXPECT_FALSE(form->cboParity->isEnabled());
  EXPECT_FALSE(form->txtIP->isEnabled());
  choose("COM5");
  for (QComboBox* box : {form->cboBaudRate, form->cboBitLength, form->cboParity, form->cboStopBit,
                         form->cboHandShake})
    EXPECT_TRUE(box->isEnabled());
  EXPECT_FALSE(form->txtIP->isEnabled());
  EXPECT_FALSE(form->txtPORT->isEnabled());
  EXPECT_TRUE(Fits(*form, "flashwise-frmFlashwise-com5"));
  choose("LPT2");
  EXPECT_FALSE(form->cboStopBit->isEnabled());
}

TEST_F(FlashwiseWindowTest, SearchTakesTheChosenFileOrNothing) {
  auto form = Load();
  QString filter;
  form->choose_file = [&](QWidget*, const QString&, const QString& f) {
    filter = f;
    return QString::fromStdString(firmware_);
  };
  form->Search();
  EXPECT_EQ(filter, "FirmWare File (*.bin)");
  EXPECT_EQ(form->txtFileName->text().toStdString(), firmware_);
  form->choose_file = [](QWidget*, const QString&, const QString&) { return QString(); };
  form->Search();
  EXPECT_TRUE(form->txtFileName->text().isEmpty());
}

// Upload to the virtual printer on "COM5", declined once, then confirmed; then over a
// pulled cable. The settings are written when the window closes.
TEST_F(FlashwiseWindowTest, UploadToTheVirtualPrinterAndOverABrokenLink) {
  vdev::VirtualPrinter printer;
  vdev::PtyAttachment pty(printer, registry_.Dir() + "/ttyFW");
  std::string error;
  ASSERT_TRUE(pty.Start(error)) << error;
  {
    namespace reg = platform::registry;
    reg::Key map;
    ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine, "SOFTWARE\\OLEforRetail\\PortMap", map),
              reg::kSuccess);
    ASSERT_EQ(map.SetString("COM5", pty.LinkPath()), reg::kSuccess);
  }
  WriteIni("Port=8\nBaudRate=2\nFirmWare=" + firmware_ + "\n");
  auto form = Load();
  ASSERT_EQ(form->cboPort->currentText(), "COM5");

  scripted_->Press(ui::kIdNo);
  form->Upload();
  EXPECT_EQ(printer.FirmwareSummary(), "firmware: none");

  bool progress_seen = false;
  form->on_progress_shown = [&](ProgressForm& progress) {
    progress_seen = true;
    EXPECT_EQ(progress.windowTitle(), "Firmware Setup 2.15");
    EXPECT_FALSE(progress.isModal());
    EXPECT_TRUE(progress.IsShown());
    EXPECT_TRUE(Fits(progress, "flashwise-frmProgress"));
  };
  scripted_->Press(ui::kIdYes);
  form->Upload();
  EXPECT_TRUE(progress_seen);
  EXPECT_EQ(printer.FirmwareSummary().rfind("firmware: 3000 bytes", 0), 0u)
      << printer.FirmwareSummary();

  std::string reply;
  pty.Command("disconnect", reply);
  scripted_->Press(ui::kIdYes);
  form->Upload();

  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[0].text,
            "Firmware file is written in the flash memory of the device. Continue it?");
  EXPECT_EQ(boxes[0].flags & ui::kButtonMask, ui::kYesNo);
  EXPECT_EQ(boxes[2].text,
            "Upload finished, and Writing of firmware file completed.\r\n"
            "firmware becomes available after the reset of a device.");
  EXPECT_EQ(boxes[2].flags & ui::kIconMask, ui::kIconInformation);
  EXPECT_EQ(boxes[4].text, "Communication error. Can not be transmitted.");
  EXPECT_EQ(boxes[4].flags & ui::kIconMask, ui::kIconWarning);
  for (const auto& box : boxes) EXPECT_EQ(box.caption, "Firmware Setup 2.15");

  form->txtIP->setText("192.168.0.9");
  form->close();
  std::ifstream in(ini_);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* line : {"Printer=0", "Port=8", "BaudRate=2", "BitLength=0", "Parity=0",
                           "StopBit=0", "HandShake=0", "IP=192.168.0.9"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
  EXPECT_NE(saved.find("FirmWare=" + firmware_), std::string::npos) << saved;
  pty.Stop();
}

// The messages as the window system shows them: the missing file, the confirmation
// (answered No), and both results.
TEST_F(FlashwiseWindowTest, MessageBoxesOnScreen) {
  auto form = Load();
  form->txtFileName->setText(QString::fromStdString(firmware_));
  auto scripted = ui::Install(ui_qt::MakeQtProvider());
  const char* names[] = {"flashwise-confirm-upload", "flashwise-upload-finished",
                         "flashwise-communication-error", "flashwise-search-warning"};
  int shown = 0;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || shown >= 4) return;
    EXPECT_EQ(box->windowTitle(), "Firmware Setup 2.15");
    EXPECT_TRUE(Fits(*box, names[shown++]));
    if (QAbstractButton* no = box->button(QMessageBox::No)) {
      no->click();
    } else {
      box->button(QMessageBox::Ok)->click();
    }
  });
  watcher.start(50);
  form->Upload();  // asks, and is answered No
  for (int result : {0, -3}) {
    const auto message = MessageForResult(result);
    ui::Current().MessageBox(
        message->text, "Firmware Setup 2.15",
        ui::kOk | (message->warning ? ui::kIconWarning : ui::kIconInformation));
  }
  form->txtFileName->clear();
  form->Upload();  // no file chosen
  watcher.stop();
  EXPECT_EQ(shown, 4);
  ui::Install(scripted);
}

}  // namespace
}  // namespace flashwise
