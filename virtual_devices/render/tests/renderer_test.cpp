#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "render_test_support.h"
#include "virtual_devices/receipt_renderer.h"

namespace vdev {
namespace {

using test::Line;

// Renders the ops as one receipt and returns its image.
Raster Render(const std::vector<PrintOp>& ops, PaperGeometry paper = {}) {
  RendererOptions options;
  options.paper = paper;
  ReceiptRenderer renderer(options);
  for (const PrintOp& op : ops) renderer.Print(op);
  renderer.Finish();
  const auto receipts = renderer.Receipts();
  return receipts.empty() ? Raster() : receipts.back().image;
}

// Blank dots from a positioning command move the text along; the transcript keeps the
// column with spaces. Bytes of another table draw that table's characters.
TEST(TextRenderingTest, PositionedTextAndOtherCharacterTables) {
  TextLine line;
  line.runs.push_back({"A", {}});
  line.runs.push_back({"B", {}, 288});
  RendererOptions options;
  ReceiptRenderer renderer(options);
  renderer.Print(line);
  TextLine nordic = test::Line("\x9D\x9B");
  nordic.code_page = 5;
  renderer.Print(nordic);
  renderer.Finish();
  const auto receipts = renderer.Receipts();
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_NE(renderer.Transcript().find("A" + std::string(24, ' ') + "B\n"), std::string::npos)
      << renderer.Transcript();
  EXPECT_NE(renderer.Transcript().find("Øø\n"), std::string::npos) << renderer.Transcript();
  // "B" starts 300 dots from the margin: ink there, none between the two letters.
  const Raster& paper = receipts[0].image;
  int ink_after_a = 0, ink_at_b = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 16 + 14; x < 16 + 300; ++x) ink_after_a += paper.At(x, y) != Ink::White;
    for (int x = 16 + 300; x < 16 + 312; ++x) ink_at_b += paper.At(x, y) != Ink::White;
  }
  EXPECT_EQ(ink_after_a, 0);
  EXPECT_GT(ink_at_b, 10);
}

// Dots right of the paper are dropped, also a rectangle that starts past the edge (a bold
// column or a glyph of a line that runs off a rotated page).
TEST(RasterTest, RectanglesPastTheRightEdgeAreClipped) {
  Raster raster(10, 5);
  raster.FillRect(12, 0, 4, 5, Ink::Black);
  raster.FillRect(10, 1, 1, 1, Ink::Black);
  EXPECT_EQ(raster.CountInk(Ink::Black), 0);
  raster.FillRect(8, 4, 4, 3, Ink::Black);
  EXPECT_EQ(raster.CountInk(Ink::Black), 2);
}

TEST(TextRenderingTest, AttributesChangeTheInkAsOnPaper) {
  TextStyle bold, wide, reverse, underlined;
  bold.bold = true;
  wide.width = 2;
  reverse.reverse = true;
  underlined.underline = 2;
  const Raster::Box normal_box = Render({Line("I")}).InkBox();
  const Raster::Box bold_box = Render({Line("I", bold)}).InkBox();
  EXPECT_EQ(bold_box.width, normal_box.width + 1);
  EXPECT_EQ(bold_box.height, normal_box.height);

  const Raster::Box text = Render({Line("MMMM")}).InkBox();
  const Raster::Box wide_text = Render({Line("MMMM", wide)}).InkBox();
  EXPECT_NEAR(wide_text.width, 2 * text.width, 2);
  EXPECT_EQ(wide_text.height, text.height);

  TextStyle big;
  big.width = 8;
  big.height = 8;
  const Raster::Box big_box = Render({Line("M", big)}).InkBox();
  const Raster::Box small_box = Render({Line("M")}).InkBox();
  EXPECT_EQ(big_box.height, 8 * small_box.height);

  // Reverse: the whole cell is black, with the letter left white inside it.
  const Raster reversed = Render({Line("A", reverse)});
  const Raster::Box cell = reversed.InkBox();
  EXPECT_EQ(cell.width, 12);
  EXPECT_EQ(cell.height, 24);
  EXPECT_EQ(reversed.At(cell.x, cell.y), Ink::Black);
  int white_inside = 0;
  for (int y = cell.y; y < cell.y + cell.height; ++y)
    for (int x = cell.x; x < cell.x + cell.width; ++x)
      white_inside += reversed.At(x, y) == Ink::White;
  EXPECT_GT(white_inside, 10);
  EXPECT_LT(white_inside, 12 * 24 / 2);

  // Underline: two full rows under "no", which has no ink of its own at the bottom.
  const Raster plain = Render({Line("no")});
  const Raster under = Render({Line("no", underlined)});
  EXPECT_EQ(under.CountInk(Ink::Black) - plain.CountInk(Ink::Black), 2 * 24);
  const Raster::Box under_box = under.InkBox();
  EXPECT_EQ(under_box.width, 24);
  EXPECT_EQ(under.At(under_box.x + 23, under_box.y + under_box.height - 1), Ink::Black);
}

TEST(TextRenderingTest, AlignmentPlacesInkOnTheLine) {
  const int left_margin = ReceiptRenderer::kSideMargin;
  const Raster left = Render({Line("X")});
  const Raster centred = Render({Line("X", {}, Alignment::Center)});
  const Raster right = Render({Line("X", {}, Alignment::Right)});
  EXPECT_LT(left.InkBox().x, left_margin + 12);
  const int centre = centred.InkBox().x + centred.InkBox().width / 2;
  EXPECT_NEAR(centre, left_margin + 256, 6);
  EXPECT_GT(right.InkBox().x, left_margin + 512 - 12);
  EXPECT_LE(right.InkBox().x + right.InkBox().width, left_margin + 512);
}

TEST(TextRenderingTest, LineAdvanceIsSpacingOrTallestCharacter) {
  TextLine first = Line("H"), second = Line("H");
  first.line_spacing_dots = 30;
  const int normal_gap = Render({first, second}).InkBox().height;
  first.line_spacing_dots = 60;
  const int wide_gap = Render({first, second}).InkBox().height;
  EXPECT_EQ(wide_gap - normal_gap, 30);

  // A double-height character on a line with 30-dot spacing pushes the next line down
  // by its own 48 dots, and the small character beside it stands on the same baseline.
  TextLine tall;
  TextStyle high;
  high.height = 2;
  tall.runs = {{"H", high}, {"H", {}}};
  tall.line_spacing_dots = 30;
  const Raster page = Render({tall, second});
  const int blank_above_h = Render({Line("H")}).InkBox().y - ReceiptRenderer::kTopMargin;
  const int first_line_end = ReceiptRenderer::kTopMargin + 48;
  const Raster::Box tall_char =
      page.InkBox(0, 0, ReceiptRenderer::kSideMargin + 12, first_line_end);
  const Raster::Box small_char =
      page.InkBox(ReceiptRenderer::kSideMargin + 12, 0, 12, first_line_end);
  EXPECT_EQ(tall_char.height, 2 * small_char.height);
  const int line_top = tall_char.y - 2 * blank_above_h;
  EXPECT_EQ(line_top, ReceiptRenderer::kTopMargin);
  EXPECT_EQ(small_char.y, line_top + 24 + blank_above_h);  // on the tall one's baseline
  const Raster::Box second_line = page.InkBox(0, first_line_end, page.width(), page.height());
  EXPECT_EQ(second_line.y, line_top + 48 + blank_above_h);

  // A line longer than the paper continues below instead of being lost.
  const Raster wrapped = Render({Line(std::string(50, 'W'))});
  EXPECT_GT(wrapped.InkBox().height, 24 + 10);
}

TEST(ImageRenderingTest, ImagesScaleAndAlign) {
  Image image = test::Checkerboard(40, 16);
  image.alignment = Alignment::Right;
  const Raster::Box plain = Render({image}).InkBox();
  EXPECT_EQ(plain.width, 40);
  EXPECT_EQ(plain.height, 16);
  EXPECT_EQ(plain.x + plain.width, ReceiptRenderer::kSideMargin + 512);
  image.scale_x = 2;
  image.scale_y = 2;
  const Raster::Box doubled = Render({image}).InkBox();
  EXPECT_EQ(doubled.width, 80);
  EXPECT_EQ(doubled.height, 32);

  Image broken = test::Checkerboard(40, 16);
  broken.pixels.resize(10);  // fewer pixels than its size says
  RendererOptions options;
  ReceiptRenderer renderer(options);
  renderer.Print(broken);
  renderer.Finish();
  EXPECT_EQ(renderer.Receipts().at(0).image.CountInk(Ink::Black), 0);
  EXPECT_NE(renderer.Transcript().find("[image 40x16 malformed"), std::string::npos);
}

TEST(PageModeTest, QuarterTurnsLayTheBlockSideways) {
  PageBlock block;
  block.width = 512;
  block.height = 0;
  block.contents.push_back(Line("SIDEWAYS TEXT"));
  const Raster::Box upright = Render({block}).InkBox();
  EXPECT_GT(upright.width, upright.height * 4);

  for (uint8_t direction : {1, 3}) {
    block.direction = direction;
    const Raster turned = Render({block});
    const Raster::Box box = turned.InkBox();
    EXPECT_EQ(box.width, upright.height) << int{direction};
    EXPECT_EQ(box.height, upright.width) << int{direction};
  }
  // Turned left, text reads upwards: the first letter sits at the bottom.
  block.contents = {Line("I......")};
  block.direction = 1;
  const Raster left = Render({block});
  const Raster::Box all = left.InkBox();
  const Raster::Box top_quarter = left.InkBox(0, all.y, left.width(), all.height / 4);
  const Raster::Box bottom_quarter =
      left.InkBox(0, all.y + 3 * all.height / 4, left.width(), all.height);
  EXPECT_GT(bottom_quarter.width, top_quarter.width);  // "I" is taller than the dots are wide
}

TEST(PageModeTest, AreaSizeFromTheDriverSetsTheRotatedLength) {
  PageBlock block;
  block.width = 512;
  block.height = 720;  // 30 columns of 24 dots
  block.direction = 3;
  block.contents.push_back(Line("A"));
  const Raster page = Render({block});
  EXPECT_GE(page.height(), 720);
  const Raster::Box ink = page.InkBox();
  EXPECT_LT(ink.y, 40);                                  // turned right, the text starts at the top
  EXPECT_GT(ink.x, ReceiptRenderer::kSideMargin + 400);  // and its first line at the right
}

TEST(DotMatrixTest, SecondColourPrintsRedAndLinesFitThirtyThreeColumns) {
  PaperGeometry paper{PrinterKind::DotMatrix, 33, 396};
  TextStyle red;
  red.color = 1;
  const Raster page = Render({Line("Red", red), Line(std::string(33, 'x'))}, paper);
  EXPECT_GT(page.CountInk(Ink::Red), 20);
  EXPECT_GT(page.CountInk(Ink::Black), 20);
  EXPECT_EQ(page.width(), 396 + 2 * ReceiptRenderer::kSideMargin);
  // 33 characters fill a single line.
  const Raster::Box xs = page.InkBox(0, 40, page.width(), page.height());
  EXPECT_LT(xs.height, 24);

  // A narrower dot-matrix line switches to the 9-dot font to keep 33 columns.
  const Raster narrow = Render({Line(std::string(33, 'x'))}, {PrinterKind::DotMatrix, 33, 300});
  EXPECT_LT(narrow.InkBox().height, 17);
  // On the thermal printer the colour byte is ignored.
  EXPECT_EQ(Render({Line("Red", red)}).CountInk(Ink::Red), 0);
}

TEST(ReceiptFilesTest, EachCutClosesOneNumberedPngAndTranscriptPart) {
  test::TempDir dir;
  RendererOptions options;
  options.png_directory = dir / "png";
  options.transcript_path = dir / "receipts.txt";
  {
    ReceiptRenderer renderer(options);
    renderer.Print(Line("FIRST"));
    renderer.Print(Cut{true});
    EXPECT_EQ(renderer.ReceiptCount(), 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "png/receipt-0001.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "png/receipt-0002.png"));
    renderer.Print(Line("SECOND"));
    renderer.Print(Feed{60});
    renderer.Finish();
    renderer.Finish();  // nothing printed since: no empty receipt
    EXPECT_EQ(renderer.ReceiptCount(), 2);
    const auto receipts = renderer.Receipts();
    ASSERT_EQ(receipts.size(), 2u);
    EXPECT_EQ(receipts[0].transcript, "FIRST\n----- cut -----\n");
    EXPECT_EQ(receipts[1].transcript, "SECOND\n[feed 60 dots]\n");
    // The cut mark: a dashed line below the text, only on the cut receipt.
    const Raster& cut = receipts[0].image;
    const Raster::Box text = cut.InkBox(0, 0, cut.width(), 40);
    const Raster::Box mark = cut.InkBox(0, text.y + text.height + 1, cut.width(), cut.height());
    EXPECT_GT(mark.width, cut.width() * 3 / 4);
    EXPECT_GT(receipts[1].image.height(), 60);
  }
  std::ifstream png(dir / "png/receipt-0002.png", std::ios::binary);
  char signature[8] = {};
  png.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
  std::stringstream transcript;
  transcript << std::ifstream(dir / "receipts.txt").rdbuf();
  EXPECT_EQ(transcript.str(), "FIRST\n----- cut -----\nSECOND\n[feed 60 dots]\n");

  // A second run in the same directory continues the numbering instead of overwriting.
  ReceiptRenderer again(options);
  again.Print(Cut{false});
  EXPECT_TRUE(std::filesystem::exists(dir / "png/receipt-0003.png"));
}

TEST(ReceiptFilesTest, UnwritableDirectoryIsReportedAndPrintingGoesOn) {
  test::TempDir dir;
  { std::ofstream blocker(dir / "file"); }
  RendererOptions options;
  options.png_directory = dir / "file";  // a file, not a directory
  ReceiptRenderer renderer(options);
  renderer.Print(Line("text"));
  renderer.Print(Cut{});
  EXPECT_EQ(renderer.ReceiptCount(), 1);
  EXPECT_TRUE(renderer.Receipts().at(0).png_path.empty());
  ASSERT_FALSE(renderer.Problems().empty());
  EXPECT_NE(renderer.Problems().back().find("not saved"), std::string::npos);
}

TEST(ReceiptFilesTest, EndlessFeedsAreSplitIntoBoundedImages) {
  ReceiptRenderer renderer(RendererOptions{});
  for (int i = 0; i < 100; ++i) renderer.Print(Feed{1 << 30});
  EXPECT_GE(renderer.ReceiptCount(), 1);
  for (const RenderedReceipt& receipt : renderer.Receipts())
    EXPECT_LE(receipt.image.height(), ReceiptRenderer::kMaxReceiptDots + 100);
}

}  // namespace
}  // namespace vdev

namespace vdev {
namespace {

// The printer model prints from its own thread while a test or a program reads results.
TEST(ReceiptRendererThreadsTest, PrintingAndReadingAtOnceStaysConsistent) {
  RendererOptions options;
  options.receipts_kept = 4;
  ReceiptRenderer renderer(options);
  std::thread printer([&] {
    for (int i = 0; i < 40; ++i) {
      renderer.Print(test::Line("line " + std::to_string(i)));
      renderer.Print(Cut{});
    }
  });
  int last_count = 0;
  while (last_count < 40) {
    const int count = renderer.ReceiptCount();
    EXPECT_GE(count, last_count);
    const auto receipts = renderer.Receipts();
    EXPECT_LE(receipts.size(), 4u);
    for (const RenderedReceipt& receipt : receipts)
      EXPECT_GT(receipt.image.CountInk(Ink::Black), 0);
    renderer.Transcript();
    last_count = count;
  }
  printer.join();
  const auto kept = renderer.Receipts();
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(kept.back().number, 40);
  EXPECT_EQ(kept.back().transcript, "line 39\n----- cut -----\n");
}

}  // namespace
}  // namespace vdev
