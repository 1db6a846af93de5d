#pragma once

// What the tools share about their command lines: CLI11 parses them; these
// add the checks its own validators do not make and one way to end on a
// mistake.

#include <CLI/CLI.hpp>
#include <string>

// The exit status of a wrong command line (EX_USAGE).
const int kExitUsage = 64;

// Decimal digits only (no sign, no blanks, no 0x), within 64 bits: CLI11's own
// conversion would also take "-1" and "0x10". Add it with ->transform(): it
// drops leading zeros, which the conversion would read as octal.
CLI::Validator Decimal();
// A finite number greater than zero, e.g. "5" or "0.25".
CLI::Validator Positive();

// Adds --version, which prints the tool's name and the project's version on
// one line, e.g. "mdhost 2.0.0.5", and exits with 0.
void AddVersionFlag(CLI::App& app);

// Parses the command line. Returns -1 when the tool is to go on; otherwise
// the status to exit with: 0 after --help (printed to standard output) and
// kExitUsage after a mistake, which UsageError names. --help, --help-all
// and --version print to standard output.
int ParseCommandLine(CLI::App& app, int argc, char** argv);

// Names a mistake on standard error in one line, then where the usage of the
// command in use is; returns kExitUsage. Also for checks that involve more
// than one option.
int UsageError(const CLI::App& app, const std::string& message);

// The number that a text accepted by Decimal() stands for.
unsigned long long DecimalValue(const std::string& text);
