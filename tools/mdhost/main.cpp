// mdhost: a reference host for metadata model plug-ins. It loads a plug-in
// by path and either describes everything the plug-in declares or drives it
// the way a host metadata server does.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "tools/common/command_line.h"
#include "tools/mdhost/describe_output.h"
#include "tools/mdhost/description.h"
#include "tools/mdhost/exit_status.h"
#include "tools/mdhost/plugin_library.h"
#include "tools/mdhost/run.h"

namespace {

const char kDescription[] =
    "A reference host for metadata model plug-ins: loads a plug-in by path and\n"
    "describes what it declares, or drives it the way a host metadata server does.";
// Laid out so that help2man makes it a subsection of the manual page.
const char kExitStatuses[] =
    "Exit status:\n"
    "  0   ok\n"
    "  1   a plug-in operation failed, or the run never connected\n"
    "  2   the plug-in refused a setting or a channel\n"
    "  3   the plug-in could not be loaded\n"
    "  64  a wrong command line";

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
      if (report != nullptr)
        fclose(report);
      else
        close(reportFd);
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

// --help-all, which the manual page is made of, shows each command as a
// block that help2man makes a subsection of: "mdhost run:" and, indented
// under it, the command's description, arguments and options, without the
// titles of their groups.
class CommandBlockFormatter : public CLI::Formatter {
 public:
  std::string make_expanded(const CLI::App* command) const override {
    std::istringstream body(make_description(command) + make_positionals(command) +
                            make_groups(command, CLI::AppFormatMode::Sub));
    std::string block = "\n" + command->get_parent()->get_name() + " " + command->get_name() + ":";
    for (std::string line; std::getline(body, line);) {
      if (!line.empty() && line != "Positionals:" && line != "Options:") block += "\n  " + line;
    }
    return block;  // the list of commands ends each block's last line
  }
};

int Describe(const std::string& path, bool json) {
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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(kDescription, "mdhost");
  app.footer(kExitStatuses);
  app.require_subcommand(1);
  AddVersionFlag(app);
  // The manual page is made of this, so that it lists every command's options.
  app.set_help_all_flag("--help-all", "Print the help of every command and exit");

  CLI::App* describe =
      app.add_subcommand("describe",
                         "print what the plug-in declares: device, category, channel kinds and relations,\n"
                         "settings dialogs, source configuration, filter profiles and supported events");
  std::string describePath;
  bool json = false;
  describe->add_option("PLUGIN", describePath, "the plug-in's shared object")->required();
  describe->add_flag("--json", json, "one JSON object instead of tables");

  CLI::App* run =
      app.add_subcommand("run",
                         "create a model, apply the settings, add the channels (of the first channel kind,\n"
                         "camera in its first setting), connect and print every record and event until\n"
                         "Ctrl-C, SIGTERM or the duration ends; then a summary");
  RunCommandLine runLine;
  AddRunOptions(run, &runLine);
  const auto blocks = std::make_shared<CommandBlockFormatter>();
  describe->formatter(blocks);
  run->formatter(blocks);

  // CLI11 would only say that a command is missing.
  if (argc > 1 && argv[1][0] != '-' && !describe->check_name(argv[1]) && !run->check_name(argv[1])) {
    return UsageError(app, std::string("unknown command ") + argv[1]);
  }
  const int parsed = ParseCommandLine(app, argc, argv);
  if (parsed >= 0) return parsed;
  if (describe->parsed()) return Describe(describePath, json);
  RunOptions options;
  const std::string mistake = MakeRunOptions(runLine, &options);
  if (!mistake.empty()) return UsageError(app, mistake);
  ReportStream report;
  return RunPlugin(options, report.file());
}
