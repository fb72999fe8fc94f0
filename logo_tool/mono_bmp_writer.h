// One-bit Windows bitmap files, the form PrintBitmap and SetBitmap take.
#pragma once

#include <QString>
#include <string>

#include "logo_conversion.h"

namespace imprex {

// The file's bytes: 14-byte file header, 40-byte information header, two palette entries
// (0 black, 1 white), rows bottom-up padded to four bytes; 180 dots per inch.
std::string EncodeMonoBmp(const MonoLogo& logo);

// Whether PrintBitmap and SetBitmap print the file dot for dot (Width PTR_BM_ASIS with
// RecLetterQuality 1): the printer's downloaded-image area takes ceil(w / 8) <= 255 byte
// columns, ceil(h / 8) <= 48 bytes a column and 1536 bytes of both together.
bool FitsDownloadArea(const MonoLogo& logo);

// Writes the file (through a temporary beside it, renamed into place); "" or an error text.
QString SaveMonoBmp(const MonoLogo& logo, const QString& path);

}  // namespace imprex
