// mdhost run against the product plug-in and vantix-sim: records reach the
// enabled channels of their camera until a signal ends the run with its
// summary, refusals exit 2, a run that never connected exits 1 and says why.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

std::vector<std::string> RunProduct(const std::string& setting, std::vector<std::string> args) {
  args.insert(args.begin(), {"run", VANTIX_PLUGIN_PATH, "--set", setting});
  return Mdhost(args);
}

std::string PortSetting(int port) { return "ModelVantixServerPort=" + std::to_string(port); }

TEST(MdhostRun, RecordsReachTheEnabledChannelsOfTheirCameraUntilASignal) {
  ChildProcess sim(VantixSim({"--port", "0", "--rate", "20", "--cameras", "2,3"}));
  ChildProcess host(RunProduct(PortSetting(PortOf(sim)), {"--channel", "1=2", "--channel", "2=3", "--channel", "3=2",
                                                          "--disable", "3"}));
  EXPECT_TRUE(WaitUntil([&] { return Count(host.Stdout(), "record channel") >= 10; }, 20000)) << host.Stderr();
  host.Signal(SIGTERM);
  ASSERT_TRUE(host.Wait(20000));
  EXPECT_EQ(host.ExitStatus(), 0) << host.Stderr();
  const std::string out = host.Stdout();
  EXPECT_GT(Count(out, "record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u) << out;
  EXPECT_GT(Count(out, "record channel 2: CamID:3\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u) << out;
  EXPECT_EQ(Count(out, "record channel 1: CamID:3") + Count(out, "record channel 2: CamID:2"), 0u);
  EXPECT_EQ(Count(out, "record channel 3"), 0u) << "a disabled channel receives nothing";
  EXPECT_EQ(Count(out, " 3601 connected\n") + Count(out, " stopping on SIGTERM\n") + Count(out, " 3600 connection lost\n"), 3u);
  EXPECT_TRUE(HasSummaryRow(out, "status before disconnect", "connected")) << out;
  EXPECT_TRUE(HasSummaryRow(out, "ReleasePluginModel", "ok")) << out;
}

TEST(MdhostRun, RefusedSettingsAndChannelsExitWith2) {
  std::vector<std::string> tooMany;
  for (int id = 1; id <= 1025; ++id) tooMany.insert(tooMany.end(), {"--channel", std::to_string(id) + "=1"});
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--set", "ModelVantixServerPort=0"}, "setting ModelVantixServerPort=0 was refused by the plug-in\n"},
      {{"--channel", "1=600"}, "camera ModelVantixCH=600 of channel 1 was refused by the plug-in\n"},
      {tooMany, "the plug-in refuses channel 1025: CanAddNewChannel(1025, ID_VANTIX_CH) is false, so it takes at "
                "most 1024 channels of that kind\n"}};
  for (const auto& entry : cases) {
    const ToolResult result = RunTool(RunProduct("ModelVantixIP=127.0.0.1", entry.first));
    EXPECT_EQ(result.exitStatus, 2) << entry.second;
    EXPECT_NE(result.err.find("mdhost: " + entry.second), std::string::npos) << entry.second;
    EXPECT_EQ(result.out, "");
  }
}

TEST(MdhostRun, NeverConnectedExitsWith1AndSaysWhy) {
  // A bound port refuses; a listener whose queue is full lets the handshake time out.
  const int bound = socket(AF_INET, SOCK_STREAM, 0), full = socket(AF_INET, SOCK_STREAM, 0);
  const int queued = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in refusing = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}}, silent = refusing;
  socklen_t size = sizeof(sockaddr_in);
  auto* any = reinterpret_cast<sockaddr*>(&silent);
  ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&refusing), size) | bind(full, any, size) | listen(full, 0) |
                getsockname(bound, reinterpret_cast<sockaddr*>(&refusing), &size) | getsockname(full, any, &size) |
                connect(queued, any, size), 0);
  const std::string refused = PortSetting(ntohs(refusing.sin_port));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {refused, "127.0.0.1, " + refused + "): the plug-in's error \"Failed to connect to target Vantix server.\" "
                "means the connection was refused"},
      {"ModelVantixIP=a..b", "a..b, ModelVantixServerPort=7000): the plug-in's error \"Unknow error (error code: "
                             "670002)\" means the host name could not be resolved ("},
      {PortSetting(ntohs(silent.sin_port)), "): the plug-in's error \"Unknow error (error code: 70007)\" means the "
                                            "connection timed out"}};
  for (const auto& entry : cases) {
    const ToolResult result = RunTool(RunProduct(entry.first, {"--duration", "4"}));
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_NE(result.err.find("mdhost: never connected to the server (ModelVantixIP="), std::string::npos);
    EXPECT_NE(result.err.find(entry.second), std::string::npos) << result.err;
    EXPECT_TRUE(HasSummaryRow(result.out, "status before disconnect", "disconnected")) << result.out;
  }
  for (const int fd : {bound, full, queued}) close(fd);
}

}  // namespace
}  // namespace vantix_test
