// A strip of receipt paper with the logo on it, drawn the way the virtual printer renders
// a logo printed centred from NV memory: one pixel a dot, the receipt line plus 16 dots of
// margin each side, 8 dots above and below.
#pragma once

#include <QImage>

#include "logo_conversion.h"

namespace imprex {

QImage PaperWithLogo(const MonoLogo& logo, int printer_width);
// The same strip with `picture` (already at the logo's size) where the logo would be.
QImage PaperWithPicture(const QImage& picture, int printer_width);

// Where the logo's left edge lands on the receipt line: the printer centres the stored
// image, which is padded to whole bytes on both sides.
int LogoLeftOnLine(int logo_width, int printer_width);

}  // namespace imprex
