// mdhost describing a fake plug-in and running the product plug-in against
// vantix-sim and against servers it never reaches; the simulator's fault
// scenarios and a capture replayed into mdhost; every refusal of both tools.

#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <deque>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "support/loopback_server.h"
#include "tools/tool_command.h"

namespace vantix_test {
namespace {

using nlohmann::json;
const char kFake[] = VANTIX_TEST_LIBRARY_DIR "/libtools_fake_plugin.so";

// The value at a JSON pointer, or a text that no expected value is.
json At(const json& document, const std::string& pointer) {
  const json::json_pointer at(pointer);
  return document.contains(at) ? document.at(at) : json("(missing)");
}

Argv RunProduct(Argv args, std::string server = "ModelVantixIP=127.0.0.1") {
  args.insert(args.begin(), {"run", VANTIX_PLUGIN_PATH, "--set", server});
  return Mdhost(args);
}

std::string PortSetting(int port) { return "ModelVantixServerPort=" + std::to_string(port); }

// Every match of `pattern` in `text`, which must outlive them.
std::vector<std::smatch> AllMatches(const std::string& text, const char* pattern) {
  const std::regex expression(pattern);
  return {std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator()};
}

// A file of the tests, in the build folder.
std::string Scratch(const char* name) { return std::string(VANTIX_BINARY_DIR "/tools_test.") + name; }

TEST(MdhostDescribe, EveryControlKindAndAnyTextAsJsonAndAsTables) {
  const ChildProcess run(Mdhost({"describe", kFake, "--json"}), kRunToEnd);
  EXPECT_EQ(run.ExitStatus(), 0) << "the fake's release fails while a list is still out\n" << run.Stderr();
  // Discarded, failing every check, unless JSON.
  const json plugin = json::parse(run.Stdout(), nullptr, false);
  std::vector<std::pair<std::string, json>> expected = {
      {"/device/name", "Fake \"quoted\" \\ name"},
      {"/categoryName", "POS|IVS"},
      {"/device/info", "tab\there\x01 and \xEF\xBF\xBD latin"},  // a byte that is not UTF-8 replaced
      {"/sourceSettings/2/content/choices/1", json::parse(R"({"id":"slow","text":"Slow mode"})")},
      {"/sourceSettings/3/content", json::parse(R"({"value":3,"min":0,"max":100,"step":1,"pageStep":5})")},
      {"/sourceSettings/4/content/value", "left"},
      {"/channelSettings/0/settings/0/id", "FakeCamera"},
      {"/sourceSettings/5", json::parse(R"({"id":"FakeVerbose","caption":"Verbose","enabled":true,
                                            "kind":"checkbox","content":{"checked":false}})")},
      {"/relations/0/childKinds", json::parse(R"(["FAKE_SUB"])")},
      {"/filterProfiles/0/tagItems/0/postTag", "\r\n"},
      // The device kind, a kind with no events, and one the plug-in does not answer for.
      {"/events", json::parse(R"([{"pluginId":"FAKE_DEVICE","events":[3600,3601,4000]},
                                  {"pluginId":"FAKE_CH","events":[]}, {"pluginId":"FAKE_SUB","events":null}])")}};
  const char* const kinds[] = {"lineedit", "spinbox", "combobox", "slider", "radio"};
  for (int i = 0; i < 5; ++i)
    expected.emplace_back("/sourceSettings/" + std::to_string(i) + "/kind", kinds[i]);
  for (const auto& entry : expected) EXPECT_EQ(At(plugin, entry.first), entry.second) << entry.first;
  const std::string tables = ChildProcess(Mdhost({"describe", kFake}), kRunToEnd).Stdout();
  for (const char* text :
       {"tab\\there\\x01 and ", "Category: 9 (POS|IVS)", "choices: fast=Fast mode slow=Slow mode",
        "filter replace literal \"cam=\" -> \"camera \"", "0..100 step 1 page 5"})
    EXPECT_TRUE(Contains(tables, text));
  // The product plug-in's own printing stays out of the JSON.
  const ChildProcess product(Mdhost({"describe", VANTIX_PLUGIN_PATH, "--json"}), kRunToEnd);
  EXPECT_EQ(At(json::parse(product.Stdout(), nullptr, false), "/relations/0/maxNumber"), 1024)
      << product.Stdout();
  EXPECT_TRUE(Contains(product.Stderr(), "APR Application Instance"));
}

TEST(MdhostRun, RecordsReachTheEnabledChannelsOfTheirCameraUntilASignal) {
  ChildProcess sim(VantixSim({"--port", "0", "--rate", "20", "--cameras", "2,3"}));
  ChildProcess host(RunProduct({"--channel", "1=2", "--channel", "2=3", "--channel", "3=2", "--disable", "3"},
                               PortSetting(PortOf(sim))));
  EXPECT_TRUE(WaitUntil([&] { return CountOccurrences(host.Stdout(), "record channel") >= 10; }, 20000));
  host.Signal(SIGTERM);
  ASSERT_TRUE(host.Wait(20000));
  EXPECT_EQ(host.ExitStatus(), 0) << host.Stderr();
  const std::string out = host.Stdout();
  // Which channel each camera's records reached (channel 3 is disabled), and how they start.
  std::set<std::string> routes;
  for (const std::smatch& record :
       AllMatches(out, R"(record channel \d+: CamID:\d+(\\r\\nEvent:FaceMatched\\r\\nPerson:)?)"))
    routes.insert(record.str());
  EXPECT_EQ(routes, (std::set<std::string>{"record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:",
                                           "record channel 2: CamID:3\\r\\nEvent:FaceMatched\\r\\nPerson:"}))
      << out;
  for (const char* line : {" 3601 connected\n", " stopping on SIGTERM\n", " 3600 connection lost\n"})
    EXPECT_EQ(CountOccurrences(out, line), 1u) << line;
  EXPECT_TRUE(HasSummaryRow(out, "connects", "1") &&
              HasSummaryRow(out, "status before disconnect", "connected"));
  EXPECT_TRUE(HasSummaryRow(out, "ReleasePluginModel", "ok")) << out;
}

TEST(MdhostRun, NeverConnectedExitsWith1AndSaysWhy) {
  LoopbackServer silent;  // its accept queue full, so the handshake times out
  silent.StopListening();
  ASSERT_TRUE(silent.StartListeningUnresponsive());
  const std::string refused = PortSetting(UnusedLoopbackPort()), timedOut = PortSetting(silent.Port());
  // The server setting, the server mdhost names, the plug-in's error and the runtime's words for its status.
  const std::vector<std::array<std::string, 3>> cases = {
      {refused, "127.0.0.1, " + refused, "\"Failed to connect to target Vantix server.\"\n"},
      {"ModelVantixIP=a..b", "a..b, ModelVantixServerPort=7000",
       "\"Unknow error (error code: 670002)\" is the runtime's status 670002: Name or service not known\n"},
      {timedOut, "127.0.0.1, " + timedOut,
       "\"Unknow error (error code: 70007)\" is the runtime's status 70007: The timeout specified has "
       "expired\n"}};
  std::deque<ChildProcess> runs;  // side by side, as each lasts its whole duration
  for (const auto& entry : cases) runs.emplace_back(RunProduct({"--duration", "4"}, entry[0]));
  for (size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(runs[i].Wait(60000));
    EXPECT_EQ(runs[i].ExitStatus(), 1);
    EXPECT_TRUE(Contains(runs[i].Stderr(), "mdhost: never connected to the server (ModelVantixIP=" +
                                               cases[i][1] + "): the plug-in's error " + cases[i][2]));
    EXPECT_TRUE(HasSummaryRow(runs[i].Stdout(), "status before disconnect", "disconnected"))
        << runs[i].Stdout();
  }
}

// Captures from the simulator on `port` into Scratch("capture"); the capture's report.
std::string Capture(int port, Argv args = {}) {
  args.insert(args.begin(),
              {"--capture", "127.0.0.1:" + std::to_string(port), "--output", Scratch("capture")});
  return ChildProcess(VantixSim(args), kRunToEnd).Stderr();
}

TEST(VantixSim, FaultScenariosAsAClientMeetsThem) {
  ChildProcess dropping(VantixSim({"--port", "0", "--rate", "20", "--drop-after", "3"}));
  EXPECT_TRUE(Contains(Capture(PortOf(dropping)),
                       "closed the connection\nvantix-sim: captured 227 bytes in 3 "
                       "chunks: 3 records (line feeds), 0 chunks holding more"));
  ChildProcess silent(VantixSim({"--port", "0", "--silent"}));
  EXPECT_TRUE(Contains(Capture(PortOf(silent), {"--duration", "0.7"}),
                       "duration over; stopping\nvantix-sim: captured 0 bytes"));
  ChildProcess pausing(
      VantixSim({"--port", "0", "--rate", "20", "--pause-listen-after", "2", "--pause-seconds", "2"}));
  const int port = PortOf(pausing);
  EXPECT_TRUE(Contains(Capture(port), " in 2 chunks"));
  EXPECT_TRUE(Contains(Capture(port), std::to_string(port) + ": Connection refused"));
  ASSERT_TRUE(WaitForStderr(pausing, "resumed listening on 127.0.0.1:" + std::to_string(port)));
  EXPECT_TRUE(Contains(Capture(port, {"--duration", "1"}), "duration over; stopping"));
}

// A text file's lines, served one per write, captured byte for byte with
// their times and replayed at twice the speed, reach mdhost's channels as if
// sent directly; a chunk of two records stays one write in the replay, so the
// plug-in drops both.
TEST(VantixSim, CaptureReplayedIntoMdhostBringsTheSameRecordsToTheSameChannels) {
  std::ofstream(Scratch("txt")) << "CamID:2 Event:FaceMatched Person:Ann\nCamID:3 Event:Spoof Person:Ben\r\n"
                                   "CamID:2 Event:FaceMatched Person:Chloe\n";
  ChildProcess server(VantixSim({"--port", "0", "--replay", Scratch("txt"), "--rate", "5"}));
  EXPECT_TRUE(Contains(Capture(PortOf(server)), "captured 110 bytes in 3 chunks: 3 records"));
  const std::string capture = FileContents(Scratch("capture"));
  std::smatch offsets;
  ASSERT_TRUE(
      std::regex_match(capture, offsets,
                       std::regex("vantix-capture 1\n(\\d+) 38\nCamID:2 Event:FaceMatched Person:Ann\r\n\n"
                                  "\\d+ 32\nCamID:3 Event:Spoof Person:Ben\r\n\n"
                                  "(\\d+) 40\nCamID:2 Event:FaceMatched Person:Chloe\r\n\n")))
      << capture;
  const long long spanUs = std::stoll(offsets[2]) - std::stoll(offsets[1]);
  std::ofstream(Scratch("capture"), std::ios::app)
      << std::stoll(offsets[2]) + 200000 << " 40\nCamID:2 Event:Lost\r\nCamID:3 Event:Lost\r\n\n";
  // Both read the file before they listen, so the capture below may overwrite it.
  ChildProcess replay(VantixSim({"--port", "0", "--replay", Scratch("capture"), "--speed", "2"}));
  ChildProcess again(VantixSim({"--port", "0", "--replay", Scratch("capture")}));
  const int replayPort = PortOf(replay);
  EXPECT_TRUE(Contains(Capture(PortOf(again)), "in 4 chunks: 5 records (line feeds), 1 chunks holding more"));
  const ChildProcess host(
      RunProduct({"--channel", "1=2", "--channel", "2=3", "--duration", "2"}, PortSetting(replayPort)),
      kRunToEnd);
  const std::string out = host.Stdout();
  std::vector<std::string> delivered;
  std::vector<int> milliseconds;  // of the minute, from mdhost's time stamps
  for (const std::smatch& record : AllMatches(out, R"(:(\d\d)\.(\d{3}) (record channel \d+: [^\n]*))")) {
    delivered.push_back(record[3]);
    milliseconds.push_back(std::stoi(record[1]) * 1000 + std::stoi(record[2]));
  }
  ASSERT_EQ(delivered,
            (Argv{"record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:Ann\\r\\n\\r\\n",
                  "record channel 2: CamID:3\\r\\nEvent:Spoof\\r\\nPerson:Ben\\r\\n\\r\\n",
                  "record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:Chloe\\r\\n\\r\\n"}))
      << out;
  EXPECT_NEAR((milliseconds[2] - milliseconds[0] + 60000) % 60000, spanUs / 2000, 100)
      << "at twice the speed";
  EXPECT_TRUE(WaitForStderr(replay, "sent 4 records")) << replay.Stderr();
}

TEST(ToolExitStatus, EveryRefusalAndHelpHasItsStatusAndMessage) {
  const std::string notElf = Scratch("text"), elf = Scratch("elf"), capture = Scratch("broken");
  const bool host64 = sizeof(void*) == 8;
  std::ofstream(notElf) << "not a shared object\n";
  std::ofstream(elf) << "\177ELF" << (host64 ? '\1' : '\2') << std::string(59, '\0');  // the other word size
  std::ofstream(capture) << "vantix-capture 1\n0 10\nshort\n";
  Argv tooMany;
  for (int id = 1; id <= 1025; ++id) tooMany.insert(tooMany.end(), {"--channel", std::to_string(id) + "=1"});
  // The command, its exit status, the text it shows on standard error (on standard output for --help).
  const std::vector<std::tuple<Argv, int, std::string>> cases = {
      {Mdhost({"list", kFake}), 64, "mdhost: unknown command list\n"},
      {Mdhost({"describe"}), 64, "mdhost: PLUGIN is required\n"},
      {Mdhost({"describe", kFake, "--xml"}), 64, "mdhost: The following argument was not expected: --xml\n"},
      {Mdhost({"run", kFake, "--set", "=5"}), 64, "mdhost: --set: wants ID=VALUE"},
      {Mdhost({"run", kFake, "--set", std::string(65, 'x') + "=1"}), 64,
       "identifier is longer than 64 bytes"},
      {Mdhost({"run", kFake, "--channel", "1=2", "--channel", "01=3"}), 64,
       "--channel: channel 01 is given twice"},
      {Mdhost({"run", kFake, "--channel", "1=2", "--disable", "2"}), 64,
       "--disable 2: no --channel adds that channel"},
      {Mdhost({"run", kFake, "--device-id", "0x10"}), 64, "mdhost: --device-id: wants a decimal number"},
      {Mdhost({"run", kFake, "--duration", "0"}), 64, "mdhost: --duration: wants a positive number"},
      {Mdhost({"describe", "--help"}), 0, "Usage: mdhost describe [OPTIONS] PLUGIN"},
      {Mdhost({"run", "--help"}), 0, "Usage: mdhost run [OPTIONS] PLUGIN"},
      {Mdhost({"describe", "libc.so.6"}), 3,
       "mdhost: cannot load libc.so.6: No such file or directory\n"},  // a file
      {Mdhost({"run", notElf}), 3, "mdhost: cannot load " + notElf + ": not an ELF shared object ("},
      {Mdhost({"describe", elf}), 3,
       "mdhost: cannot load " + elf + ": it is a " + (host64 ? "32" : "64") +
           "-bit plug-in; this mdhost is " + (host64 ? "64" : "32") + "-bit ("},
      {Mdhost({"describe", VANTIX_TEST_LIBRARY_DIR "/libtools_no_entry_points.so"}), 3,
       "no_entry_points.so is not a plug-in of this interface: it does not export CreatePluginModel\n"},
      {Mdhost({"run", VANTIX_TEST_LIBRARY_DIR "/libtools_null_model.so"}), 3,
       "null_model.so returned no model\n"},
      {RunProduct({"--set", PortSetting(0)}), 2,
       "setting ModelVantixServerPort=0 was refused by the plug-in\n"},
      {RunProduct({"--channel", "1=600"}), 2,
       "camera ModelVantixCH=600 of channel 1 was refused by the plug-in\n"},
      {RunProduct(tooMany), 2,
       "mdhost: the plug-in refuses channel 1025: CanAddNewChannel(1025, ID_VANTIX_CH) is false, so it takes "
       "at "
       "most 1024 channels of that kind\n"},
      {VantixSim({"--port", "70000"}), 64, "vantix-sim: --port: Value 70000 not in range"},
      {VantixSim({"--count", "0"}), 64, "vantix-sim: --count: wants a whole number"},
      {VantixSim({"--silent", "--count", "3"}), 64, "vantix-sim: --count excludes --silent"},
      {VantixSim({"--capture", "h:1"}), 64, "vantix-sim: --capture requires --output"},
      {VantixSim({"--help"}), 0, "Usage: vantix-sim [OPTIONS]"},
      {VantixSim({"--replay", capture}), 1, "vantix-sim: " + capture + " is a broken capture: chunk 1"},
      {VantixSim({"--replay", "/nonexistent"}), 1, "vantix-sim: cannot read /nonexistent"}};
  for (const auto& [argv, exitStatus, text] : cases) {
    const ChildProcess run(argv, kRunToEnd);
    EXPECT_EQ(run.ExitStatus(), exitStatus) << text;
    EXPECT_TRUE(Contains(exitStatus == 0 ? run.Stdout() : run.Stderr(), text));
    EXPECT_EQ(exitStatus == 0 ? run.Stderr() : run.Stdout(), "") << text;
  }
}

// With no descriptor left the system's own error is what mdhost reports.
TEST(ToolExitStatus, LoadErrorOfTheSystemIsReportedAsItIs) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own checks need the descriptors this takes away";
#endif
  Argv argv = Mdhost({"describe", VANTIX_PLUGIN_PATH});
  argv.insert(argv.begin(), {"/bin/sh", "-c", "ulimit -n $0 && exec \"$@\"", ""});
  for (int limit = 4; limit < 64; ++limit) {
    argv[3] = std::to_string(limit);
    const ChildProcess run(argv, kRunToEnd);
    if (!Contains(run.Stderr(), "Too many open files")) continue;
    EXPECT_EQ(run.ExitStatus(), 3);
    EXPECT_TRUE(Contains(run.Stderr(), "mdhost: cannot load " VANTIX_PLUGIN_PATH ": "));
    EXPECT_FALSE(Contains(run.Stderr(), "not an ELF"));
    return;
  }
  ADD_FAILURE() << "no limit of descriptors made the load fail";
}

}  // namespace
}  // namespace vantix_test
