// The windows on Qt's offscreen platform: clicks through adding, renaming, LDNs and the
// settings dialogs, checking the registry afterwards; every window fits a 1280 x 800 and a
// 1024 x 768 screen, with screenshots at both sizes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cls_opos.h"
#include "frm_confix.h"
#include "frm_test_setting.h"
#include "mod_regedit.h"
#include "platform/registry.h"
#include "platform/ui_scripted.h"
#include "printer_fixture.h"
#include "qt_message_provider.h"
#include "test_support/temp_registry.h"
#include "window_fit.h"

namespace confix {
namespace {

using namespace modRegedit;
namespace ui = platform::ui;

const std::string kPrinters = kPosPrinterKeyPath;
const std::string kDrawers = kCashDrawerKeyPath;

// Every window fits a 1280 x 800 and a 1024 x 768 screen, pictured at both sizes.
::testing::AssertionResult Fits(QWidget* window, const char* name) {
  return ui_qt::FitsScreens(*window, REPOSITORY_ROOT, name);
}

// Runs `action` on the modal dialog of type T as soon as it shows; fails the test when
// none shows within the limit.
template <class T>
void WhenShown(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  auto deadline = std::make_shared<int>(250);
  QObject::connect(timer, &QTimer::timeout, [timer, action, deadline] {
    T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog && --*deadline > 0) return;
    timer->stop();
    timer->deleteLater();
    if (!dialog) {
      ADD_FAILURE() << "no " << T::staticMetaObject.className() << " was shown";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    action(dialog);
  });
  timer->start(20);
}

class ConfixWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    provider_ = std::make_shared<ui::ScriptedProvider>();
    previous_ = ui::Install(provider_);
  }
  void TearDown() override {
    window_.reset();
    ui::Install(previous_);
  }
  frmConfix& Open() {
    window_ = std::make_unique<frmConfix>();
    window_->AddDevice()->mstrInfDirectory = OPOS_BUILD_BIN;
    window_->mstrUtilityDir = registry_.Dir();
    window_->resize(window_->sizeHint());
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    return *window_;
  }
  void Click(QTreeWidgetItem* node) {
    ASSERT_NE(node, nullptr);
    QTreeWidget* tree = window_->TreeView;
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
  }
  void ClickEntry(const std::string& device_class, const std::string& key) {
    Click(window_->FindEntryNode(device_class, key));
  }
  std::vector<bool> Enabled() {
    std::vector<bool> state;
    for (QPushButton* b : window_->cmdExecute) state.push_back(b->isEnabled());
    return state;
  }
  // Adds `device_name` through the Add New Device dialog from the class node.
  void AddThroughDialog(const std::string& device_class, const std::string& type,
                        const std::string& device_name) {
    Click(window_->ClassNode(device_class));
    WhenShown<frmAddDevice>([=](frmAddDevice* d) {
      d->cboData[0]->setCurrentText(QString::fromStdString(type));
      emit d->cboData[0]->activated(d->cboData[0]->currentIndex());
      d->cboData[1]->setCurrentText(QString::fromStdString(device_name));
      QTest::mouseClick(d->cmdExecute[2], Qt::LeftButton);
    });
    QTest::mouseClick(window_->cmdExecute[0], Qt::LeftButton);
  }
  std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const auto& call : provider_->Calls()) texts.push_back(call.text);
    return texts;
  }

  test_support::TempRegistry registry_{"confix-gui"};
  std::shared_ptr<ui::ScriptedProvider> provider_;
  std::shared_ptr<ui::Provider> previous_;
  std::unique_ptr<frmConfix> window_;
};

TEST_F(ConfixWindows, AnEmptyRegistryShowsTheTwoClassesAndOnlyExitAndLogoEnabled) {
  frmConfix& w = Open();
  EXPECT_EQ(w.windowTitle(), "OLE ZERI ZIZ Version 2.15");
  ASSERT_EQ(w.TreeView->topLevelItemCount(), 2);
  EXPECT_EQ(w.TreeView->topLevelItem(0)->text(0), "POSPrinter");
  EXPECT_EQ(w.TreeView->topLevelItem(1)->text(0), "CashDrawer");
  EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false, false, false, false, true, true}));
  EXPECT_FALSE(w.cboLDN->isEnabled());
  Click(w.ClassNode("POSPrinter"));
  EXPECT_EQ(Enabled(), (std::vector<bool>{true, false, false, false, false, false, false, true, true}));
  EXPECT_TRUE(Fits(&w, "confix-main-empty"));
}

TEST_F(ConfixWindows, AddingOffersTheClassesTypesAndSuffixesASecondEntry) {
  frmConfix& w = Open();
  Click(w.ClassNode("POSPrinter"));
  WhenShown<frmAddDevice>([](frmAddDevice* d) {
    EXPECT_EQ(d->windowTitle(), "Add New Device");
    QStringList types;
    for (int i = 0; i < d->cboData[0]->count(); ++i) types << d->cboData[0]->itemText(i);
    EXPECT_EQ(types, (QStringList{"RevUduzo2", "RevUduzo3", "RevUduzo4", "Thermal"}));
    EXPECT_EQ(d->cboData[1]->count(), 3);  // RevUduzo2 S, P, U
    d->cboData[0]->setCurrentText("Thermal");
    emit d->cboData[0]->activated(3);
    EXPECT_EQ(d->cboData[1]->count(), 4);
    EXPECT_EQ(d->cboData[1]->itemText(3), "ThermalN");
    EXPECT_TRUE(Fits(d, "confix-add-device"));
    QTest::mouseClick(d->cmdExecute[1], Qt::LeftButton);  // Cancel
  });
  QTest::mouseClick(w.cmdExecute[0], Qt::LeftButton);
  EXPECT_TRUE(RegEnumSubKeys(kPrinters).empty());
  EXPECT_FALSE(RegKeyExists(kTempCataloguePath));

  AddThroughDialog("POSPrinter", "Thermal", "ThermalS");
  AddThroughDialog("POSPrinter", "Thermal", "ThermalS");
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"ThermalS", "ThermalS_2"}));
  EXPECT_NE(w.FindEntryNode("POSPrinter", "ThermalS_2"), nullptr);
  EXPECT_FALSE(RegKeyExists(kTempCataloguePath));
  EXPECT_EQ(Enabled()[0], false);  // nothing selected after a completed add

  Click(w.ClassNode("CashDrawer"));
  WhenShown<frmAddDevice>([](frmAddDevice* d) {
    EXPECT_EQ(d->cboData[0]->count(), 1);
    EXPECT_EQ(d->cboData[0]->itemText(0), "Standard");
    QTest::mouseClick(d->cmdExecute[2], Qt::LeftButton);  // OK: the first name, StandardS
  });
  QTest::mouseClick(w.cmdExecute[0], Qt::LeftButton);
  EXPECT_EQ(RegReadDword(kDrawers + "\\StandardS", "ConnectorPinNo"), 2);
  EXPECT_NE(w.FindEntryNode("CashDrawer", "StandardS"), nullptr);
}

TEST_F(ConfixWindows, BrowsingRefusesFilesThatAreNoDeviceFilesOrListedAlready) {
  frmConfix& w = Open();
  const std::string bad = registry_.Dir() + "/bad.inf";
  std::ofstream(bad) << "[SMAIN]\nDeviceName=BadS\n";
  const std::string extra = registry_.Dir() + "/Extra.inf";
  std::ofstream(extra) << "[COMMNumber]\nCnumber=1\n[SMAIN]\nDeviceClass=POSPrinter\n"
                          "DeviceName=ExtraS\n";
  Click(w.ClassNode("POSPrinter"));
  WhenShown<frmAddDevice>([&](frmAddDevice* d) {
    d->chooseFile = [&] { return QString::fromStdString(bad); };
    QTest::mouseClick(d->cmdExecute[0], Qt::LeftButton);
    d->chooseFile = [] { return QString(OPOS_BUILD_BIN "/Thermal.inf"); };
    QTest::mouseClick(d->cmdExecute[0], Qt::LeftButton);
    d->chooseFile = [&] { return QString::fromStdString(extra); };
    QTest::mouseClick(d->cmdExecute[0], Qt::LeftButton);
    EXPECT_EQ(d->cboData[0]->currentText(), "Extra");
    EXPECT_EQ(d->cboData[1]->currentText(), "ExtraS");
    QTest::mouseClick(d->cmdExecute[2], Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[0], Qt::LeftButton);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"File information is Different. This job is Cancel.",
                                                      "This Device has already been used."}));
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"ExtraS"}));
  // Not one of the kit's device names: grey, only adding and removing offered.
  ClickEntry("POSPrinter", "ExtraS");
  EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, false, false, false, false, false, true, true}));
  EXPECT_EQ(w.lblData[0]->palette().color(QPalette::WindowText), QColor(128, 128, 128));
  EXPECT_EQ(w.FindEntryNode("POSPrinter", "ExtraS")->foreground(0).color(), QColor(128, 128, 128));
}

TEST_F(ConfixWindows, LdnsAreAddedRenamedAndRemovedThroughTheirDialogs) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalS"));
  frmConfix& w = Open();
  ClickEntry("POSPrinter", "ThermalS");
  EXPECT_EQ(w.lblData[0]->text(), "ThermalS");
  EXPECT_EQ(w.lblData[1]->text(), "Thermal receipt printer, serial port");
  EXPECT_EQ(Enabled(), (std::vector<bool>{false, true, true, true, true, false, false, true, true}));
  EXPECT_FALSE(w.cboLDN->isEnabled());

  WhenShown<frmNewLDN>([](frmNewLDN* d) {
    EXPECT_EQ(d->windowTitle(), "Add Logical Device Name (LDN)");
    EXPECT_FALSE(d->cmdOk->isEnabled());
    QTest::keyClicks(d->txtData, "Receipt");
    EXPECT_TRUE(d->cmdOk->isEnabled());
    EXPECT_TRUE(Fits(d, "confix-new-ldn"));
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[4], Qt::LeftButton);
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "ThermalS");
  EXPECT_FALSE(w.cmdExecute[4]->isEnabled());  // selection reset

  // An LDN equal to a device name key is refused with the utility's message.
  ClickEntry("POSPrinter", "ThermalS");
  WhenShown<frmNewLDN>([](frmNewLDN* d) {
    QTest::keyClicks(d->txtData, "ThermalS");
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[4], Qt::LeftButton);
  EXPECT_EQ(MessageTexts().back(), "Cannot register Logical Device Name because Device Name and "
                                   "Logical Device Name are the same.");

  ClickEntry("POSPrinter", "ThermalS");
  EXPECT_EQ(w.cboLDN->currentText(), "Receipt");
  EXPECT_TRUE(w.cboLDN->isEnabled());
  EXPECT_EQ(Enabled(), (std::vector<bool>{false, true, true, true, true, true, true, true, true}));
  EXPECT_TRUE(Fits(&w, "confix-main-entry"));
  provider_->Press(ui::kIdYes);
  WhenShown<frmRenameLDN>([](frmRenameLDN* d) {
    EXPECT_EQ(d->lblData->text(), "Receipt");
    EXPECT_FALSE(d->cmdOk->isEnabled());
    d->txtData->clear();
    QTest::keyClicks(d->txtData, "Till");
    EXPECT_TRUE(Fits(d, "confix-rename-ldn"));
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[6], Qt::LeftButton);
  EXPECT_EQ(MessageTexts().back(), "Renaming Logical Device Name from 'Receipt' to 'Till' may "
                                   "affect some application settings.\nDo you want to rename it?");
  EXPECT_EQ(RegReadString(kPrinters, "Till"), "ThermalS");
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "");

  ClickEntry("POSPrinter", "ThermalS");
  provider_->Press(ui::kIdNo);
  QTest::mouseClick(w.cmdExecute[5], Qt::LeftButton);
  EXPECT_EQ(RegReadString(kPrinters, "Till"), "ThermalS");  // No changes nothing
  provider_->Press(ui::kIdYes);
  QTest::mouseClick(w.cmdExecute[5], Qt::LeftButton);
  EXPECT_EQ(MessageTexts().back(), "Logical Device Name 'Till' is currently used. Do you want to remove it?");
  EXPECT_EQ(RegReadString(kPrinters, "Till"), "");
}

TEST_F(ConfixWindows, RenamingAKeyMovesTheNodeAndLdnsAndRefusesATakenName) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalS"));
  ASSERT_TRUE(seed.AddLDN("Receipt"));
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalP"));
  frmConfix& w = Open();
  ClickEntry("POSPrinter", "ThermalS");
  provider_->Press(ui::kIdOk);
  provider_->Press(ui::kIdYes);
  WhenShown<frmRenameKey>([](frmRenameKey* d) {
    EXPECT_EQ(d->windowTitle(), "Rename Device Name Key");
    EXPECT_EQ(d->txtData->text(), "ThermalS");
    QTest::keyClick(d->txtData, Qt::Key_End);
    QTest::keyClick(d->txtData, Qt::Key_Backspace);
    EXPECT_TRUE(d->cmdOk->isEnabled());
    QTest::keyClicks(d->txtData, "S");
    EXPECT_FALSE(d->cmdOk->isEnabled());  // the current name again
    d->txtData->clear();
    QTest::keyClicks(d->txtData, "Front");
    EXPECT_TRUE(Fits(d, "confix-rename-key"));
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[3], Qt::LeftButton);
  auto texts = MessageTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Rename Device Name Key");
  EXPECT_EQ(texts[1], "Renaming Device Name Key from 'ThermalS' to 'Front' may affect some "
                      "application settings.\nDo you want to rename it?");
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "Front");
  EXPECT_EQ(w.FindEntryNode("POSPrinter", "ThermalS"), nullptr);
  ASSERT_NE(w.FindEntryNode("POSPrinter", "Front"), nullptr);

  ClickEntry("POSPrinter", "Front");
  provider_->Press(ui::kIdOk);
  provider_->Press(ui::kIdYes);
  WhenShown<frmRenameKey>([](frmRenameKey* d) {
    d->txtData->clear();
    QTest::keyClicks(d->txtData, "ThermalP");
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[3], Qt::LeftButton);
  EXPECT_EQ(MessageTexts().back(), "Another device of the class already has that device name key.");
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "Front");
  EXPECT_EQ(RegEnumSubKeys(kPrinters), (std::vector<std::string>{"Front", "ThermalP"}));

  // Removing: No keeps the entry, Yes removes it with its LDN and its node.
  ClickEntry("POSPrinter", "Front");
  provider_->Press(ui::kIdNo);
  QTest::mouseClick(w.cmdExecute[1], Qt::LeftButton);
  EXPECT_TRUE(RegKeyExists(kPrinters + "\\Front"));
  provider_->Press(ui::kIdYes);
  QTest::mouseClick(w.cmdExecute[1], Qt::LeftButton);
  EXPECT_EQ(MessageTexts().back(), "Do you want to remove all of information about 'Front'?");
  EXPECT_FALSE(RegKeyExists(kPrinters + "\\Front"));
  EXPECT_EQ(RegReadString(kPrinters, "Receipt"), "");
  EXPECT_EQ(w.FindEntryNode("POSPrinter", "Front"), nullptr);
  EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false, false, false, false, true, true}));
}

TEST_F(ConfixWindows, SerialSettingsSaveEveryChangeAtOnce) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalS"));
  frmConfix& w = Open();
  ClickEntry("POSPrinter", "ThermalS");
  WhenShown<frmDetails>([](frmDetails* d) {
    EXPECT_EQ(d->windowTitle(), "CONFIX");
    EXPECT_EQ(d->lblData[0]->text(), "POSPrinter");
    EXPECT_EQ(d->lblData[2]->text(), "ThermalS");
    EXPECT_EQ(d->lblData[5]->text(), "RecPrinter.POSPrinter.SO");
    EXPECT_TRUE(Fits(d, "confix-details"));
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      EXPECT_EQ(s->windowTitle(), "ThermalS Printer Settings ");
      EXPECT_EQ(s->cboData[1]->count(), 7);
      EXPECT_EQ(s->cboData[1]->currentText(), "9600 bps");
      EXPECT_EQ(s->cboData[0]->currentText(), "COM1");
      EXPECT_FALSE(s->cboData[6]->isEnabled());
      EXPECT_EQ(s->cboData[6]->count(), 0);
      EXPECT_EQ(s->txtData[4]->text(), "");
      EXPECT_TRUE(Fits(s, "confix-settings-serial"));
      s->cboData[1]->setCurrentText("115200 bps");
      emit s->cboData[1]->activated(s->cboData[1]->currentIndex());
      EXPECT_EQ(RegReadDword(kPrinters + "\\ThermalS", "Baudrate"), 10);
      s->txtData[0]->clear();
      QTest::keyClicks(s->txtData[0], "2048.5 bytes");
      EXPECT_EQ(RegReadDword(kPrinters + "\\ThermalS", "InputBuf"), 2048);
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    QTest::mouseClick(d->cmdTestAndSetting, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[2], Qt::LeftButton);
  clsOPOS back;
  back.Load("POSPrinter", "ThermalS");
  EXPECT_EQ(back.mlngBaudrate, 10);
  EXPECT_EQ(back.mlngInputBuf, 2048);
  EXPECT_EQ(back.mstrPort, "COM1");
  EXPECT_EQ(back.mlngHandShake, 2);
}

TEST_F(ConfixWindows, ParallelDrawerAndNetworkEntriesShowTheirOwnControls) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalP"));
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Standard.inf", "StandardS"));
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalN"));
  seed.mstrPort = "9101";
  ASSERT_TRUE(seed.Save(false));

  clsOPOS parallel;
  parallel.Load("POSPrinter", "ThermalP");
  {
    frmTestSetting s(parallel, nullptr);
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      EXPECT_EQ(s->cboData[0]->count(), 1);
      EXPECT_EQ(s->cboData[0]->currentText(), "LPT1");
      for (int i = 1; i <= 5; ++i) {
        EXPECT_FALSE(s->cboData[i]->isEnabled());
        EXPECT_EQ(s->cboData[i]->count(), 0);
      }
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    s.Show();
  }
  // Lists that show nothing change nothing: the codes from the file stay.
  EXPECT_EQ(RegReadDword(kPrinters + "\\ThermalP", "Baudrate"), 6);
  EXPECT_EQ(RegReadDword(kPrinters + "\\ThermalP", "HandShake"), 2);

  clsOPOS drawer;
  drawer.Load("CashDrawer", "StandardS");
  {
    frmTestSetting s(drawer, nullptr);
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      EXPECT_TRUE(s->cboData[7]->isEnabled());
      EXPECT_EQ(s->cboData[7]->currentText(), "2");
      EXPECT_EQ(s->txtData[4]->text(), "100");
      s->cboData[7]->setCurrentText("5");
      emit s->cboData[7]->activated(1);
      EXPECT_EQ(RegReadDword(kDrawers + "\\StandardS", "ConnectorPinNo"), 5);
      EXPECT_TRUE(Fits(s, "confix-settings-drawer"));
      s->reject();  // closed through the window frame: the change is kept all the same
    });
    s.Show();
  }
  EXPECT_EQ(RegReadDword(kDrawers + "\\StandardS", "ConnectorPinNo"), 5);

  clsOPOS network;
  network.Load("POSPrinter", "ThermalN");
  {
    frmTestNetSetting s(network, nullptr);
    WhenShown<frmTestNetSetting>([](frmTestNetSetting* s) {
      EXPECT_EQ(s->txtIP[0]->text(), "192.168.1.100");
      EXPECT_EQ(s->txtIP[1]->text(), "9101");  // the stored port
      EXPECT_FALSE(s->txtIP[1]->isEnabled());
      s->txtIP[0]->clear();
      QTest::keyClicks(s->txtIP[0], "10.1.2.3");
      EXPECT_TRUE(Fits(s, "confix-settings-network"));
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    s.Show();
  }
  EXPECT_EQ(RegReadString(kPrinters + "\\ThermalN", "IP"), "10.1.2.3");
  EXPECT_EQ(RegReadString(kPrinters + "\\ThermalN", "Port"), "9101");
}

TEST_F(ConfixWindows, AStoreThatCannotBeReadIsReportedNotShownEmpty) {
  platform::registry::UseDatabase(registry_.Dir());  // a directory is no database
  Open();
  const std::vector<std::string> texts = MessageTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("The device entries cannot be read: registry database " +
                          registry_.Dir() + " is a directory"),
            std::string::npos)
      << texts[0];
  platform::registry::UseDatabase(registry_.DatabasePath());
}

TEST_F(ConfixWindows, SettingsWriteBackOnlyWhatTheTechnicianChanged) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalS"));
  seed.mlngBaudrate = 9;  // 57600: no item of the list shows it
  seed.mlngStop = 2;      // two stop bits: the same
  seed.mstrPort = "COM3";
  ASSERT_TRUE(seed.Save(false));
  const std::string key = kPrinters + "\\ThermalS";

  clsOPOS entry;
  entry.Load("POSPrinter", "ThermalS");
  {
    frmTestSetting s(entry, nullptr);
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      EXPECT_EQ(s->cboData[1]->currentText(), "1200 bps");  // the first item stands in
      // A change elsewhere saves the whole entry, and the unseen codes with it.
      s->txtData[3]->setText("750");
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    s.Show();
  }
  EXPECT_EQ(RegReadDword(key, "Baudrate"), 9);
  EXPECT_EQ(RegReadDword(key, "Stop"), 2);
  EXPECT_EQ(RegReadString(key, "Port"), "COM3");
  EXPECT_EQ(RegReadDword(key, "Timeout"), 750);

  entry.Load("POSPrinter", "ThermalS");
  {
    frmTestSetting s(entry, nullptr);
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      // Chosen, then chosen back: the technician chose 1200 bps.
      s->cboData[1]->setCurrentText("115200 bps");
      emit s->cboData[1]->activated(s->cboData[1]->currentIndex());
      s->cboData[1]->setCurrentText("1200 bps");
      emit s->cboData[1]->activated(s->cboData[1]->currentIndex());
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    s.Show();
  }
  EXPECT_EQ(RegReadDword(key, "Baudrate"), 3);
  EXPECT_EQ(RegReadDword(key, "Stop"), 2);
}

// The longest description of the kit's device files shows whole, and the drawer frame's
// fields line up with the printer frame's.
TEST_F(ConfixWindows, LongTextsShowWholeAndTheSettingsFieldsLineUp) {
  clsOPOS seed;
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/RevUduzo2.inf", "RevUduzo2P"));
  ASSERT_TRUE(seed.Read(OPOS_BUILD_BIN "/Standard.inf", "StandardS"));
  frmConfix& w = Open();
  ClickEntry("POSPrinter", "RevUduzo2P");
  EXPECT_EQ(w.lblData[1]->text(), "RevUduzo2 dot-matrix receipt printer, parallel port");
  EXPECT_TRUE(Fits(&w, "confix-main-long-description"));

  // A description far longer than any of the kit's, as a technician may have written it.
  const std::string own_words =
      "Kitchen printer on the parallel port of the back-office till, second floor, beside the "
      "door to the yard, cabled through the floor duct";
  clsOPOS entry;
  entry.Load("POSPrinter", "RevUduzo2P");
  entry.mstrDeviceDesc = own_words;
  ASSERT_TRUE(entry.Save(false));
  ClickEntry("POSPrinter", "RevUduzo2P");
  EXPECT_EQ(w.lblData[1]->text().toStdString(), own_words);
  EXPECT_TRUE(Fits(&w, "confix-main-own-description"));
  WhenShown<frmDetails>([](frmDetails* d) {
    EXPECT_TRUE(Fits(d, "confix-details-own-description"));
    QTest::mouseClick(d->cmdOk, Qt::LeftButton);
  });
  QTest::mouseClick(w.cmdExecute[2], Qt::LeftButton);

  clsOPOS drawer;
  drawer.Load("CashDrawer", "StandardS");
  frmTestSetting dialog(drawer, nullptr);
  WhenShown<frmTestSetting>([](frmTestSetting* s) {
    auto column = [s](QWidget* field) {
      return QRect(field->mapTo(s, QPoint(0, 0)), field->size());
    };
    const QRect printer_field = column(s->txtData[0]);
    for (QWidget* field : std::initializer_list<QWidget*>{s->cboData[6], s->cboData[7],
                                                          s->txtData[4], s->txtData[5]}) {
      EXPECT_EQ(column(field).left(), printer_field.left()) << field->objectName().toStdString();
      EXPECT_EQ(column(field).width(), printer_field.width()) << field->objectName().toStdString();
    }
    QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
  });
  dialog.Show();
}

TEST_F(ConfixWindows, TheLogoProgramIsStartedFromTheUtilitysFolderOrMissedClearly) {
  frmConfix& w = Open();
  QTest::mouseClick(w.cmdExecute[8], Qt::LeftButton);
  ASSERT_EQ(provider_->Calls().size(), 1u);
  EXPECT_EQ(provider_->Calls()[0].caption, "Flash Logo Setup");
  EXPECT_NE(provider_->Calls()[0].text.find("Imprex"), std::string::npos);
  EXPECT_TRUE(w.isVisible());

  const std::string marker = registry_.Dir() + "/started";
  const std::string program = registry_.Dir() + "/Imprex";
  std::ofstream(program) << "#!/bin/sh\ntouch '" << marker << "'\n";
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  QTest::mouseClick(w.cmdExecute[8], Qt::LeftButton);
  EXPECT_EQ(provider_->Calls().size(), 1u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(marker); }, 10000));
}

// The utility's own message boxes, as the program shows them, with a long message.
TEST_F(ConfixWindows, MessageBoxesFitTheScreens) {
  frmConfix& w = Open();
  w.mstrUtilityDir = "/opt/shop-tools/point-of-sale/setup-utilities/receipt-printers/2.15/bin";
  ui::Install(std::make_shared<QtMessageProvider>());  // TearDown puts the scripted one back
  bool seen = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (seen || !box || !box->isVisible()) return;
    seen = true;
    EXPECT_NE(box->text().indexOf("Imprex could not be started"), -1) << box->text().toStdString();
    EXPECT_TRUE(Fits(box, "confix-logo-program-missing"));
    box->accept();
  });
  watcher.start(20);
  QTest::mouseClick(w.cmdExecute[8], Qt::LeftButton);
  EXPECT_TRUE(seen);
}

TEST(ConfixSettingsTest, PrinterTestButtonPrintsOnTheVirtualPrinter) {
  service_core::testing::PrinterRig rig;
  auto& device = rig.AddVirtualPrinter("ttyS");
  auto provider = std::make_shared<ui::ScriptedProvider>();
  auto previous = ui::Install(provider);
  clsOPOS entry;
  ASSERT_TRUE(entry.Read(OPOS_BUILD_BIN "/Thermal.inf", "ThermalS"));
  {
    frmTestSetting dialog(entry, nullptr);
    WhenShown<frmTestSetting>([](frmTestSetting* s) {
      // The port of the virtual printer is not one of COM1 to COM12 and stays listed.
      EXPECT_EQ(s->cboData[0]->currentText().toStdString().rfind('/', 0), 0u);
      QTest::mouseClick(s->cmdExecute[0], Qt::LeftButton);
      QTest::mouseClick(s->cmdExecute[1], Qt::LeftButton);
    });
    entry.mstrPort = rig.Dir() + "/ttyS";
    ASSERT_TRUE(entry.Save(false));
    dialog.Show();
  }
  EXPECT_TRUE(provider->Calls().empty()) << provider->Calls()[0].text;
  auto received = [&] {
    std::vector<uint8_t> bytes = device.printer.Capture();
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return received().find("Device Name : Thermal") != std::string::npos; },
                              10000));
  EXPECT_EQ(RegReadString(kPrinters + "\\ThermalS", "Port"), rig.Dir() + "/ttyS");
  ui::Install(previous);
}

}  // namespace
}  // namespace confix
