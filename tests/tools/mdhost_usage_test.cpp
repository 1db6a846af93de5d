// mdhost's refusals before it drives anything: plug-ins it cannot load or that
// give no model (exit 3) and command lines it cannot use (exit 64), each named
// first on standard error.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

void ExpectRefusal(const std::vector<std::string>& args, int exitStatus, const std::string& message) {
  const ToolResult result = RunTool(Mdhost(args));
  EXPECT_EQ(result.exitStatus, exitStatus) << message;
  EXPECT_EQ(result.err.find("mdhost: " + message), 0u) << result.err;
  EXPECT_EQ(result.out, "") << message;
}

TEST(MdhostUsage, UnloadablePluginsAreNamedWithTheirCause) {
  const std::string text = "/tmp/mdhost_usage_" + std::to_string(getpid()) + ".so", elf = text + ".elf";
  const bool host64 = sizeof(void*) == 8;
  std::ofstream(text) << "not a shared object\n";
  std::ofstream(elf) << "\x7F" "ELF" << static_cast<char>(host64 ? 1 : 2) << std::string(59, '\0');  // other word size
  const std::string noEntry = VANTIX_TEST_LIBRARY_DIR "/libtools_no_entry_points.so";
  const std::string noModel = VANTIX_TEST_LIBRARY_DIR "/libtools_null_model.so";
  ExpectRefusal({"describe", "libc.so.6"}, 3, "cannot load libc.so.6: No such file or directory\n");  // a file
  ExpectRefusal({"run", text}, 3, "cannot load " + text + ": not an ELF shared object (");
  ExpectRefusal({"describe", elf}, 3, "cannot load " + elf + (host64 ? ": it is a 32-bit plug-in; this mdhost is 64-bit ("
                                                                      : ": it is a 64-bit plug-in; this mdhost is 32-bit ("));
  ExpectRefusal({"describe", noEntry}, 3, noEntry + " is not a plug-in of this interface: it does not export CreatePluginModel\n");
  ExpectRefusal({"run", noModel}, 3, "CreatePluginModel of " + noModel + " returned no model\n");
  unlink(text.c_str());
  unlink(elf.c_str());
}

// With no descriptor left the system's own error is what mdhost reports.
TEST(MdhostUsage, LoadErrorOfTheSystemIsReportedAsItIs) {
  std::vector<std::string> argv = Mdhost({"describe", VANTIX_PLUGIN_PATH});
  argv.insert(argv.begin(), {"/bin/sh", "-c", "ulimit -n $0 && exec \"$@\"", ""});
  ToolResult result;
  for (int limit = 4; limit < 64 && result.err.find("Too many open files") == std::string::npos; ++limit) {
    argv[3] = std::to_string(limit);
    result = RunTool(argv);
  }
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.err.find("cannot load " VANTIX_PLUGIN_PATH ": "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("not an ELF"), std::string::npos);
}

TEST(MdhostUsage, WrongCommandLinesExitWith64) {
  const std::string plugin = VANTIX_TEST_LIBRARY_DIR "/libtools_fake_plugin.so";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"list", plugin}, "unknown command list"},
      {{"describe"}, "PLUGIN is required"},
      {{"describe", plugin, "--xml"}, "The following argument was not expected: --xml"},
      {{"run", plugin, "--set", "=5"}, "--set: wants ID=VALUE"},
      {{"run", plugin, "--set", std::string(65, 'x') + "=1"}, "--set: the identifier is longer than 64 bytes"},
      {{"run", plugin, "--channel", "1=2", "--channel", "01=3"}, "--channel: channel 01 is given twice"},
      {{"run", plugin, "--channel", "1=2", "--disable", "2"}, "--disable 2: no --channel adds that channel"},
      {{"run", plugin, "--device-id", "0x10"}, "--device-id: wants a decimal number"},
      {{"run", plugin, "--duration", "0"}, "--duration: wants a positive number"}};
  for (const auto& entry : cases) ExpectRefusal(entry.first, 64, entry.second);
  for (const char* command : {"describe", "run"}) {
    const ToolResult help = RunTool(Mdhost({command, "--help"}));
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find(std::string("Usage: mdhost ") + command), std::string::npos) << help.out;
  }
}

}  // namespace
}  // namespace vantix_test
