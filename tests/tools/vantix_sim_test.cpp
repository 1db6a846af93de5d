// vantix-sim serving, capturing and replaying, with its own capture mode as
// the client: the fault scenarios a client meets, and a capture that, replayed
// into mdhost, brings the same records to the same channels.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

std::string CapturePath() { return "/tmp/vantix_sim_capture_" + std::to_string(getpid()); }

// Captures from the simulator on `port` into CapturePath(); the capture's report.
std::string Capture(int port, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"--capture", "127.0.0.1:" + std::to_string(port), "--output", CapturePath()});
  return ChildProcess(VantixSim(args), kRunToEnd).Stderr();
}

TEST(VantixSim, FaultScenariosAsAClientMeetsThem) {
  ChildProcess dropping(VantixSim({"--port", "0", "--rate", "20", "--drop-after", "3"}));
  const std::string dropped = Capture(PortOf(dropping));
  EXPECT_NE(dropped.find("closed the connection\nvantix-sim: captured "), std::string::npos) << dropped;
  EXPECT_NE(dropped.find(" in 3 chunks: 3 records (line feeds), 0 chunks holding more"), std::string::npos);
  ChildProcess silent(VantixSim({"--port", "0", "--silent"}));
  const std::string quiet = Capture(PortOf(silent), {"--duration", "0.7"});
  EXPECT_NE(quiet.find("duration over; stopping\nvantix-sim: captured 0 bytes"), std::string::npos) << quiet;
  ChildProcess pausing(VantixSim({"--port", "0", "--rate", "20", "--pause-listen-after", "2", "--pause-seconds", "2"}));
  const int port = PortOf(pausing);
  EXPECT_NE(Capture(port).find(" in 2 chunks"), std::string::npos);
  EXPECT_NE(Capture(port).find(std::to_string(port) + ": Connection refused"), std::string::npos);
  ASSERT_TRUE(WaitForStderr(pausing, "resumed listening on 127.0.0.1:" + std::to_string(port)));
  EXPECT_NE(Capture(port, {"--duration", "1"}).find("duration over; stopping"), std::string::npos);
  unlink(CapturePath().c_str());
}

// A text file's lines, served one per write, captured byte for byte with
// their times and replayed at twice the speed, reach mdhost's channels as if
// sent directly; a chunk of two records stays one write in the replay, so the
// plug-in drops both.
TEST(VantixSim, CaptureReplayedIntoMdhostBringsTheSameRecordsToTheSameChannels) {
  std::ofstream(CapturePath() + ".txt") << "CamID:2 Event:FaceMatched Person:Ann\nCamID:3 Event:Spoof Person:Ben\r\n"
                                           "CamID:2 Event:FaceMatched Person:Chloe\n";
  ChildProcess server(VantixSim({"--port", "0", "--replay", CapturePath() + ".txt", "--rate", "5"}));
  EXPECT_NE(Capture(PortOf(server)).find("captured 110 bytes in 3 chunks: 3 records"), std::string::npos);
  unlink((CapturePath() + ".txt").c_str());
  std::ifstream file(CapturePath(), std::ios::binary);
  const std::string capture((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::smatch offsets;
  ASSERT_TRUE(std::regex_match(capture, offsets, std::regex("vantix-capture 1\n(\\d+) 38\nCamID:2 Event:FaceMatched "
      "Person:Ann\r\n\n\\d+ 32\nCamID:3 Event:Spoof Person:Ben\r\n\n(\\d+) 40\nCamID:2 Event:FaceMatched Person:Chloe"
      "\r\n\n"))) << capture;
  const long long spanUs = std::stoll(offsets[2]) - std::stoll(offsets[1]);
  std::ofstream(CapturePath(), std::ios::app) << std::stoll(offsets[2]) + 200000 << " 40\nCamID:2 Event:Lost\r\n"
                                                 "CamID:3 Event:Lost\r\n\n";
  // Both read the file before they listen, so the capture below may overwrite it.
  ChildProcess replay(VantixSim({"--port", "0", "--replay", CapturePath(), "--speed", "2"}));
  ChildProcess again(VantixSim({"--port", "0", "--replay", CapturePath()}));
  const int replayPort = PortOf(replay);
  EXPECT_NE(Capture(PortOf(again)).find("in 4 chunks: 5 records (line feeds), 1 chunks holding more"),
            std::string::npos);
  unlink(CapturePath().c_str());
  const std::string out = ChildProcess(Mdhost({"run", VANTIX_PLUGIN_PATH, "--set", "ModelVantixServerPort=" +
                                               std::to_string(replayPort), "--channel", "1=2", "--channel", "2=3",
                                               "--duration", "2"}), kRunToEnd).Stdout();
  std::vector<std::string> delivered;
  std::vector<int> milliseconds;  // of the minute, from mdhost's time stamps
  const std::regex record(":(\\d\\d)\\.(\\d{3}) (record channel \\d+: [^\n]*)");
  for (std::sregex_iterator at(out.begin(), out.end(), record), end; at != end; ++at) {
    delivered.push_back((*at)[3]);
    milliseconds.push_back(std::stoi((*at)[1]) * 1000 + std::stoi((*at)[2]));
  }
  EXPECT_EQ(delivered, (std::vector<std::string>{"record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:Ann\\r\\n\\r\\n",
                                                 "record channel 2: CamID:3\\r\\nEvent:Spoof\\r\\nPerson:Ben\\r\\n\\r\\n",
                                                 "record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:Chloe\\r\\n\\r\\n"}))
      << out;
  ASSERT_EQ(milliseconds.size(), 3u);
  EXPECT_NEAR((milliseconds[2] - milliseconds[0] + 60000) % 60000, spanUs / 2000, 100) << "at twice the speed";
  EXPECT_TRUE(WaitForStderr(replay, "sent 4 records")) << replay.Stderr();
}

}  // namespace
}  // namespace vantix_test
