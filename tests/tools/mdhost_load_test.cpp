// mdhost's refusals: plug-ins it cannot load or that give no model (exit 3,
// one message naming the cause) and command lines it cannot use (exit 64).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

const int kLoadError = 3;
const int kUsageError = 64;

// A file in a fresh temporary folder, removed with it.
class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    char folder[] = "/tmp/mdhost_test.XXXXXX";
    m_folder = mkdtemp(folder) != nullptr ? folder : "/tmp";
    m_path = m_folder + "/plugin.so";
    std::ofstream(m_path, std::ios::binary) << content;
  }
  ~TempFile() {
    unlink(m_path.c_str());
    rmdir(m_folder.c_str());
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_folder;
  std::string m_path;
};

// Stderr holds exactly one line, and it contains `text`.
void ExpectOneMessage(const ToolResult& result, const std::string& text) {
  EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

TEST(MdhostLoad, MissingFileIsALoadError) {
  const ToolResult result = RunTool(Mdhost({"describe", "/nonexistent/libNothing.so"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kLoadError);
  ExpectOneMessage(result, "cannot load /nonexistent/libNothing.so: No such file or directory");
  EXPECT_EQ(result.out, "");
}

TEST(MdhostLoad, FileThatIsNotElfIsALoadError) {
  const TempFile file("this is text, not a shared object\n");
  for (const char* command : {"describe", "run"}) {
    const ToolResult result = RunTool(Mdhost({command, file.path()}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, kLoadError) << command;
    ExpectOneMessage(result, "cannot load " + file.path() + ": not an ELF shared object (");
  }
}

// An ELF header of the other word size: the message says which is which.
TEST(MdhostLoad, OtherWordSizeIsNamed) {
  const bool host64 = sizeof(void*) == 8;
  std::string header("\x7F" "ELF", 4);
  header += static_cast<char>(host64 ? 1 : 2);  // EI_CLASS of the other word size
  header += std::string(59, '\0');
  const TempFile file(header);
  const ToolResult result = RunTool(Mdhost({"describe", file.path()}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kLoadError);
  ExpectOneMessage(result, host64 ? "it is a 32-bit plug-in; this mdhost is 64-bit"
                                  : "it is a 64-bit plug-in; this mdhost is 32-bit");
}

TEST(MdhostLoad, SharedObjectWithoutEntryPointsIsALoadError) {
  const std::string path = TestLibrary("no_entry_points");
  const ToolResult result = RunTool(Mdhost({"describe", path}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kLoadError);
  ExpectOneMessage(result, path + " is not a plug-in of this interface: it does not export CreatePluginModel");
}

TEST(MdhostLoad, NoModelFromCreatePluginModelIsALoadError) {
  const std::string path = TestLibrary("null_model");
  for (const char* command : {"describe", "run"}) {
    const ToolResult result = RunTool(Mdhost({command, path}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, kLoadError) << command;
    ExpectOneMessage(result, "CreatePluginModel of " + path + " returned no model");
  }
}

// A plug-in named without a folder is the file in the current folder, not a
// library searched along the library path.
TEST(MdhostLoad, BareNameIsAFileNotALibrarySearch) {
  const ToolResult result = RunTool(Mdhost({"describe", "libc.so.6"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kLoadError);
  ExpectOneMessage(result, "cannot load libc.so.6: No such file or directory");
}

TEST(MdhostUsage, HelpPrintsUsageAndSucceeds) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"run", "--help"}, {"describe", "x.so", "-h"}}) {
    const ToolResult result = RunTool(Mdhost(args));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, 0) << args[0];
    EXPECT_EQ(result.out.find("usage: mdhost describe PLUGIN"), 0u) << result.out;
    EXPECT_EQ(result.err, "");
  }
}

TEST(MdhostUsage, WrongCommandLinesExitWith64) {
  const std::string plugin = TestLibrary("fake_plugin");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no command given"},
      {{"list", plugin}, "unknown command list"},
      {{"describe"}, "describe wants the path of a plug-in"},
      {{"describe", plugin, "--xml"}, "unknown option --xml"},
      {{"describe", plugin, plugin}, "more than one plug-in given"},
      {{"run"}, "run wants the path of a plug-in"},
      {{"run", plugin, "--set", "FakePort"}, "--set wants ID=VALUE"},
      {{"run", plugin, "--set", "=5"}, "--set wants ID=VALUE"},
      {{"run", plugin, "--set", std::string(65, 'x') + "=1"}, "longer than 64 bytes"},
      {{"run", plugin, "--set", "FakeHost=" + std::string(257, 'h')}, "longer than 256 bytes"},
      {{"run", plugin, "--channel", "one=2"}, "--channel wants CHID=CAMERA"},
      {{"run", plugin, "--channel", "-1=2"}, "--channel wants CHID=CAMERA"},
      {{"run", plugin, "--channel", "1=2", "--channel", "1=3"}, "channel 1 is given twice"},
      {{"run", plugin, "--channel", "1=2", "--disable", "2"}, "--disable 2: no --channel adds that channel"},
      {{"run", plugin, "--device-id", "0x10"}, "--device-id wants a decimal number"},
      {{"run", plugin, "--device-id", "99999999999999999999"}, "--device-id wants a decimal number"},
      {{"run", plugin, "--duration", "0"}, "--duration wants a positive number"},
      {{"run", plugin, "--duration", "-1"}, "--duration wants a positive number"},
      {{"run", plugin, "--duration"}, "--duration wants a value"},
      {{"run", plugin, "--loud"}, "unknown option --loud"},
  };
  for (const auto& entry : cases) {
    const ToolResult result = RunTool(Mdhost(entry.first));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, kUsageError) << entry.second;
    EXPECT_EQ(result.err.rfind("mdhost: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(entry.second), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("usage: mdhost"), std::string::npos) << entry.second;
    EXPECT_EQ(result.out, "") << entry.second;
  }
}

}  // namespace
}  // namespace vantix_test
