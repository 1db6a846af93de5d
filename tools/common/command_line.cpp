#include "tools/common/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string CheckDecimal(std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return "wants a decimal number, not '" + text + "'";
  }
  errno = 0;
  strtoull(text.c_str(), nullptr, 10);
  if (errno != 0) return "'" + text + "' does not fit in 64 bits";
  text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
  return "";
}

std::string CheckPositive(std::string& text) {
  char* end = nullptr;
  const double value = strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0) {
    return "wants a positive number, not '" + text + "'";
  }
  return "";
}

}  // namespace

CLI::Validator Decimal() { return CLI::Validator(CheckDecimal, ""); }
CLI::Validator Positive() { return CLI::Validator(CheckPositive, ""); }

void AddVersionFlag(CLI::App& app) {
  app.set_version_flag("--version", app.get_name() + " " VANTIX_VERSION, "Print the version and exit");
}

int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
    return -1;
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    return UsageError(app, error.what());
  }
}

int UsageError(const CLI::App& app, const std::string& message) {
  std::string command = app.get_name();
  for (const CLI::App* subcommand : app.get_subcommands()) command += " " + subcommand->get_name();
  fprintf(stderr, "%s: %s\n%s: see %s --help\n", app.get_name().c_str(), message.c_str(),
          app.get_name().c_str(), command.c_str());
  return kExitUsage;
}

unsigned long long DecimalValue(const std::string& text) { return strtoull(text.c_str(), nullptr, 10); }
