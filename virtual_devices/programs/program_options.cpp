#include "program_options.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace vdev {

const char* const kPrinterUsage =
    "usage: vprinter [--thermal42 | --thermal56 | --dotmatrix] [--pin3 high-open|low-open]\n"
    "                [--tcp [ADDR:]PORT | --pty PATH | --usb ROOT] [--baud N]\n"
    "                [--png DIR] [--text FILE] [--capture FILE] [--log FILE]\n"
    "       vprinter --render-file FILE --png DIR [--text FILE] [model options]\n"
    "--baud N reads the host's bytes at the pace of an N-baud serial line (as \"baud N\").\n"
    "Without an attachment it listens on tcp 127.0.0.1:9100. Commands are read from standard\n"
    "input, one a line (\"help\" lists them); \"quit\", end of input or a signal ends it.\n";

const char* const kDisplayUsage =
    "usage: vdisplay (--pty PATH | --tcp [ADDR:]PORT | --usb ROOT)\n"
    "                [--png DIR] [--text FILE] [--capture FILE] [--log FILE]\n"
    "Commands are read from standard input, one a line (\"help\" lists them); \"quit\", end of\n"
    "input or a signal ends it.\n";

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 5) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Options shared by both programs; false when `option` is not one of them.
bool ParseCommon(const std::string& option, const std::function<bool(std::string&)>& value,
                 AttachmentChoice& attach, OutputChoice& output, bool& ok, std::string& error) {
  std::string text;
  auto take = [&](std::string& into) {
    ok = value(text);
    if (ok) into = text;
  };
  auto attachment = [&](AttachmentChoice::Kind kind) {
    if (attach.kind != AttachmentChoice::Kind::None) {
      ok = false;
      error = "choose only one of --tcp, --pty and --usb";
      return;
    }
    ok = value(text);
    if (!ok) return;
    attach.kind = kind;
    if (kind == AttachmentChoice::Kind::Tcp) {
      ok = ParseTcpEndpoint(text, attach, error);
    } else {
      attach.path = text;
    }
  };
  if (option == "--tcp") {
    attachment(AttachmentChoice::Kind::Tcp);
  } else if (option == "--pty") {
    attachment(AttachmentChoice::Kind::Pty);
  } else if (option == "--usb") {
    attachment(AttachmentChoice::Kind::Usb);
  } else if (option == "--png") {
    take(output.png_dir);
  } else if (option == "--text") {
    take(output.text_file);
  } else if (option == "--capture") {
    take(output.capture_file);
  } else if (option == "--log") {
    take(output.log_file);
  } else {
    return false;
  }
  return true;
}

// Walks the arguments; `handle` gets each option and a way to take its value.
bool Walk(const std::vector<std::string>& args, std::string& error,
          const std::function<bool(const std::string&, const std::function<bool(std::string&)>&,
                                   bool&)>& handle) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = option + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    bool ok = true;
    if (!handle(option, value, ok)) {
      error = "unknown option: " + option;
      return false;
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool ParseTcpEndpoint(const std::string& text, AttachmentChoice& choice, std::string& error) {
  const size_t colon = text.rfind(':');
  const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (colon != std::string::npos) {
    if (colon == 0) return error = "--tcp: empty address in " + text, false;
    choice.address = text.substr(0, colon);
  }
  if (!AllDigits(port) || std::stoi(port) > 65535) {
    error = "--tcp: not a port number: " + port;
    return false;
  }
  choice.port = std::stoi(port);
  return true;
}

bool ParsePrinterOptions(const std::vector<std::string>& args, PrinterProgramOptions& options,
                         std::string& error) {
  int models = 0;
  const bool walked =
      Walk(args, error, [&](const std::string& option, const auto& value, bool& ok) {
        if (ParseCommon(option, value, options.attach, options.output, ok, error)) return true;
        if (option == "--thermal42" || option == "--thermal56" || option == "--dotmatrix") {
          ++models;
          options.dot_matrix = option == "--dotmatrix";
          options.columns = option == "--thermal56" ? 56 : option == "--dotmatrix" ? 33 : 42;
        } else if (option == "--pin3") {
          std::string level;
          ok = value(level);
          if (ok && level != "high-open" && level != "low-open") {
            ok = false;
            error = "--pin3 takes high-open or low-open, not " + level;
          }
          options.pin3_high_open = level == "high-open";
        } else if (option == "--render-file") {
          ok = value(options.render_file);
        } else if (option == "--baud") {
          std::string rate;
          ok = value(rate);
          if (ok && (rate.empty() || rate.size() > 7 ||
                     !std::all_of(rate.begin(), rate.end(), [](char c) { return std::isdigit(c); }) ||
                     std::stoi(rate) < 50)) {
            ok = false;
            error = "--baud takes a rate of 50 bits a second or more, not " + rate;
          }
          if (ok) options.baud = std::stoi(rate);
        } else if (option == "--help" || option == "-h") {
          options.help = true;
        } else if (option == "--version") {
          options.version = true;
        } else {
          return false;
        }
        return true;
      });
  if (!walked) return false;
  if (models > 1) return error = "choose only one printer model", false;
  if (!options.render_file.empty()) {
    if (options.attach.kind != AttachmentChoice::Kind::None)
      return error = "--render-file works offline: no --tcp, --pty or --usb", false;
    if (options.output.png_dir.empty() && options.output.text_file.empty())
      return error = "--render-file needs --png DIR or --text FILE", false;
  } else if (options.attach.kind == AttachmentChoice::Kind::None) {
    options.attach.kind = AttachmentChoice::Kind::Tcp;
  }
  return true;
}

bool ParseDisplayOptions(const std::vector<std::string>& args, DisplayProgramOptions& options,
                         std::string& error) {
  const bool walked =
      Walk(args, error, [&](const std::string& option, const auto& value, bool& ok) {
        if (ParseCommon(option, value, options.attach, options.output, ok, error)) return true;
        if (option == "--version") {
          options.version = true;
        } else if (option == "--help" || option == "-h") {
          options.help = true;
        } else {
          return false;
        }
        return true;
      });
  if (!walked) return false;
  if (!options.help && !options.version && options.attach.kind == AttachmentChoice::Kind::None)
    return error = "choose --pty PATH, --tcp [ADDR:]PORT or --usb ROOT", false;
  return true;
}

}  // namespace vdev
