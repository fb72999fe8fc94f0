#include "command_line.h"

#include <optional>
#include <vector>

#include "logo_conversion.h"
#include "mono_bmp_writer.h"
#include "platform/release.h"
#include "picture_reader.h"
#include "printer_store.h"

namespace imprex {

namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2;

struct Arguments {
  QStringList positional;
  ConvertOptions convert;
  StoreOptions store;
};

std::optional<int> Number(const QString& text, int low, int high) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < low || value > high) return std::nullopt;
  return value;
}

// Fills `args`; returns an error text for a wrong command line.
QString Parse(const QStringList& list, Arguments& args) {
  for (int i = 0; i < list.size(); ++i) {
    QString name = list[i];
    if (!name.startsWith("--")) {
      args.positional << name;
      continue;
    }
    QString value;
    const bool flag = name == "--no-print";
    if (const qsizetype eq = name.indexOf('='); eq > 0) {
      value = name.mid(eq + 1);
      name = name.left(eq);
    } else if (!flag) {
      if (i + 1 >= list.size()) return QStringLiteral("%1 needs a value.").arg(name);
      value = list[++i];
    }
    std::optional<int> number;
    if (name == "--no-print") {
      args.store.print_check = false;
    } else if (name == "--dither") {
      const auto method = MethodFromName(value.toStdString());
      if (!method) {
        return QStringLiteral("Unknown dithering \"%1\": threshold, bayer, floyd-steinberg or "
                              "atkinson.")
            .arg(value);
      }
      args.convert.method = *method;
    } else if (name == "--width") {
      if (!(number = Number(value, 1, kMaxNvWidth))) return QStringLiteral("--width takes dots (1 or more).");
      args.convert.width = *number;
    } else if (name == "--printer-width") {
      if (!(number = Number(value, 8, kMaxNvWidth))) {
        return QStringLiteral("--printer-width takes the receipt line in dots (512 or 576).");
      }
      args.convert.printer_width = *number;
    } else if (name == "--threshold") {
      if (!(number = Number(value, 1, 255))) return QStringLiteral("--threshold takes 1 to 255.");
      args.convert.threshold = *number;
    } else if (name == "--brightness") {
      if (!(number = Number(value, -100, 100))) return QStringLiteral("--brightness takes -100 to 100.");
      args.convert.brightness = *number;
    } else if (name == "--contrast") {
      if (!(number = Number(value, -100, 100))) return QStringLiteral("--contrast takes -100 to 100.");
      args.convert.contrast = *number;
    } else if (name == "--nv-capacity") {
      if (!(number = Number(value, 1, 1 << 30))) return QStringLiteral("--nv-capacity takes bytes.");
      args.store.nv_capacity = size_t(*number);
    } else {
      return QStringLiteral("Unknown option %1.").arg(name);
    }
  }
  return QString();
}

// Reads and converts one picture; an error text goes to `err`.
std::optional<MonoLogo> Logo(const QString& path, const ConvertOptions& options, QTextStream& err) {
  const Picture picture = ReadPictureFile(path);
  if (!picture.ok()) {
    err << picture.error << "\n";
    return std::nullopt;
  }
  Conversion conversion = ConvertPicture(picture.image, options);
  if (!conversion.ok()) {
    err << path << ": " << conversion.error << "\n";
    return std::nullopt;
  }
  return std::move(conversion.logo);
}

int Convert(const Arguments& args, QTextStream& out, QTextStream& err) {
  if (args.positional.size() != 3) {
    err << "convert takes a picture and the BMP file to write.\n" << UsageText();
    return kUsage;
  }
  const std::optional<MonoLogo> logo = Logo(args.positional[1], args.convert, err);
  if (!logo) return kFailed;
  if (const QString error = SaveMonoBmp(*logo, args.positional[2]); !error.isEmpty()) {
    err << error << "\n";
    return kFailed;
  }
  out << args.positional[2] << ": " << logo->width << " x " << logo->height << " dots, "
      << QString::fromUtf8(MethodName(args.convert.method).data(),
                           qsizetype(MethodName(args.convert.method).size()))
      << ".\n";
  if (FitsDownloadArea(*logo)) {
    out << "PrintBitmap and SetBitmap print it dot for dot with Width PTR_BM_ASIS (-11) and "
           "RecLetterQuality 1.\n";
  } else {
    out << "Too large for PrintBitmap dot for dot (the printer takes at most 1536 bytes of "
           "image, e.g. 512 x 192 dots): store it in the printer with `Imprex store` instead.\n";
  }
  return kDone;
}

int Store(const Arguments& args, QTextStream& out, QTextStream& err) {
  if (args.positional.size() < 3) {
    err << "store takes the printer's logical device name and one or more pictures.\n"
        << UsageText();
    return kUsage;
  }
  std::vector<MonoLogo> logos;
  for (qsizetype i = 2; i < args.positional.size(); ++i) {
    std::optional<MonoLogo> logo = Logo(args.positional[i], args.convert, err);
    if (!logo) return kFailed;
    logos.push_back(std::move(*logo));
  }
  const StoreReport report = StoreLogos(args.positional[1], logos, args.store);
  (report.ok ? out : err) << report.message << "\n";
  return report.ok ? kDone : kFailed;
}

}  // namespace

bool IsCommand(const QStringList& arguments) {
  if (arguments.isEmpty()) return false;
  const QString& first = arguments.first();
  return first == "convert" || first == "store" || first == "--help" || first == "-h" ||
         first == "help" || first == "--version";
}

QString UsageText() {
  return QStringLiteral(
      "Usage:\n"
      "  Imprex                      open the window\n"
      "  Imprex convert IN OUT.bmp [options]\n"
      "                              write a one-bit BMP for PrintBitmap / SetBitmap\n"
      "  Imprex store LDN IN... [options] [--no-print] [--nv-capacity BYTES]\n"
      "                              store the pictures as NV logos 1, 2, ... in the printer\n"
      "                              with this logical device name and print them once\n"
      "  Imprex --help | --version\n"
      "Options:\n"
      "  --width DOTS                logo width (default: the picture's, at most the line)\n"
      "  --printer-width DOTS        the receipt line: 512 (default) or 576\n"
      "  --dither METHOD             threshold, bayer, floyd-steinberg (default), atkinson\n"
      "  --threshold 1..255          dark below this level (default 128)\n"
      "  --brightness -100..100      lighter (positive) or darker (negative)\n"
      "  --contrast -100..100        more (positive) or less (negative) contrast\n"
      "IN is a PNG, JPEG or BMP picture of any depth; transparent parts print white.\n");
}

int RunCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  if (arguments.isEmpty() || arguments.first() == "help" || arguments.contains("--help") ||
      arguments.contains("-h")) {
    out << UsageText();
    return kDone;
  }
  if (arguments.first() == "--version") {
    out << "Imprex " << platform::kReleaseVersion << "\n";
    return kDone;
  }
  Arguments args;
  if (const QString error = Parse(arguments, args); !error.isEmpty()) {
    err << error << "\n" << UsageText();
    return kUsage;
  }
  const QString command = args.positional.value(0);
  if (command == "convert") return Convert(args, out, err);
  if (command == "store") return Store(args, out, err);
  err << "Unknown command " << command << ".\n" << UsageText();
  return kUsage;
}

}  // namespace imprex
