// mdhost: a reference host for metadata model plug-ins. It loads a plug-in
// by path and either describes everything the plug-in declares or drives it
// the way a host metadata server does.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/mdhost/describe_output.h"
#include "tools/mdhost/description.h"
#include "tools/mdhost/exit_status.h"
#include "tools/mdhost/plugin_library.h"
#include "tools/mdhost/run.h"

namespace {

const char kUsage[] =
    "usage: mdhost describe PLUGIN [--json]\n"
    "       mdhost run PLUGIN [--set ID=VALUE]... [--channel CHID=CAMERA]... [--disable CHID]...\n"
    "                  [--device-id N] [--duration SECONDS] [--quiet]\n"
    "       mdhost --help\n"
    "\n"
    "describe  prints what the plug-in declares: device, category, channel kinds and\n"
    "          relations, settings dialogs, source configuration, filter profiles and\n"
    "          supported events (--json: one JSON object)\n"
    "run       creates a model, applies the settings, adds the channels (of the first\n"
    "          channel kind, camera in its first setting), connects and prints every\n"
    "          record and event until Ctrl-C or the duration ends; then a summary\n"
    "\n"
    "exit status: 0 ok, 1 a plug-in operation failed, 2 a setting was refused,\n"
    "             3 the plug-in could not be loaded, 64 wrong command line\n";

int UsageError(const char* message) {
  if (message != nullptr) fprintf(stderr, "mdhost: %s\n", message);
  fputs(kUsage, stderr);
  return kExitUsage;
}

// mdhost's report goes to standard output; whatever the plug-in prints there
// itself is passed to standard error, so the report (JSON above all) stays
// clean. Restores nothing: it lasts for the rest of the process.
class ReportStream {
 public:
  ReportStream() : m_file(stdout) {
    fflush(stdout);
    const int reportFd = dup(STDOUT_FILENO);
    if (reportFd < 0) return;
    FILE* report = fdopen(reportFd, "w");
    if (report == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
      if (report != nullptr) fclose(report); else close(reportFd);
      return;
    }
    m_file = report;
  }
  ~ReportStream() {
    if (m_file != stdout) fclose(m_file);
  }
  ReportStream(const ReportStream&) = delete;
  ReportStream& operator=(const ReportStream&) = delete;

  FILE* file() const { return m_file; }

 private:
  FILE* m_file;
};

int Describe(const std::vector<std::string>& args) {
  std::string path;
  bool json = false;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError(("unknown option " + arg).c_str());
    } else if (path.empty()) {
      path = arg;
    } else {
      return UsageError(("more than one plug-in given: " + arg).c_str());
    }
  }
  if (path.empty()) return UsageError("describe wants the path of a plug-in");

  ReportStream report;
  const auto library = PluginLibrary::Load(path);
  if (!library) return kExitLoadError;
  auto model = PluginModel::Create(*library);
  if (!model) return kExitLoadError;
  const PluginDescription description = DescribePlugin(**model, path);
  const bool released = model->Release();
  const std::string text = json ? DescriptionAsJson(description) : DescriptionAsText(description);
  fputs(text.c_str(), report.file());
  if (!released) {
    fprintf(stderr, "mdhost: ReleasePluginModel failed\n");
    return kExitFailed;
  }
  return kExitOk;
}

int Run(const std::vector<std::string>& args) {
  RunOptions options;
  if (!ParseRunOptions(args, &options)) return UsageError(nullptr);
  ReportStream report;
  return RunPlugin(options, report.file());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  const std::vector<std::string> all(argv + 1, argv + argc);
  for (const std::string& arg : all) {
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      return kExitOk;
    }
  }
  const std::string command = all.front();
  const std::vector<std::string> args(all.begin() + 1, all.end());
  if (command == "describe") return Describe(args);
  if (command == "run") return Run(args);
  return UsageError(("unknown command " + command).c_str());
}
