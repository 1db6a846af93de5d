// scripts/demo in a shortened run on the tools of this build: records reach
// the channels of their camera, a stop signal still ends in a summary, a busy
// port is named, and no process of the demo outlives it on any of these
// paths.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/loopback_server.h"
#include "tools/tool_command.h"

namespace vantix_test {
namespace {

// A generous deadline for a run under the emulator on a busy machine.
const int kDemoDeadlineMs = 90000;

std::vector<std::string> Demo(const std::vector<std::string>& args) {
  const std::string arch = std::string(VANTIX_EMULATOR).empty() ? "x86_64" : "i386";
  std::vector<std::string> argv = {"/bin/bash", std::string(VANTIX_SOURCE_DIR) + "/scripts/demo", "--build-dir",
                                   VANTIX_BINARY_DIR, "--arch", arch};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Every process of one demo run carries this variable in its environment,
// inherited from the test, emulator or not; what still carries it once the
// demo has ended was left running. Those are killed after being counted, so a
// failure leaves nothing behind either.
class ProcessMark {
 public:
  ProcessMark() : m_entry(std::string(kName) + "=" + std::to_string(getpid()) + "-" + std::to_string(++s_runs)) {
    setenv(kName, m_entry.c_str() + strlen(kName) + 1, 1);
  }
  ~ProcessMark() { unsetenv(kName); }
  ProcessMark(const ProcessMark&) = delete;
  ProcessMark& operator=(const ProcessMark&) = delete;

  std::vector<std::string> Leftovers() const {
    std::vector<std::string> leftovers;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return {"(cannot read /proc)"};
    while (const dirent* entry = readdir(proc)) {
      const pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
      if (pid <= 0 || pid == getpid() || !Carries(pid)) continue;
      std::string name = Read("/proc/" + std::to_string(pid) + "/comm");
      if (!name.empty() && name.back() == '\n') name.pop_back();
      leftovers.push_back(std::to_string(pid) + " " + name);
      kill(pid, SIGKILL);
    }
    closedir(proc);
    return leftovers;
  }

 private:
  static constexpr const char* kName = "VANTIX_DEMO_SMOKE_RUN";

  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  // The environment holds NUL-terminated entries.
  bool Carries(pid_t pid) const {
    const std::string environment = Read("/proc/" + std::to_string(pid) + "/environ");
    const std::string entry = m_entry + '\0';
    return environment.compare(0, entry.size(), entry) == 0 ||
           environment.find('\0' + entry) != std::string::npos;
  }

  static int s_runs;
  const std::string m_entry;
};
int ProcessMark::s_runs = 0;

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

TEST(DemoSmoke, ShortRunFeedsTheChannelsOfEachCameraAndLeavesNothingRunning) {
  const ProcessMark mark;
  // Port 0: the simulator takes a free port and the demo points the plug-in at it.
  const ToolResult result = RunTool(Demo({"--duration", "8", "--port", "0"}), kDemoDeadlineMs);
  ASSERT_TRUE(result.finished) << result.out << result.err;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const std::string& out = result.out;
  EXPECT_GT(Count(out, "record channel 1: CamID:1\\r\\nEvent:FaceMatched\\r\\n"), 0u) << out;
  EXPECT_GT(Count(out, "record channel 2: CamID:2\\r\\nEvent:FaceMatched\\r\\n"), 0u) << out;
  EXPECT_EQ(Count(out, "record channel 1: CamID:2"), 0u) << out;
  EXPECT_EQ(Count(out, "record channel 2: CamID:1"), 0u) << out;
  EXPECT_EQ(Count(out, "record channel 3"), 0u) << "channel 3 is disabled\n" << out;
  EXPECT_EQ(Count(out, " 3601 connected\n"), 1u) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\n  connects +1\n"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\n  ReleasePluginModel +ok\n"))) << out;
  EXPECT_NE(out.find("vantix-sim: done:"), std::string::npos) << "the simulator's last words are shown\n" << out;
  EXPECT_EQ(mark.Leftovers(), std::vector<std::string>());
}

TEST(DemoSmoke, TermStopsTheHostWithItsSummaryAndTheSimulator) {
  const ProcessMark mark;
  ChildProcess demo;
  ASSERT_TRUE(demo.Start(Demo({"--duration", "120", "--port", "0"})));
  ASSERT_TRUE(demo.WaitForStdout("record channel 2:", kDemoDeadlineMs)) << demo.Stdout() << demo.Stderr();
  demo.Signal(SIGTERM);
  ASSERT_TRUE(demo.Wait(kDemoDeadlineMs));
  EXPECT_EQ(demo.ExitStatus(), 128 + SIGTERM);
  EXPECT_NE(demo.Stderr().find("demo: interrupted; stopping the host\n"), std::string::npos) << demo.Stderr();
  EXPECT_TRUE(std::regex_search(demo.Stdout(), std::regex("\nsummary\n  records +[1-9]"))) << demo.Stdout();
  EXPECT_TRUE(std::regex_search(demo.Stdout(), std::regex("\n  Uninitialize +ok\n"))) << demo.Stdout();
  EXPECT_EQ(mark.Leftovers(), std::vector<std::string>());
}

TEST(DemoSmoke, BusyPortIsNamedAndNothingRuns) {
  const ProcessMark mark;
  LoopbackServer taken;
  ASSERT_TRUE(taken.IsListening());
  const std::string port = std::to_string(taken.Port());
  const ToolResult result = RunTool(Demo({"--duration", "8", "--port", port}), kDemoDeadlineMs);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("demo: port " + port + " on 127.0.0.1 is busy"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("record channel"), std::string::npos) << result.out;
  EXPECT_EQ(mark.Leftovers(), std::vector<std::string>());
}

}  // namespace
}  // namespace vantix_test
