// mdhost describe: what a plug-in declares, read through the interface, as
// JSON that parses and as aligned tables. The fake plug-in covers every
// control kind and texts that need escaping; the product plug-in its
// declared identity.

#include <gtest/gtest.h>

#include "support/json_reader.h"
#include "tools/tool_command.h"

namespace vantix_test {
namespace {

JsonValue DescribeJson(const std::string& plugin, ToolResult* result) {
  *result = RunTool(Mdhost({"describe", plugin, "--json"}));
  JsonValue json;
  std::string error;
  EXPECT_TRUE(result->finished);
  EXPECT_EQ(result->exitStatus, 0) << result->err;
  EXPECT_TRUE(ParseJson(result->out, &json, &error)) << error << "\n" << result->out;
  return json;
}

std::vector<double> Numbers(const JsonValue& array) {
  std::vector<double> numbers;
  for (const JsonValue& item : array.items) numbers.push_back(item.number);
  return numbers;
}

const JsonValue& FindById(const JsonValue& array, const std::string& key, const std::string& id) {
  for (const JsonValue& item : array.items) {
    if (item[key].text == id) return item;
  }
  return array[array.size()];  // the null value
}

TEST(MdhostDescribe, ProductPluginDeclaresItsIdentity) {
  ToolResult result;
  const JsonValue json = DescribeJson(VANTIX_PLUGIN_PATH, &result);
  EXPECT_EQ(json["plugin"].text, VANTIX_PLUGIN_PATH);
  const JsonValue& device = json["device"];
  EXPECT_EQ(device["pluginId"].text, "ID_VANTIX");
  EXPECT_EQ(device["version"].text, "2.0.0.5");
  for (const char* field : {"name", "info", "vendor", "model", "manufacturer", "deviceName", "deviceInfo"}) {
    EXPECT_EQ(device[field].text, "Vantix") << field;
  }
  EXPECT_EQ(json["category"].number, 16);
  EXPECT_EQ(json["categoryName"].text, "KOVANT");
  ASSERT_EQ(json["channelKinds"].size(), 1u);
  EXPECT_EQ(json["channelKinds"][0].text, "ID_VANTIX_CH");
  ASSERT_EQ(json["relations"].size(), 1u);
  const JsonValue& relation = json["relations"][0];
  EXPECT_EQ(relation["pluginId"].text, "ID_VANTIX_CH");
  EXPECT_EQ(relation["maxNumber"].number, 1024);
  EXPECT_EQ(relation["minNumber"].number, 1);
  EXPECT_EQ(relation["childKinds"].type, JsonValue::kArray);
  EXPECT_EQ(relation["childKinds"].size(), 0u);
  // The plug-in's own printing went to standard error, not into the JSON.
  EXPECT_NE(result.err.find("APR Application Instance"), std::string::npos) << result.err;
}

TEST(MdhostDescribe, ProductPluginEvents) {
  ToolResult result;
  const JsonValue json = DescribeJson(VANTIX_PLUGIN_PATH, &result);
  const JsonValue& device = FindById(json["events"], "pluginId", "ID_VANTIX");
  const JsonValue& channel = FindById(json["events"], "pluginId", "ID_VANTIX_CH");
  ASSERT_FALSE(device.IsNull());
  ASSERT_FALSE(channel.IsNull());
  EXPECT_EQ(Numbers(device["events"]), (std::vector<double>{3600, 3601}));
  EXPECT_EQ(Numbers(channel["events"]), (std::vector<double>{3902, 3903}));
}

TEST(MdhostDescribe, ProductPluginSettings) {
  ToolResult result;
  const JsonValue json = DescribeJson(VANTIX_PLUGIN_PATH, &result);
  {
    ASSERT_FALSE(json["sourceSettings"].IsNull());
    const JsonValue& address = FindById(json["sourceSettings"], "id", "ModelVantixIP");
    EXPECT_EQ(address["caption"].text, "Server IP");
    EXPECT_EQ(address["kind"].text, "lineedit");
    EXPECT_EQ(address["content"]["value"].text, "127.0.0.1");
    EXPECT_EQ(address["content"]["maxLength"].number, 253);
    const JsonValue& port = FindById(json["sourceSettings"], "id", "ModelVantixServerPort");
    EXPECT_EQ(port["kind"].text, "spinbox");
    EXPECT_EQ(port["content"]["value"].number, 7000);
    EXPECT_EQ(port["content"]["min"].number, 1);
    EXPECT_EQ(port["content"]["max"].number, 65535);
  }
  {
    ASSERT_FALSE(json["channelSettings"].IsNull());
    const JsonValue& kind = FindById(json["channelSettings"], "pluginId", "ID_VANTIX_CH");
    const JsonValue& camera = kind["settings"][0];
    EXPECT_EQ(camera["id"].text, "ModelVantixCH");
    EXPECT_EQ(camera["kind"].text, "spinbox");
    EXPECT_EQ(camera["content"]["max"].number, 512);
  }
  {
    ASSERT_FALSE(json["sourceConfig"].IsNull());
    EXPECT_EQ(FindById(json["sourceConfig"], "id", "ModelVantixIP")["value"].text, "127.0.0.1");
    EXPECT_EQ(FindById(json["sourceConfig"], "id", "ModelVantixServerPort")["value"].text, "7000");
  }
  {
    ASSERT_FALSE(json["filterProfiles"].IsNull());
    ASSERT_EQ(json["filterProfiles"].size(), 1u);
    const JsonValue& profile = json["filterProfiles"][0];
    EXPECT_EQ(profile["pluginId"].text, "ID_VANTIX_CH");
    EXPECT_EQ(profile["language"].text, "UTF8");
    EXPECT_EQ(profile["transactionTimeout"].number, 10);
    EXPECT_EQ(profile["filterItems"].size(), 0u);
    EXPECT_EQ(profile["tagItems"].size(), 0u);
  }
}

// Quotes, backslashes, control characters, a Latin-1 byte and UTF-8 all come
// back from the JSON as the plug-in wrote them (the stray byte as its
// Latin-1 character).
TEST(MdhostDescribe, JsonCarriesAnyTextIntact) {
  ToolResult result;
  const JsonValue json = DescribeJson(TestLibrary("fake_plugin"), &result);
  const JsonValue& device = json["device"];
  EXPECT_EQ(device["pluginId"].text, "FAKE_DEVICE");
  EXPECT_EQ(device["name"].text, "Fake \"quoted\" \\ name");
  EXPECT_EQ(device["info"].text, "tab\there\x01 and \xC3\xA9 latin");
  EXPECT_EQ(device["vendor"].text, "Vendor \xE2\x9C\x93");
  EXPECT_EQ(json["category"].number, 9);
  EXPECT_EQ(json["categoryName"].text, "POS|IVS");
}

TEST(MdhostDescribe, JsonDescribesEveryControlKind) {
  ToolResult result;
  const JsonValue json = DescribeJson(TestLibrary("fake_plugin"), &result);
  const JsonValue& settings = json["sourceSettings"];
  ASSERT_EQ(settings.size(), 7u);

  const JsonValue& host = settings[0];
  EXPECT_EQ(host["id"].text, "FakeHost");
  EXPECT_EQ(host["caption"].text, "Host");
  EXPECT_TRUE(host["enabled"].boolean);
  EXPECT_EQ(host["kind"].text, "lineedit");
  EXPECT_EQ(host["content"]["value"].text, "localhost");
  EXPECT_EQ(host["content"]["maxLength"].number, 64);
  EXPECT_EQ(host["content"]["inputMode"].text, "any");
  EXPECT_EQ(host["content"]["echoMode"].text, "normal");

  const JsonValue& port = settings[1];
  EXPECT_EQ(port["kind"].text, "spinbox");
  EXPECT_EQ(port["content"]["value"].number, 7000);
  EXPECT_EQ(port["content"]["min"].number, 1);
  EXPECT_EQ(port["content"]["max"].number, 65535);
  EXPECT_EQ(port["content"]["step"].number, 1);

  const JsonValue& mode = settings[2];
  EXPECT_EQ(mode["kind"].text, "combobox");
  EXPECT_EQ(mode["content"]["value"].text, "fast");
  ASSERT_EQ(mode["content"]["choices"].size(), 2u);
  EXPECT_EQ(mode["content"]["choices"][1]["id"].text, "slow");
  EXPECT_EQ(mode["content"]["choices"][1]["text"].text, "Slow mode");

  EXPECT_EQ(settings[3]["kind"].text, "checkbox");
  EXPECT_EQ(settings[3]["content"]["checked"].type, JsonValue::kBool);
  EXPECT_FALSE(settings[3]["content"]["checked"].boolean);

  const JsonValue& level = settings[4];
  EXPECT_EQ(level["kind"].text, "slider");
  EXPECT_EQ(level["content"]["value"].number, 3);
  EXPECT_EQ(level["content"]["max"].number, 10);
  EXPECT_EQ(level["content"]["pageStep"].number, 5);

  EXPECT_EQ(settings[5]["kind"].text, "radio");
  EXPECT_EQ(settings[5]["content"]["choices"][0]["id"].text, "left");
  EXPECT_FALSE(settings[6]["enabled"].boolean);

  const JsonValue& kinds = json["channelSettings"];
  ASSERT_EQ(kinds.size(), 2u);
  EXPECT_EQ(kinds[0]["pluginId"].text, "FAKE_CH");
  EXPECT_EQ(kinds[0]["settings"][0]["id"].text, "FakeCamera");
  EXPECT_EQ(kinds[1]["pluginId"].text, "FAKE_SUB");
  EXPECT_EQ(kinds[1]["settings"].size(), 0u);
}

TEST(MdhostDescribe, JsonDescribesRelationsProfilesConfigAndEvents) {
  ToolResult result;
  const JsonValue json = DescribeJson(TestLibrary("fake_plugin"), &result);
  EXPECT_EQ(json["relations"][0]["childKinds"][0].text, "FAKE_SUB");
  EXPECT_EQ(json["relations"][1]["maxNumber"].number, 2);
  EXPECT_EQ(json["sourceConfig"][1]["id"].text, "FakePort");
  EXPECT_EQ(json["sourceConfig"][1]["value"].text, "7000");

  const JsonValue& profile = json["filterProfiles"][0];
  EXPECT_EQ(profile["language"].text, "ISO_8859_1");
  EXPECT_EQ(profile["transactionTimeout"].number, 30);
  ASSERT_EQ(profile["filterItems"].size(), 2u);
  EXPECT_EQ(profile["filterItems"][0]["filterType"].text, "replace");
  EXPECT_EQ(profile["filterItems"][0]["expressionType"].text, "literal");
  EXPECT_EQ(profile["filterItems"][0]["target"].text, "camera ");
  EXPECT_EQ(profile["filterItems"][1]["filterType"].text, "omit");
  EXPECT_EQ(profile["tagItems"][0]["postTag"].text, "\r\n");

  // Asked for the device kind and every channel kind: declared codes, an
  // empty list, and a kind the plug-in does not answer for.
  const JsonValue& events = json["events"];
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(Numbers(events[0]["events"]), (std::vector<double>{3600, 3601, 4000}));
  EXPECT_EQ(events[1]["events"].type, JsonValue::kArray);
  EXPECT_EQ(events[1]["events"].size(), 0u);
  EXPECT_TRUE(events[2]["events"].IsNull());
}

// The fake plug-in refuses to be released while a list it handed out is
// still out: a clean exit shows that every list went back.
TEST(MdhostDescribe, EveryListHandedOutGoesBack) {
  for (const char* format : {"--json", ""}) {
    std::vector<std::string> args = {"describe", TestLibrary("fake_plugin")};
    if (*format != '\0') args.push_back(format);
    const ToolResult result = RunTool(Mdhost(args));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
  }
}

// In the tables a control character cannot break a row: it is shown
// escaped, and the columns line up.
TEST(MdhostDescribe, TablesAreAlignedAndShowControlCharacters) {
  const ToolResult result = RunTool(Mdhost({"describe", TestLibrary("fake_plugin")}));
  ASSERT_TRUE(result.finished);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string& text = result.out;
  EXPECT_NE(text.find("tab\\there\\x01 and "), std::string::npos) << text;
  EXPECT_NE(text.find("Category: 9 (POS|IVS)"), std::string::npos);
  EXPECT_NE(text.find("Channel settings: FAKE_CH"), std::string::npos);
  EXPECT_NE(text.find("choices: fast=Fast mode slow=Slow mode"), std::string::npos);
  EXPECT_NE(text.find("filter replace literal \"cam=\" -> \"camera \""), std::string::npos) << text;

  const size_t header = text.find("  ID ");
  ASSERT_NE(header, std::string::npos);
  const size_t headerLineStart = text.rfind('\n', header) + 1;
  const size_t controlColumn = text.find("CONTROL", header) - headerLineStart;
  const size_t portRow = text.find("  FakePort ");
  ASSERT_NE(portRow, std::string::npos);
  const size_t portLineStart = text.rfind('\n', portRow) + 1;
  EXPECT_EQ(text.find("spinbox", portRow) - portLineStart, controlColumn) << text;
  EXPECT_NE(text.find("1..65535 step 1"), std::string::npos);
}

}  // namespace
}  // namespace vantix_test
