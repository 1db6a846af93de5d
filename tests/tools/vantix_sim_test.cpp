// vantix-sim: records one write each with CR LF, and the fault scenarios a
// client meets: dropped connections, a silent server, a server that stops
// listening for a while.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

using Clock = std::chrono::steady_clock;

// A TCP client of the simulator on 127.0.0.1.
class Client {
 public:
  ~Client() {
    if (m_fd >= 0) close(m_fd);
  }

  // 0 when connected, otherwise the errno of the refusal.
  int Connect(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return 0;
    const int error = errno;
    close(m_fd);
    m_fd = -1;
    return error;
  }

  // What one read returns within the time; "" at the end of the stream or
  // when nothing came.
  std::string ReadOnce(int timeoutMs, bool* ended) {
    *ended = false;
    pollfd fd = {m_fd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return "";
    char buffer[4096];
    const ssize_t got = recv(m_fd, buffer, sizeof(buffer), 0);
    if (got <= 0) *ended = true;
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : "";
  }

  // Every read until the server closes, within the time.
  std::vector<std::string> ReadUntilClosed(int timeoutMs) {
    std::vector<std::string> reads;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      bool ended = false;
      const std::string data = ReadOnce(100, &ended);
      if (ended) return reads;
      if (!data.empty()) reads.push_back(data);
    }
    ADD_FAILURE() << "the simulator did not close the connection";
    return reads;
  }

 private:
  int m_fd = -1;
};

// One record, whole, in one read: no line feed but the final CR LF.
void ExpectOneRecord(const std::string& read, const std::string& camera) {
  ASSERT_GE(read.size(), 2u);
  EXPECT_EQ(read.substr(read.size() - 2), "\r\n") << read;
  EXPECT_EQ(read.find('\n'), read.size() - 1) << read;
  EXPECT_EQ(read.rfind("CamID:" + camera + " Event:FaceMatched Person:", 0), 0u) << read;
  EXPECT_NE(read.find(" Score:0."), std::string::npos) << read;
  EXPECT_NE(read.find(" Time:20"), std::string::npos) << read;
}

TEST(VantixSim, RecordsArriveOnePerReadWithTheCamerasInTurn) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "10", "--cameras", "2,13", "--count", "4"});
  ASSERT_GT(port, 0) << sim.Stderr();
  Client client;
  ASSERT_EQ(client.Connect(port), 0);
  const std::vector<std::string> reads = client.ReadUntilClosed(20000);
  ASSERT_EQ(reads.size(), 4u);
  const char* const cameras[] = {"2", "13", "2", "13"};
  for (size_t i = 0; i < reads.size(); ++i) ExpectOneRecord(reads[i], cameras[i]);
  ASSERT_TRUE(sim.Wait(20000));
  EXPECT_EQ(sim.ExitStatus(), 0);
  EXPECT_NE(sim.Stderr().find("vantix-sim: accepted 127.0.0.1:"), std::string::npos) << sim.Stderr();
  EXPECT_NE(sim.Stderr().find("done: 4 records sent to 1 clients"), std::string::npos) << sim.Stderr();
}

TEST(VantixSim, DropAfterClosesEachConnectionAndServesTheNext) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "20", "--drop-after", "3"});
  ASSERT_GT(port, 0) << sim.Stderr();
  for (int connection = 0; connection < 2; ++connection) {
    Client client;
    ASSERT_EQ(client.Connect(port), 0);
    const std::vector<std::string> reads = client.ReadUntilClosed(20000);
    EXPECT_EQ(reads.size(), 3u) << connection;
    for (const std::string& read : reads) ExpectOneRecord(read, "1");
  }
  EXPECT_TRUE(sim.WaitForStderr("dropped", 5000));
  sim.Signal(SIGTERM);
  ASSERT_TRUE(sim.Wait(20000));
  EXPECT_EQ(sim.ExitStatus(), 0);
  EXPECT_NE(sim.Stderr().find("stopping on SIGTERM"), std::string::npos) << sim.Stderr();
  EXPECT_NE(sim.Stderr().find("done: 6 records sent to 2 clients"), std::string::npos) << sim.Stderr();
}

TEST(VantixSim, SilentAcceptsButNeverSends) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "50", "--silent"});
  ASSERT_GT(port, 0) << sim.Stderr();
  Client client;
  ASSERT_EQ(client.Connect(port), 0);
  bool ended = false;
  EXPECT_EQ(client.ReadOnce(700, &ended), "");
  EXPECT_FALSE(ended) << "the connection stays open";
  EXPECT_TRUE(sim.WaitForStderr("(silent)", 5000));
  sim.Signal(SIGINT);
  ASSERT_TRUE(sim.Wait(20000));
  EXPECT_EQ(sim.ExitStatus(), 0);
  EXPECT_NE(sim.Stderr().find("stopping on SIGINT"), std::string::npos) << sim.Stderr();
}

TEST(VantixSim, PauseListenRefusesConnectionsUntilThePauseEnds) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "20", "--pause-listen-after", "2", "--pause-seconds", "2"});
  ASSERT_GT(port, 0) << sim.Stderr();
  {
    Client client;
    ASSERT_EQ(client.Connect(port), 0);
    EXPECT_EQ(client.ReadUntilClosed(20000).size(), 2u);
  }
  const Clock::time_point closed = Clock::now();
  Client refused;
  EXPECT_EQ(refused.Connect(port), ECONNREFUSED);

  int connected = -1;
  Client resumed;
  while (Clock::now() - closed < std::chrono::seconds(20)) {
    connected = resumed.Connect(port);
    if (connected == 0) break;
    usleep(100 * 1000);
  }
  ASSERT_EQ(connected, 0);
  EXPECT_GE(Clock::now() - closed, std::chrono::milliseconds(1500));
  bool ended = false;
  ExpectOneRecord(resumed.ReadOnce(10000, &ended), "1");
  EXPECT_TRUE(sim.WaitForStderr("paused listening for 2 seconds", 5000)) << sim.Stderr();
  EXPECT_TRUE(sim.WaitForStderr("resumed listening on 127.0.0.1:" + std::to_string(port), 5000));
}

TEST(VantixSim, ReplaySendsEachLineOnceAsARecord) {
  const std::string path = "/tmp/vantix_sim_replay_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path, std::ios::binary) << "CamID:7 Event:Line one\r\nCamID:8 Event:Line two\n";
  ChildProcess sim;
  const int port = StartSim(&sim, {"--rate", "10", "--replay", path});
  ASSERT_GT(port, 0) << sim.Stderr();
  Client client;
  ASSERT_EQ(client.Connect(port), 0);
  const std::vector<std::string> reads = client.ReadUntilClosed(20000);
  unlink(path.c_str());
  EXPECT_EQ(reads, (std::vector<std::string>{"CamID:7 Event:Line one\r\n", "CamID:8 Event:Line two\r\n"}));
  ASSERT_TRUE(sim.Wait(20000));
  EXPECT_EQ(sim.ExitStatus(), 0);
}

TEST(VantixSim, DurationEndsAnIdleServer) {
  ChildProcess sim;
  const int port = StartSim(&sim, {"--duration", "0.5"});
  ASSERT_GT(port, 0) << sim.Stderr();
  ASSERT_TRUE(sim.Wait(20000));
  EXPECT_EQ(sim.ExitStatus(), 0);
  EXPECT_NE(sim.Stderr().find("duration over"), std::string::npos) << sim.Stderr();
}

TEST(VantixSim, WrongCommandLinesExitWith64) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port", "70000"},   {"--rate", "0"},          {"--cameras", "1,,2"}, {"--cameras", "A"},
      {"--count", "0"},      {"--silent", "--count", "3"}, {"--drop-after"}, {"--verbose"},
  };
  for (const auto& args : cases) {
    const ToolResult result = RunTool(VantixSim(args));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, 64) << args[0];
    EXPECT_NE(result.err.find("usage: vantix-sim"), std::string::npos) << args[0];
  }
  const ToolResult help = RunTool(VantixSim({"--help"}));
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.find("usage: vantix-sim"), 0u);
}

TEST(VantixSim, MissingReplayFileFails) {
  const ToolResult result = RunTool(VantixSim({"--port", "0", "--replay", "/nonexistent/records.txt"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cannot read /nonexistent/records.txt"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace vantix_test
