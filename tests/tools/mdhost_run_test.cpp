// mdhost run against the product plug-in and vantix-sim: the whole road
// from the server's records to the host's channels.

#include <gtest/gtest.h>

#include <regex>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

std::vector<std::string> RunProduct(std::vector<std::string> args) {
  args.insert(args.begin(), {"run", VANTIX_PLUGIN_PATH});
  return Mdhost(args);
}

TEST(MdhostRun, RecordsReachTheChannelsOfTheirCamera) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "20", "--cameras", "2,3"});
  ASSERT_GT(port, 0) << sim.Stderr();
  const ToolResult result =
      RunTool(RunProduct({"--set", "ModelVantixServerPort=" + std::to_string(port), "--channel", "1=2",
                          "--channel", "2=3", "--channel", "3=2", "--disable", "3", "--duration", "3"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const std::string& out = result.out;
  EXPECT_EQ(Count(out, " 3601 connected\n"), 1u) << out;
  EXPECT_GT(Count(out, "record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u) << out;
  EXPECT_GT(Count(out, "record channel 2: CamID:3\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u) << out;
  EXPECT_EQ(Count(out, "record channel 1: CamID:3"), 0u);
  EXPECT_EQ(Count(out, "record channel 2: CamID:2"), 0u);
  EXPECT_EQ(Count(out, "record channel 3"), 0u) << "a disabled channel receives nothing";
  EXPECT_TRUE(std::regex_search(out, std::regex("\n  connects +1\n"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\n  status at end +connected\n"))) << out;
  EXPECT_EQ(Count(out, " 3600 connection lost\n"), 1u) << "the host's own disconnect is reported too";
}

TEST(MdhostRun, RefusedPortStopsBeforeConnecting) {
  const ToolResult result = RunTool(RunProduct({"--set", "ModelVantixServerPort=0", "--channel", "1=2"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("mdhost: setting ModelVantixServerPort=0 was refused by the plug-in\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.out, "");
}

TEST(MdhostRun, UnreachableServerEndsDisconnectedWithItsError) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--duration", "0.1"});
  ASSERT_GT(port, 0) << sim.Stderr();
  ASSERT_TRUE(sim.Wait(20000));  // nothing listens on the port any more
  const ToolResult result = RunTool(
      RunProduct({"--set", "ModelVantixServerPort=" + std::to_string(port), "--channel", "1=2", "--duration", "2"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(std::regex_search(result.out, std::regex("\n  connects +0\n"))) << result.out;
  EXPECT_TRUE(std::regex_search(result.out, std::regex("\n  status at end +disconnected\n"))) << result.out;
  EXPECT_TRUE(std::regex_search(result.out, std::regex("\n  last error +(Unknow error|Failed to connect)")))
      << result.out;
}

}  // namespace
}  // namespace vantix_test
