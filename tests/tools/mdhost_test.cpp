// mdhost describing a fake plug-in that declares every control kind and texts
// that need escaping, and running the product plug-in against vantix-sim and
// against servers it never reaches; and every refusal of both tools with its
// exit status and message.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

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

std::vector<std::string> RunProduct(std::vector<std::string> args, const std::string& server = "ModelVantixIP=127.0.0.1") {
  args.insert(args.begin(), {"run", VANTIX_PLUGIN_PATH, "--set", server});
  return Mdhost(args);
}

std::string PortSetting(int port) { return "ModelVantixServerPort=" + std::to_string(port); }

TEST(MdhostDescribe, EveryControlKindAndAnyTextAsJsonAndAsTables) {
  const ChildProcess run(Mdhost({"describe", kFake, "--json"}), kRunToEnd);
  EXPECT_EQ(run.ExitStatus(), 0) << "the fake's release fails while a list is still out\n" << run.Stderr();
  const json plugin = json::parse(run.Stdout(), nullptr, false);  // discarded, failing every check, unless JSON
  std::vector<std::pair<std::string, json>> expected = {
      {"/device/name", "Fake \"quoted\" \\ name"}, {"/categoryName", "POS|IVS"},
      {"/device/info", "tab\there\x01 and \xEF\xBF\xBD latin"},  // a byte that is not UTF-8 replaced
      {"/sourceSettings/2/content/choices/1", json::parse(R"({"id":"slow","text":"Slow mode"})")},
      {"/sourceSettings/3/content", json::parse(R"({"value":3,"min":0,"max":100,"step":1,"pageStep":5})")},
      {"/sourceSettings/4/content/value", "left"}, {"/channelSettings/0/settings/0/id", "FakeCamera"},
      {"/sourceSettings/5", json::parse(R"({"id":"FakeVerbose","caption":"Verbose","enabled":true,"kind":"checkbox",
                                           "content":{"checked":false}})")},
      {"/relations/0/childKinds", json::parse(R"(["FAKE_SUB"])")}, {"/filterProfiles/0/tagItems/0/postTag", "\r\n"},
      // The device kind, a kind with no events, and one the plug-in does not answer for.
      {"/events", json::parse(R"([{"pluginId":"FAKE_DEVICE","events":[3600,3601,4000]},
                                  {"pluginId":"FAKE_CH","events":[]}, {"pluginId":"FAKE_SUB","events":null}])")}};
  const char* const kinds[] = {"lineedit", "spinbox", "combobox", "slider", "radio"};
  for (int i = 0; i < 5; ++i) expected.emplace_back("/sourceSettings/" + std::to_string(i) + "/kind", kinds[i]);
  for (const auto& entry : expected) EXPECT_EQ(At(plugin, entry.first), entry.second) << entry.first;
  const std::string tables = ChildProcess(Mdhost({"describe", kFake}), kRunToEnd).Stdout();
  for (const char* text : {"tab\\there\\x01 and ", "Category: 9 (POS|IVS)", "choices: fast=Fast mode slow=Slow mode",
                           "filter replace literal \"cam=\" -> \"camera \"", "0..100 step 1 page 5"}) {
    EXPECT_NE(tables.find(text), std::string::npos) << text << "\n" << tables;
  }
  // The product plug-in's own printing stays out of the JSON.
  const ChildProcess product(Mdhost({"describe", VANTIX_PLUGIN_PATH, "--json"}), kRunToEnd);
  EXPECT_EQ(At(json::parse(product.Stdout(), nullptr, false), "/relations/0/maxNumber"), 1024) << product.Stdout();
  EXPECT_NE(product.Stderr().find("APR Application Instance"), std::string::npos);
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
  EXPECT_GT(CountOccurrences(out, "record channel 1: CamID:2\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u) << out;
  EXPECT_GT(CountOccurrences(out, "record channel 2: CamID:3\\r\\nEvent:FaceMatched\\r\\nPerson:"), 0u);
  EXPECT_EQ(CountOccurrences(out, "record channel 1: CamID:3") + CountOccurrences(out, "record channel 2: CamID:2") +
                CountOccurrences(out, "record channel 3"), 0u) << "channel 3 is disabled";
  for (const char* line : {" 3601 connected\n", " stopping on SIGTERM\n", " 3600 connection lost\n"})
    EXPECT_EQ(CountOccurrences(out, line), 1u) << line;
  EXPECT_TRUE(HasSummaryRow(out, "status before disconnect", "connected"));
  EXPECT_TRUE(HasSummaryRow(out, "ReleasePluginModel", "ok"));
}

TEST(MdhostRun, NeverConnectedExitsWith1AndSaysWhy) {
  LoopbackServer silent;  // its accept queue full, so the handshake times out
  silent.StopListening();
  ASSERT_TRUE(silent.StartListeningUnresponsive());
  const std::string refused = PortSetting(UnusedLoopbackPort()), timedOut = PortSetting(silent.Port());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {refused, "127.0.0.1, " + refused + "): the plug-in's error \"Failed to connect to target Vantix server.\" "
                "means the connection was refused"},
      {"ModelVantixIP=a..b", "a..b, ModelVantixServerPort=7000): the plug-in's error \"Unknow error (error code: "
                             "670002)\" means the host name could not be resolved ("},
      {timedOut, "127.0.0.1, " + timedOut + "): the plug-in's error \"Unknow error (error code: 70007)\" means the "
                 "connection timed out"}};
  std::vector<std::unique_ptr<ChildProcess>> runs;  // side by side, as each lasts its whole duration
  for (const auto& entry : cases) runs.emplace_back(new ChildProcess(RunProduct({"--duration", "4"}, entry.first)));
  for (size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(runs[i]->Wait(60000));
    EXPECT_EQ(runs[i]->ExitStatus(), 1);
    EXPECT_NE(runs[i]->Stderr().find("mdhost: never connected to the server (ModelVantixIP=" + cases[i].second),
              std::string::npos) << runs[i]->Stderr();
    EXPECT_TRUE(HasSummaryRow(runs[i]->Stdout(), "status before disconnect", "disconnected")) << runs[i]->Stdout();
  }
}

struct Refusal {
  std::vector<std::string> argv;
  int exitStatus;
  std::string text;  // on standard error; on standard output for --help
};

TEST(ToolExitStatus, EveryRefusalAndHelpHasItsStatusAndMessage) {
  const std::string text = "/tmp/tool_exit_" + std::to_string(getpid()), elf = text + ".elf", capture = text + ".cap";
  const bool host64 = sizeof(void*) == 8;
  std::ofstream(text) << "not a shared object\n";
  std::ofstream(elf) << "\x7F" "ELF" << static_cast<char>(host64 ? 1 : 2) << std::string(59, '\0');  // other word size
  std::ofstream(capture) << "vantix-capture 1\n0 10\nshort\n";
  std::vector<std::string> tooMany;
  for (int id = 1; id <= 1025; ++id) tooMany.insert(tooMany.end(), {"--channel", std::to_string(id) + "=1"});
  const std::vector<Refusal> cases = {
      {Mdhost({"list", kFake}), 64, "mdhost: unknown command list\n"},
      {Mdhost({"describe"}), 64, "mdhost: PLUGIN is required\n"},
      {Mdhost({"describe", kFake, "--xml"}), 64, "mdhost: The following argument was not expected: --xml\n"},
      {Mdhost({"run", kFake, "--set", "=5"}), 64, "mdhost: --set: wants ID=VALUE"},
      {Mdhost({"run", kFake, "--set", std::string(65, 'x') + "=1"}), 64, "identifier is longer than 64 bytes"},
      {Mdhost({"run", kFake, "--channel", "1=2", "--channel", "01=3"}), 64, "--channel: channel 01 is given twice"},
      {Mdhost({"run", kFake, "--channel", "1=2", "--disable", "2"}), 64, "--disable 2: no --channel adds that channel"},
      {Mdhost({"run", kFake, "--device-id", "0x10"}), 64, "mdhost: --device-id: wants a decimal number"},
      {Mdhost({"run", kFake, "--duration", "0"}), 64, "mdhost: --duration: wants a positive number"},
      {Mdhost({"describe", "--help"}), 0, "Usage: mdhost describe [OPTIONS] PLUGIN"},
      {Mdhost({"run", "--help"}), 0, "Usage: mdhost run [OPTIONS] PLUGIN"},
      {Mdhost({"describe", "libc.so.6"}), 3, "mdhost: cannot load libc.so.6: No such file or directory\n"},  // a file
      {Mdhost({"run", text}), 3, "mdhost: cannot load " + text + ": not an ELF shared object ("},
      {Mdhost({"describe", elf}), 3, "mdhost: cannot load " + elf + ": it is a " + (host64 ? "32" : "64") +
                                     "-bit plug-in; this mdhost is " + (host64 ? "64" : "32") + "-bit ("},
      {Mdhost({"describe", VANTIX_TEST_LIBRARY_DIR "/libtools_no_entry_points.so"}), 3,
       "no_entry_points.so is not a plug-in of this interface: it does not export CreatePluginModel\n"},
      {Mdhost({"run", VANTIX_TEST_LIBRARY_DIR "/libtools_null_model.so"}), 3, "null_model.so returned no model\n"},
      {RunProduct({"--set", "ModelVantixServerPort=0"}), 2, "setting ModelVantixServerPort=0 was refused by the plug-in\n"},
      {RunProduct({"--channel", "1=600"}), 2, "camera ModelVantixCH=600 of channel 1 was refused by the plug-in\n"},
      {RunProduct(tooMany), 2, "mdhost: the plug-in refuses channel 1025: CanAddNewChannel(1025, ID_VANTIX_CH) is "
                               "false, so it takes at most 1024 channels of that kind\n"},
      {VantixSim({"--port", "70000"}), 64, "vantix-sim: --port: Value 70000 not in range"},
      {VantixSim({"--count", "0"}), 64, "vantix-sim: --count: wants a whole number"},
      {VantixSim({"--silent", "--count", "3"}), 64, "vantix-sim: --count excludes --silent"},
      {VantixSim({"--capture", "h:1"}), 64, "vantix-sim: --capture requires --output"},
      {VantixSim({"--help"}), 0, "Usage: vantix-sim [OPTIONS]"},
      {VantixSim({"--replay", capture}), 1, "vantix-sim: " + capture + " is a broken capture: chunk 1"},
      {VantixSim({"--replay", "/nonexistent"}), 1, "vantix-sim: cannot read /nonexistent"}};
  for (const Refusal& refusal : cases) {
    const ChildProcess run(refusal.argv, kRunToEnd);
    EXPECT_EQ(run.ExitStatus(), refusal.exitStatus) << refusal.text;
    const bool help = refusal.exitStatus == 0;
    EXPECT_NE((help ? run.Stdout() : run.Stderr()).find(refusal.text), std::string::npos) << run.Stderr();
    EXPECT_EQ(help ? run.Stderr() : run.Stdout(), "") << refusal.text;
  }
  for (const std::string& file : {text, elf, capture}) unlink(file.c_str());
}

// With no descriptor left the system's own error is what mdhost reports.
TEST(ToolExitStatus, LoadErrorOfTheSystemIsReportedAsItIs) {
  std::vector<std::string> argv = Mdhost({"describe", VANTIX_PLUGIN_PATH});
  argv.insert(argv.begin(), {"/bin/sh", "-c", "ulimit -n $0 && exec \"$@\"", ""});
  for (int limit = 4; limit < 64; ++limit) {
    argv[3] = std::to_string(limit);
    const ChildProcess run(argv, kRunToEnd);
    if (run.Stderr().find("Too many open files") == std::string::npos) continue;
    EXPECT_EQ(run.ExitStatus(), 3);
    EXPECT_NE(run.Stderr().find("mdhost: cannot load " VANTIX_PLUGIN_PATH ": "), std::string::npos) << run.Stderr();
    EXPECT_EQ(run.Stderr().find("not an ELF"), std::string::npos);
    return;
  }
  ADD_FAILURE() << "no limit of descriptors made the load fail";
}

}  // namespace
}  // namespace vantix_test
