// The window, offscreen: a photo converted by each method, a bad picture, saving and
// storing from the window; at each step the window fits a 1280 x 800 and a 1024 x 768
// screen (screenshots of both under out/screenshots/).
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>

#include "logo_window.h"
#include "nv_store_command.h"
#include "print_data/bmp_reader.h"
#include "printer_fixture.h"
#include "test_pictures.h"
#include "window_fit.h"

namespace imprex::testing {
namespace {

::testing::AssertionResult FitsScreens(QWidget& window, const QString& name) {
  return ui_qt::FitsScreens(window, REPOSITORY_ROOT, name);
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

TEST(LogoWindow, ShowsAPhotoConvertedByEachMethodBesideTheOriginal) {
  LogoWindow window;
  window.show();
  window.SetPicture(SyntheticPhoto(), "shop-photo.png");
  for (DitherMethod method : {DitherMethod::kThreshold, DitherMethod::kOrdered,
                              DitherMethod::kFloydSteinberg, DitherMethod::kAtkinson}) {
    ConvertOptions options;
    options.method = method;
    options.brightness = method == DitherMethod::kThreshold ? 10 : 0;
    window.SetOptions(options);
    Settle();
    const Conversion expected = ConvertPicture(SyntheticPhoto(), options);
    EXPECT_TRUE(window.Logo() == expected.logo) << MethodName(method);
    EXPECT_EQ(window.Options().method, method);
    const std::string_view method_name = MethodName(method);
    EXPECT_TRUE(FitsScreens(window, "imprex-" + QString::fromUtf8(method_name.data(),
                                                                  qsizetype(method_name.size()))));
  }
  // On the small screen the panes scroll, and together, so that the two stay side by side.
  const QSize before = window.size();
  window.resize(ui_qt::UsableArea(ui_qt::kSmallScreen));
  Settle();
  const QList<QScrollArea*> panes = window.findChildren<QScrollArea*>();
  ASSERT_EQ(panes.size(), 2);
  QScrollBar* printed_bar = panes[1]->horizontalScrollBar();
  ASSERT_GT(printed_bar->maximum(), 0);
  printed_bar->setValue(printed_bar->maximum());
  EXPECT_EQ(panes[0]->horizontalScrollBar()->value(), printed_bar->maximum());
  panes[0]->verticalScrollBar()->setValue(panes[0]->verticalScrollBar()->maximum());
  EXPECT_EQ(panes[1]->verticalScrollBar()->value(), panes[0]->verticalScrollBar()->maximum());
  window.resize(before);

  // A wide picture on a 576-dot line.
  ConvertOptions wide;
  wide.printer_width = 576;
  window.SetPicture(SyntheticPhoto(1600, 500), "banner.png");
  window.SetOptions(wide);
  Settle();
  EXPECT_EQ(window.Logo().width, 576);
  EXPECT_TRUE(FitsScreens(window, "imprex-576-line"));
}

TEST(LogoWindow, ABadPictureIsReportedAndTheCurrentLogoKept) {
  QTemporaryDir dir;
  LogoWindow window;
  window.show();
  window.SetPicture(SyntheticPhoto(200, 100), "shop.png");
  const MonoLogo before = window.Logo();
  const QString bad = dir.filePath("broken.jpg");
  ASSERT_TRUE(WriteFile(bad, Encode(SyntheticPhoto().convertToFormat(QImage::Format_RGB32), "jpg").left(900)));
  EXPECT_FALSE(window.OpenPicture(bad));
  EXPECT_NE(window.Message().indexOf("broken.jpg is cut short"), -1) << window.Message().toStdString();
  EXPECT_TRUE(window.Logo() == before);
  Settle();
  EXPECT_TRUE(FitsScreens(window, "imprex-bad-picture"));

  // Settings that give no logo leave nothing to save until they fit again.
  window.SetPicture(QImage(20, 1000, QImage::Format_RGB32), "pole.png");
  ConvertOptions options;
  options.width = 512;
  window.SetOptions(options);
  EXPECT_NE(window.Message().indexOf("would be 25600 dots tall"), -1) << window.Message().toStdString();
  EXPECT_EQ(window.SaveBmp(dir.filePath("pole.bmp")), "No logo to save.");
  options.width = 100;
  window.SetOptions(options);
  EXPECT_EQ(window.Message(), "");
  EXPECT_EQ(window.SaveBmp(dir.filePath("pole.bmp")), "");
}

TEST(LogoWindow, SavesTheBmpAndStoresTheLogoInThePrinter) {
  service_core::testing::PrinterRig rig;
  auto& device = rig.AddVirtualPrinter("ttyP0");
  rig.AddDeviceEntry("Receipt1", device.attachment.LinkPath(), "Thermal42", "", "Unit1");
  QTemporaryDir dir;
  const QString png = dir.filePath("logo.png");
  ASSERT_TRUE(WriteFile(png, Encode(SyntheticPhoto(640, 200), "png")));

  LogoWindow window;
  window.show();
  ASSERT_TRUE(window.OpenPicture(png));
  EXPECT_EQ(window.Logo().width, 512);
  const QString bmp = dir.filePath("logo.bmp");
  EXPECT_EQ(window.SaveBmp(bmp), QString());
  const print_data::BmpReadResult read = print_data::ReadBmpFile(bmp.toStdString());
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.image.width(), 512);
  EXPECT_EQ(read.image.height(), 160);

  QSignalSpy finished(&window, &LogoWindow::storeFinished);
  window.StoreInPrinter();  // no printer named yet
  EXPECT_NE(window.Message().indexOf("logical device name first"), -1);
  window.SetPrinterName("Unit1");
  // The cover open: the status line names it and says what to do.
  device.Set("cover open");
  window.StoreInPrinter();
  ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  EXPECT_FALSE(finished.takeFirst().at(0).toBool());
  EXPECT_EQ(window.Message().toStdString(),
            "Cannot claim the printer \"Unit1\": the printer's cover is open. Close the cover, "
            "then try again.");
  Settle();
  EXPECT_TRUE(FitsScreens(window, "imprex-cover-open"));
  device.Set("cover close");

  window.StoreInPrinter();
  ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  EXPECT_TRUE(finished.first().at(0).toBool()) << finished.first().at(1).toString().toStdString();
  EXPECT_NE(window.Message().indexOf("Stored 1 logo"), -1) << window.Message().toStdString();
  const std::string bytes = BuildNvStoreCommand({window.Logo()}).bytes;
  const std::vector<uint8_t> command(bytes.begin(), bytes.end());
  EXPECT_TRUE(service_core::testing::PumpUntil(
      [&] {
        const std::vector<uint8_t> sent = device.printer.Capture();
        return std::search(sent.begin(), sent.end(), command.begin(), command.end()) != sent.end();
      },
      10000));
  Settle();
  EXPECT_TRUE(FitsScreens(window, "imprex-stored"));
}

}  // namespace
}  // namespace imprex::testing
