// vantix-sim serving, capturing and replaying, with its own capture mode as
// the client: the fault scenarios a client meets, and a capture that, replayed
// into mdhost, brings the same records to the same channels.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

const char kHeader[] = "vantix-capture 1\n";

std::string CapturePath() { return "/tmp/vantix_sim_capture_" + std::to_string(getpid()); }

// Captures from the simulator on `port`; `chunks` gets the file's chunks as
// its documented format reads them.
ToolResult Capture(int port, std::vector<std::string> args, std::vector<std::string>* chunks = nullptr) {
  args.insert(args.begin(), {"--capture", "127.0.0.1:" + std::to_string(port), "--output", CapturePath()});
  const ToolResult result = RunTool(VantixSim(args));
  std::ifstream file(CapturePath(), std::ios::binary);
  std::string header(sizeof(kHeader) - 1, '\0');
  file.read(&header[0], static_cast<std::streamsize>(header.size()));
  EXPECT_EQ(header, kHeader);
  size_t offset = 0, length = 0;
  for (std::string bytes; chunks != nullptr && file >> offset >> length && file.get() == '\n';) {
    bytes.resize(length);
    file.read(&bytes[0], static_cast<std::streamsize>(length));
    chunks->push_back(bytes);
    EXPECT_EQ(file.get(), '\n') << "after chunk " << chunks->size();
  }
  unlink(CapturePath().c_str());
  return result;
}

TEST(VantixSim, FaultScenariosAsAClientMeetsThem) {
  ChildProcess dropping(VantixSim({"--port", "0", "--rate", "20", "--drop-after", "3"}));
  const std::string dropped = Capture(PortOf(dropping), {}).err;
  EXPECT_NE(dropped.find("closed the connection\nvantix-sim: captured "), std::string::npos) << dropped;
  EXPECT_NE(dropped.find(" in 3 chunks: 3 records (line feeds), 0 chunks holding more"), std::string::npos);
  ChildProcess silent(VantixSim({"--port", "0", "--silent"}));
  const std::string quiet = Capture(PortOf(silent), {"--duration", "0.7"}).err;
  EXPECT_NE(quiet.find("duration over; stopping\nvantix-sim: captured 0 bytes"), std::string::npos) << quiet;
  ChildProcess pausing(VantixSim({"--port", "0", "--rate", "20", "--pause-listen-after", "2", "--pause-seconds", "2"}));
  const int port = PortOf(pausing);
  EXPECT_NE(Capture(port, {}).err.find(" in 2 chunks"), std::string::npos);
  EXPECT_NE(Capture(port, {}).err.find(std::to_string(port) + ": Connection refused"), std::string::npos);
  ASSERT_TRUE(WaitForStderr(pausing, "resumed listening on 127.0.0.1:" + std::to_string(port)));
  EXPECT_EQ(Capture(port, {"--duration", "1"}).exitStatus, 0);
}

// A text file's lines, captured as the simulator sends them and replayed at
// twice the speed, reach mdhost's channels as if sent directly; a chunk of two
// records stays one write in the replay, so the plug-in drops both.
TEST(VantixSim, CaptureReplayedIntoMdhostBringsTheSameRecordsToTheSameChannels) {
  const std::vector<std::string> records = {"CamID:2 Event:FaceMatched Person:Ann", "CamID:3 Event:Spoof Person:Ben",
                                            "CamID:2 Event:FaceMatched Person:Chloe"};
  std::ofstream(CapturePath() + ".txt") << records[0] << "\n" << records[1] << "\r\n" << records[2] << "\n";
  ChildProcess server(VantixSim({"--port", "0", "--replay", CapturePath() + ".txt", "--rate", "10"}));
  std::vector<std::string> chunks;
  Capture(PortOf(server), {}, &chunks);
  unlink((CapturePath() + ".txt").c_str());
  EXPECT_TRUE(WaitForStderr(server, "done: 3 records sent to 1 clients"));
  ASSERT_EQ(chunks.size(), 3u);
  std::string capture = kHeader;
  for (size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i], records[i] + "\r\n");
    capture += std::to_string(i * 200000) + " " + std::to_string(chunks[i].size()) + "\n" + chunks[i] + "\n";
  }
  std::ofstream(CapturePath()) << capture << "800000 40\nCamID:2 Event:Lost\r\nCamID:3 Event:Lost\r\n\n";
  ChildProcess replay(VantixSim({"--port", "0", "--replay", CapturePath(), "--speed", "2"}));
  ChildProcess again(VantixSim({"--port", "0", "--replay", CapturePath()}));
  const int replayPort = PortOf(replay);
  EXPECT_NE(Capture(PortOf(again), {}).err.find("in 4 chunks: 5 records (line feeds), 1 chunks holding more"),
            std::string::npos);
  const std::string out = RunTool(Mdhost({"run", VANTIX_PLUGIN_PATH, "--set", "ModelVantixServerPort=" +
                                          std::to_string(replayPort), "--channel", "1=2", "--channel", "2=3",
                                          "--duration", "2"})).out;
  unlink(CapturePath().c_str());
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
  EXPECT_NEAR((milliseconds[2] - milliseconds[0] + 60000) % 60000, 200, 100) << "400 ms of capture at twice the speed";
  EXPECT_TRUE(WaitForStderr(replay, "sent 4 records")) << replay.Stderr();
}

TEST(VantixSim, WrongCommandLinesAndFilesAreRefused) {
  std::ofstream(CapturePath()) << kHeader << "0 10\nshort\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--port", "70000"}, "--port: Value 70000 not in range"}, {{"--count", "0"}, "--count: wants a whole number"},
      {{"--silent", "--count", "3"}, "--count excludes --silent"}, {{"--capture", "h:1"}, "--capture requires --output"},
      {{"--replay", CapturePath()}, CapturePath() + " is a broken capture: chunk 1"},
      {{"--replay", "/nonexistent"}, "cannot read /nonexistent"}};
  for (const auto& entry : cases) {
    const ToolResult result = RunTool(VantixSim(entry.first));
    EXPECT_EQ(result.exitStatus, entry.first[0] == "--replay" ? 1 : 64) << entry.second;
    EXPECT_EQ(result.err.find("vantix-sim: " + entry.second), 0u) << result.err;
  }
  unlink(CapturePath().c_str());
}

}  // namespace
}  // namespace vantix_test
