// mdhost describe of the fake plug-in, which declares every control kind and
// texts that need escaping, as one JSON object and as tables; of the product
// plug-in, whose own printing must stay out of the JSON.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

using nlohmann::json;
const char kFake[] = VANTIX_TEST_LIBRARY_DIR "/libtools_fake_plugin.so";

TEST(MdhostDescribe, EveryControlKindAndAnyTextAsJsonAndAsTables) {
  const ToolResult result = RunTool(Mdhost({"describe", kFake, "--json"}));
  EXPECT_EQ(result.exitStatus, 0) << "the fake's release fails while a list is still out\n" << result.err;
  const json plugin = json::parse(result.out, nullptr, false);  // discarded, failing every check, unless JSON
  EXPECT_EQ(plugin["device"]["name"], "Fake \"quoted\" \\ name");
  EXPECT_EQ(plugin["device"]["info"], "tab\there\x01 and \xEF\xBF\xBD latin") << "a byte that is not UTF-8";
  EXPECT_EQ(plugin["categoryName"], "POS|IVS");
  const json& settings = plugin["sourceSettings"];
  const std::vector<std::string> kinds = {"lineedit", "spinbox", "combobox", "slider", "radio", "checkbox"};
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(settings[i]["kind"], kinds[i]) << i;
  EXPECT_EQ(settings[2]["content"]["choices"][1], json::parse(R"({"id":"slow","text":"Slow mode"})"));
  EXPECT_EQ(settings[3]["content"], json::parse(R"({"value":3,"min":0,"max":100,"step":1,"pageStep":5})"));
  EXPECT_EQ(settings[4]["content"]["value"], "left");
  EXPECT_EQ(settings[5]["content"], json::parse(R"({"checked":false})"));
  EXPECT_EQ(plugin["relations"][0]["childKinds"], json::parse(R"(["FAKE_SUB"])"));
  EXPECT_EQ(plugin["channelSettings"][0]["settings"][0]["id"], "FakeCamera");
  EXPECT_EQ(plugin["filterProfiles"][0]["tagItems"][0]["postTag"], "\r\n");
  // The device kind, a kind with no events, and one the plug-in does not answer for.
  EXPECT_EQ(plugin["events"], json::parse(R"([{"pluginId":"FAKE_DEVICE","events":[3600,3601,4000]},
      {"pluginId":"FAKE_CH","events":[]}, {"pluginId":"FAKE_SUB","events":null}])"));
  const std::string tables = RunTool(Mdhost({"describe", kFake})).out;
  for (const char* text : {"tab\\there\\x01 and ", "Category: 9 (POS|IVS)", "choices: fast=Fast mode slow=Slow mode",
                           "filter replace literal \"cam=\" -> \"camera \"", "0..100 step 1 page 5"}) {
    EXPECT_NE(tables.find(text), std::string::npos) << text << "\n" << tables;
  }
}

TEST(MdhostDescribe, ProductPluginsOwnPrintingStaysOutOfTheJson) {
  const ToolResult result = RunTool(Mdhost({"describe", VANTIX_PLUGIN_PATH, "--json"}));
  EXPECT_EQ(json::parse(result.out, nullptr, false)["relations"][0]["maxNumber"], 1024) << result.out;
  EXPECT_NE(result.err.find("APR Application Instance"), std::string::npos);
}

}  // namespace
}  // namespace vantix_test
