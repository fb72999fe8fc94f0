#include "paper_preview.h"

#include <QPainter>
#include <algorithm>

namespace imprex {

namespace {
constexpr int kSideMargin = 16, kTopMargin = 8;

QImage BlankPaper(int printer_width, int height) {
  QImage paper(printer_width + 2 * kSideMargin, height + 2 * kTopMargin, QImage::Format_RGB32);
  paper.fill(Qt::white);
  return paper;
}
}  // namespace

int LogoLeftOnLine(int logo_width, int printer_width) {
  const int padded = (logo_width + 7) / 8 * 8;
  return std::max(printer_width - padded, 0) / 2 + (padded - logo_width) / 2;
}

QImage PaperWithLogo(const MonoLogo& logo, int printer_width) {
  QImage paper = BlankPaper(printer_width, logo.height);
  const int left = kSideMargin + LogoLeftOnLine(logo.width, printer_width);
  const int right = kSideMargin + printer_width;  // the printer prints nothing past the line
  const QRgb black = qRgb(0, 0, 0);
  for (int y = 0; y < logo.height; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(paper.scanLine(y + kTopMargin));
    for (int x = 0; x < logo.width && left + x < right; ++x) {
      if (logo.Printed(x, y)) row[left + x] = black;
    }
  }
  return paper;
}

QImage PaperWithPicture(const QImage& picture, int printer_width) {
  QImage paper = BlankPaper(printer_width, picture.height());
  QPainter painter(&paper);
  painter.drawImage(kSideMargin + LogoLeftOnLine(picture.width(), printer_width), kTopMargin,
                    picture);
  return paper;
}

}  // namespace imprex
