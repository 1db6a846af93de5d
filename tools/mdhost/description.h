#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MetadataModelBase/IPluginModel.h"

// Everything a plug-in declares, read through the interface into plain
// values. A section is empty (nullopt) when the plug-in refused the query or
// handed nothing out.

struct DeviceDescription {
  std::string pluginId;
  std::string version;
  std::string name;
  std::string info;
  std::string vendor;
  std::string model;
  std::string manufacturer;
  std::string deviceName;
  std::string deviceInfo;
};

struct RelationDescription {
  std::string pluginId;
  std::string name;
  std::string info;
  unsigned int maxNumber = 0;
  unsigned int minNumber = 0;
  std::optional<std::vector<std::string>> childKinds;
};

struct PropertyChoice {
  std::string id;    // the value that selects the choice
  std::string text;  // what the dialog shows
};

// One control of a settings dialog. Which of the value fields count depends
// on the kind (E_PLUGIN_PROPERTY_TYPE); hasContent is false when the plug-in
// gave the control no content record.
struct PropertyDescription {
  std::string id;
  std::string caption;
  bool enabled = false;
  int kind = ePluginProperty_None;
  bool hasContent = false;
  bool checked = false;                 // check box
  std::string text;                     // line edit text; combo box or radio selection
  unsigned int minLength = 0;           // line edit
  unsigned int maxLength = 0;           // line edit
  int inputMode = eAny;                 // line edit
  int echoMode = eNormal;               // line edit
  long long value = 0;                  // slider, spin box
  long long minimum = 0;                // slider, spin box
  long long maximum = 0;                // slider, spin box
  long long step = 0;                   // slider, spin box
  long long pageStep = 0;               // slider
  std::vector<PropertyChoice> choices;  // combo box, radio
};

struct ChannelKindProperties {
  std::string pluginId;
  std::vector<PropertyDescription> properties;
};

struct ConfigValue {
  std::string id;
  std::string value;
};

struct FilterItemDescription {
  int filterType = eFTypeNone;
  int expressionType = eETypeNone;
  std::string source;
  std::string target;
};

struct TagItemDescription {
  std::string name;
  std::string preTag;
  std::string postTag;
  int format = eTagFormatNone;
};

struct FilterProfileDescription {
  std::string pluginId;
  int language = eLang_None;
  unsigned int transactionTimeout = 0;
  std::vector<FilterItemDescription> filterItems;
  std::vector<TagItemDescription> tagItems;
};

struct EventListDescription {
  std::string pluginId;
  std::optional<std::vector<unsigned int>> events;
};

struct PluginDescription {
  std::string path;
  std::optional<DeviceDescription> device;
  std::optional<unsigned int> category;
  std::optional<std::vector<std::string>> channelKinds;
  std::optional<std::vector<RelationDescription>> relations;
  std::optional<std::vector<PropertyDescription>> sourceProperties;
  std::optional<std::vector<ChannelKindProperties>> channelProperties;
  std::optional<std::vector<ConfigValue>> sourceConfig;
  std::optional<std::vector<FilterProfileDescription>> filterProfiles;
  std::vector<EventListDescription> events;  // the device kind, then each channel kind
};

// A plug-in identifier record for the interface's lookups.
T_PLUGIN_ID MakePluginId(const std::string& id);

PluginDescription DescribePlugin(IPluginModel2& model, const std::string& path);

// The plug-in's channel kinds in declared order; nullopt when it does not
// answer.
std::optional<std::vector<std::string>> ReadChannelKinds(const IPluginModel2& model);

// The plug-in's settings dialogs: each channel kind with its controls, or
// nullopt when the plug-in hands out no list. Every array it hands out goes
// back to it before this returns.
std::optional<std::vector<ChannelKindProperties>> ReadChannelProperties(IPluginModel2& model);

// The source configuration list as the plug-in reports it, or nullopt.
std::optional<std::vector<ConfigValue>> ReadSourceConfig(const IPluginModel2& model);

// A channel's configuration list, or nullopt when the channel is unknown.
std::optional<std::vector<ConfigValue>> ReadChannelConfig(const IPluginModel2& model,
                                                          unsigned long long channelId);
