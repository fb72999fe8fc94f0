// The command line: `Imprex convert IN OUT [options]`, `Imprex store LDN IN... [options]`,
// `Imprex --help`. Without a command Imprex opens its window.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace imprex {

// True when `arguments` (without the program name) ask for a command, not the window.
bool IsCommand(const QStringList& arguments);

// Runs the command; messages go to `out` and `err`. Returns the exit status: 0 done,
// 1 the work failed (bad picture, printer trouble), 2 the command line is wrong.
int RunCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

QString UsageText();

}  // namespace imprex
