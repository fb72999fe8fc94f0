// Storing logos in a printer's NV memory through the POS printer control object, by the
// printer's logical device name, and printing them once to check.
#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "logo_conversion.h"
#include "nv_store_command.h"

namespace imprex {

struct StoreOptions {
  size_t nv_capacity = kDefaultNvCapacity;
  bool print_check = true;  // print each stored logo once, centred, with a caption and a cut
  int claim_timeout_ms = 3000;
};

struct StoreReport {
  bool ok = false;
  QString message;  // what happened, for the user
};

// Builds the FS q command (refusing logos the printer cannot hold before touching it), then
// opens the printer, claims and enables it, writes the command with DirectIO 120, prints
// each logo by its number with DirectIO 111, releases and closes. Runs on the calling
// thread; the control object delivers no events it needs.
StoreReport StoreLogos(const QString& logical_name, const std::vector<MonoLogo>& logos,
                       const StoreOptions& options = {});

// A printer's result in words, and what the technician can do about it.
struct PrinterTrouble {
  QString condition;   // "the printer's cover is open", "result 111 (extended 5)", ...
  QString what_to_do;  // "Close the cover, then try again."; empty when there is no advice
};
// The cover open, the paper out, the printer off or not answering, whichever step reported
// it; the printer in use by another program (`claiming`: the result of ClaimDevice); other
// results by their codes.
PrinterTrouble DescribeResult(int result, int extended, bool claiming = false);

}  // namespace imprex
