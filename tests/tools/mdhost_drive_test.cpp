// mdhost run against the fake plug-in: the host's sequence from settings to
// release, refusals found by reading the lists back, printing of records and
// events, the summary and the exit status, and the end by signal.

#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

const int kFailed = 1;
const int kRefused = 2;

std::vector<std::string> RunFake(std::vector<std::string> args) {
  args.insert(args.begin(), {"run", TestLibrary("fake_plugin")});
  return Mdhost(args);
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

// A summary row: the name, spaces, the value, the end of the line.
bool HasSummaryRow(const std::string& out, const std::string& name, const std::string& value) {
  return std::regex_search(out, std::regex("\n  " + name + " +" + value + "\n"));
}

TEST(MdhostDrive, RecordsAndEventsArePrintedAndCounted) {
  const ToolResult result =
      RunTool(RunFake({"--device-id", "42", "--channel", "5=cam1", "--channel", "6=cam2", "--channel", "7=cam3",
                       "--disable", "7", "--duration", "1"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const std::string& out = result.out;
  // The camera went into the kind's first setting and the second kept its
  // default; control characters are shown visibly.
  EXPECT_EQ(Count(out, "record channel 5: cam=cam1\\tlabel=unnamed\\r\\n\\x01end\n"), 3u) << out;
  EXPECT_EQ(Count(out, "record channel 6: cam=cam2\\tlabel=unnamed\\r\\n\\x01end\n"), 3u) << out;
  EXPECT_EQ(Count(out, "record channel 7"), 0u) << "a disabled channel receives nothing";
  EXPECT_EQ(Count(out, " 3601 connected\n"), 1u);
  EXPECT_EQ(Count(out, " event 4000\n"), 1u);
  EXPECT_EQ(Count(out, " 3600 connection lost\n"), 1u);
  EXPECT_EQ(Count(out, "for device"), 0u) << "every callback names device 42";
  const std::regex stampedEvent("(^|\n)\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} 3601 connected");
  EXPECT_TRUE(std::regex_search(out, stampedEvent)) << out;

  EXPECT_TRUE(HasSummaryRow(out, "records", "6")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "  channel 5", "3")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "  channel 6", "3")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "events", "3")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "connects", "1")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "losses", "1")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "status at end", "connected")) << out;
  for (const char* operation : {"Disconnect", "Uninitialize", "ReleasePluginModel"}) {
    EXPECT_TRUE(HasSummaryRow(out, operation, "ok")) << operation;
  }
}

TEST(MdhostDrive, QuietPrintsTheSummaryOnly) {
  const ToolResult result = RunTool(RunFake({"--channel", "1=a", "--duration", "0.5", "--quiet"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out.find("summary\n"), 0u) << result.out;
  EXPECT_TRUE(HasSummaryRow(result.out, "records", "3")) << result.out;
}

TEST(MdhostDrive, RefusedSettingIsNamedAndNothingConnects) {
  const ToolResult result = RunTool(RunFake({"--set", "FakeHost=example", "--set", "FakePort=0", "--set",
                                             "FakeMode=turbo", "--channel", "1=a", "--duration", "5"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kRefused);
  EXPECT_NE(result.err.find("mdhost: setting FakePort=0 was refused by the plug-in\n"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("mdhost: setting FakeMode=turbo was refused by the plug-in\n"), std::string::npos);
  EXPECT_EQ(result.err.find("FakeHost"), std::string::npos) << "an accepted setting is not reported";
  EXPECT_EQ(result.out, "") << "nothing connected, no summary";
}

TEST(MdhostDrive, UnknownSettingIsAWarningOnly) {
  const ToolResult result =
      RunTool(RunFake({"--set", "NoSuchSetting=1", "--set", "FakePort=7100", "--duration", "0.3"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.err.find("mdhost: warning: the plug-in has no setting NoSuchSetting; it was ignored"),
            std::string::npos)
      << result.err;
}

TEST(MdhostDrive, RefusedCameraIsNamedAndNothingConnects) {
  const ToolResult result = RunTool(RunFake({"--channel", "1=ok", "--channel", "2=bad", "--duration", "5"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kRefused);
  EXPECT_NE(result.err.find("mdhost: camera FakeCamera=bad of channel 2 was refused by the plug-in"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.out, "");
}

TEST(MdhostDrive, FailedShutdownStepGivesAFailureStatus) {
  const ToolResult result = RunTool(RunFake({"--set", "FakeFailUninitialize=true", "--duration", "0.3"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, kFailed);
  EXPECT_TRUE(HasSummaryRow(result.out, "Disconnect", "ok")) << result.out;
  EXPECT_TRUE(HasSummaryRow(result.out, "Uninitialize", "FAILED")) << result.out;
  EXPECT_TRUE(HasSummaryRow(result.out, "ReleasePluginModel", "ok")) << result.out;
}

TEST(MdhostDrive, SignalsEndTheRunCleanly) {
  for (const int signal : {SIGINT, SIGTERM}) {
    ChildProcess host;
    ASSERT_TRUE(host.Start(RunFake({"--channel", "1=a"})));
    ASSERT_TRUE(host.WaitForStdout("3601 connected", 20000)) << host.Stderr();
    host.Signal(signal);
    ASSERT_TRUE(host.Wait(20000));
    EXPECT_EQ(host.ExitStatus(), 0) << host.Stderr();
    EXPECT_NE(host.Stdout().find(signal == SIGINT ? "stopping on SIGINT" : "stopping on SIGTERM"),
              std::string::npos)
        << host.Stdout();
    EXPECT_TRUE(HasSummaryRow(host.Stdout(), "ReleasePluginModel", "ok")) << host.Stdout();
  }
}

}  // namespace
}  // namespace vantix_test
