#include "tools/mdhost/describe_output.h"

#include "tools/mdhost/json_writer.h"
#include "tools/mdhost/names.h"
#include "tools/mdhost/text_format.h"

namespace {

const char kNotAnswered[] = "  (not answered by the plug-in)\n";

std::string Range(long long minimum, long long maximum) {
  return std::to_string(minimum) + ".." + std::to_string(maximum);
}

std::string JoinChoices(const std::vector<PropertyChoice>& choices) {
  std::string joined = "choices:";
  if (choices.empty()) return joined + " none";
  for (const PropertyChoice& choice : choices) joined += " " + choice.id + "=" + choice.text;
  return joined;
}

std::string PropertyLimits(const PropertyDescription& property) {
  if (!property.hasContent) return "-";
  switch (property.kind) {
    case ePluginProperty_LineEdit:
      return "length " + Range(property.minLength, property.maxLength) + ", " + InputModeName(property.inputMode) +
             ", " + EchoModeName(property.echoMode);
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio:
      return JoinChoices(property.choices);
    case ePluginProperty_Slider:
      return Range(property.minimum, property.maximum) + " step " + std::to_string(property.step) + " page " +
             std::to_string(property.pageStep);
    case ePluginProperty_SpinBox:
      return Range(property.minimum, property.maximum) + " step " + std::to_string(property.step);
    default:
      return "-";
  }
}

std::string PropertyValue(const PropertyDescription& property) {
  if (!property.hasContent) return "(no content)";
  switch (property.kind) {
    case ePluginProperty_CheckBox:
      return property.checked ? "true" : "false";
    case ePluginProperty_LineEdit:
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio:
      return property.text;
    case ePluginProperty_Slider:
    case ePluginProperty_SpinBox:
      return std::to_string(property.value);
    default:
      return "-";
  }
}

std::string PropertyTable(const std::vector<PropertyDescription>& properties) {
  if (properties.empty()) return "  (none)\n";
  Table table({"ID", "CAPTION", "ENABLED", "CONTROL", "LIMITS", "VALUE"});
  for (const PropertyDescription& property : properties) {
    table.AddRow({property.id, property.caption, property.enabled ? "yes" : "no", PropertyKindName(property.kind),
                  PropertyLimits(property), PropertyValue(property)});
  }
  return table.Render(2);
}

std::string DeviceText(const std::optional<DeviceDescription>& device) {
  if (!device) return kNotAnswered;
  Table table;
  table.AddRow({"Plug-in ID", device->pluginId});
  table.AddRow({"Version", device->version});
  table.AddRow({"Name", device->name});
  table.AddRow({"Information", device->info});
  table.AddRow({"Vendor", device->vendor});
  table.AddRow({"Model", device->model});
  table.AddRow({"Manufacturer", device->manufacturer});
  table.AddRow({"Device name", device->deviceName});
  table.AddRow({"Device information", device->deviceInfo});
  return table.Render(2);
}

std::string JoinKinds(const std::vector<std::string>& kinds) {
  if (kinds.empty()) return "-";
  std::string joined;
  for (const std::string& kind : kinds) joined += (joined.empty() ? "" : " ") + kind;
  return joined;
}

std::string RelationsText(const std::optional<std::vector<RelationDescription>>& relations) {
  if (!relations) return kNotAnswered;
  if (relations->empty()) return "  (none)\n";
  Table table({"CHANNEL KIND", "NAME", "INFORMATION", "MAX", "MIN", "CHILD KINDS"});
  for (const RelationDescription& relation : *relations) {
    table.AddRow({relation.pluginId, relation.name, relation.info, std::to_string(relation.maxNumber),
                  std::to_string(relation.minNumber),
                  relation.childKinds ? JoinKinds(*relation.childKinds) : "(not answered)"});
  }
  return table.Render(2);
}

std::string ChannelSettingsText(const std::optional<std::vector<ChannelKindProperties>>& kinds) {
  if (!kinds) return "Channel settings\n" + std::string(kNotAnswered);
  if (kinds->empty()) return "Channel settings\n  (none)\n";
  std::string text;
  for (size_t i = 0; i < kinds->size(); ++i) {
    if (i > 0) text += '\n';
    text += "Channel settings: " + VisibleText((*kinds)[i].pluginId) + "\n" + PropertyTable((*kinds)[i].properties);
  }
  return text;
}

std::string SourceConfigText(const std::optional<std::vector<ConfigValue>>& config) {
  if (!config) return kNotAnswered;
  if (config->empty()) return "  (none)\n";
  Table table({"ID", "VALUE"});
  for (const ConfigValue& value : *config) table.AddRow({value.id, value.value});
  return table.Render(2);
}

std::string FilterProfilesText(const std::optional<std::vector<FilterProfileDescription>>& profiles) {
  if (!profiles) return kNotAnswered;
  if (profiles->empty()) return "  (none)\n";
  Table table({"CHANNEL KIND", "CHARSET", "TIMEOUT", "RULE"});
  for (const FilterProfileDescription& profile : *profiles) {
    table.AddRow({profile.pluginId, LanguageName(profile.language), std::to_string(profile.transactionTimeout),
                  profile.filterItems.empty() && profile.tagItems.empty() ? "no filters, no tags" : ""});
    for (const FilterItemDescription& item : profile.filterItems) {
      table.AddRow({"", "", "", "filter " + FilterTypeName(item.filterType) + " " +
                                    ExpressionTypeName(item.expressionType) + " \"" + item.source + "\" -> \"" +
                                    item.target + "\""});
    }
    for (const TagItemDescription& item : profile.tagItems) {
      table.AddRow({"", "", "", "tag " + item.name + " " + TagFormatName(item.format) + " between \"" +
                                    item.preTag + "\" and \"" + item.postTag + "\""});
    }
  }
  return table.Render(2);
}

std::string EventsText(const std::vector<EventListDescription>& lists) {
  if (lists.empty()) return "  (no plug-in identifiers to ask for)\n";
  Table table({"PLUG-IN ID", "EVENTS"});
  for (const EventListDescription& list : lists) {
    std::string events;
    if (!list.events) {
      events = "(not answered)";
    } else if (list.events->empty()) {
      events = "-";
    }
    if (list.events) {
      for (unsigned int event : *list.events) events += (events.empty() ? "" : " ") + std::to_string(event);
    }
    table.AddRow({list.pluginId, events});
  }
  return table.Render(2);
}

template <typename Value, typename WriteValue>
void WriteOptional(JsonWriter* json, const char* key, const std::optional<Value>& value, WriteValue write) {
  json->Key(key);
  if (value) {
    write(*value);
  } else {
    json->Null();
  }
}

template <typename Item, typename WriteItem>
void WriteArray(JsonWriter* json, const std::vector<Item>& items, WriteItem write) {
  json->BeginArray();
  for (const Item& item : items) write(item);
  json->EndArray();
}

void WriteStrings(JsonWriter* json, const std::vector<std::string>& strings) {
  WriteArray(json, strings, [json](const std::string& text) { json->String(text); });
}

void WriteDevice(JsonWriter* json, const DeviceDescription& device) {
  json->BeginObject();
  json->Key("pluginId").String(device.pluginId);
  json->Key("version").String(device.version);
  json->Key("name").String(device.name);
  json->Key("info").String(device.info);
  json->Key("vendor").String(device.vendor);
  json->Key("model").String(device.model);
  json->Key("manufacturer").String(device.manufacturer);
  json->Key("deviceName").String(device.deviceName);
  json->Key("deviceInfo").String(device.deviceInfo);
  json->EndObject();
}

void WriteRelation(JsonWriter* json, const RelationDescription& relation) {
  json->BeginObject();
  json->Key("pluginId").String(relation.pluginId);
  json->Key("name").String(relation.name);
  json->Key("info").String(relation.info);
  json->Key("maxNumber").Unsigned(relation.maxNumber);
  json->Key("minNumber").Unsigned(relation.minNumber);
  WriteOptional(json, "childKinds", relation.childKinds,
                [json](const std::vector<std::string>& kinds) { WriteStrings(json, kinds); });
  json->EndObject();
}

void WriteRange(JsonWriter* json, const PropertyDescription& property) {
  json->Key("value").Signed(property.value);
  json->Key("min").Signed(property.minimum);
  json->Key("max").Signed(property.maximum);
  json->Key("step").Signed(property.step);
}

void WriteContent(JsonWriter* json, const PropertyDescription& property) {
  json->BeginObject();
  switch (property.kind) {
    case ePluginProperty_CheckBox:
      json->Key("checked").Bool(property.checked);
      break;
    case ePluginProperty_LineEdit:
      json->Key("value").String(property.text);
      json->Key("minLength").Unsigned(property.minLength);
      json->Key("maxLength").Unsigned(property.maxLength);
      json->Key("inputMode").String(InputModeName(property.inputMode));
      json->Key("echoMode").String(EchoModeName(property.echoMode));
      break;
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio:
      json->Key("value").String(property.text);
      json->Key("choices");
      WriteArray(json, property.choices, [json](const PropertyChoice& choice) {
        json->BeginObject().Key("id").String(choice.id).Key("text").String(choice.text).EndObject();
      });
      break;
    case ePluginProperty_Slider:
      WriteRange(json, property);
      json->Key("pageStep").Signed(property.pageStep);
      break;
    case ePluginProperty_SpinBox:
      WriteRange(json, property);
      break;
    default:
      break;
  }
  json->EndObject();
}

void WriteProperty(JsonWriter* json, const PropertyDescription& property) {
  json->BeginObject();
  json->Key("id").String(property.id);
  json->Key("caption").String(property.caption);
  json->Key("enabled").Bool(property.enabled);
  json->Key("kind").String(PropertyKindName(property.kind));
  json->Key("content");
  if (property.hasContent) {
    WriteContent(json, property);
  } else {
    json->Null();
  }
  json->EndObject();
}

void WriteProperties(JsonWriter* json, const std::vector<PropertyDescription>& properties) {
  WriteArray(json, properties, [json](const PropertyDescription& property) { WriteProperty(json, property); });
}

void WriteChannelKind(JsonWriter* json, const ChannelKindProperties& kind) {
  json->BeginObject();
  json->Key("pluginId").String(kind.pluginId);
  json->Key("settings");
  WriteProperties(json, kind.properties);
  json->EndObject();
}

void WriteFilterProfile(JsonWriter* json, const FilterProfileDescription& profile) {
  json->BeginObject();
  json->Key("pluginId").String(profile.pluginId);
  json->Key("language").String(LanguageName(profile.language));
  json->Key("transactionTimeout").Unsigned(profile.transactionTimeout);
  json->Key("filterItems");
  WriteArray(json, profile.filterItems, [json](const FilterItemDescription& item) {
    json->BeginObject();
    json->Key("filterType").String(FilterTypeName(item.filterType));
    json->Key("expressionType").String(ExpressionTypeName(item.expressionType));
    json->Key("source").String(item.source);
    json->Key("target").String(item.target);
    json->EndObject();
  });
  json->Key("tagItems");
  WriteArray(json, profile.tagItems, [json](const TagItemDescription& item) {
    json->BeginObject();
    json->Key("name").String(item.name);
    json->Key("preTag").String(item.preTag);
    json->Key("postTag").String(item.postTag);
    json->Key("format").String(TagFormatName(item.format));
    json->EndObject();
  });
  json->EndObject();
}

void WriteEventList(JsonWriter* json, const EventListDescription& list) {
  json->BeginObject();
  json->Key("pluginId").String(list.pluginId);
  WriteOptional(json, "events", list.events, [json](const std::vector<unsigned int>& events) {
    WriteArray(json, events, [json](unsigned int event) { json->Unsigned(event); });
  });
  json->EndObject();
}

}  // namespace

std::string DescriptionAsText(const PluginDescription& plugin) {
  std::string text = "Plug-in: " + VisibleText(plugin.path) + "\n\nDevice\n" + DeviceText(plugin.device);
  text += "\nCategory: ";
  text += plugin.category ? std::to_string(*plugin.category) + " (" + CategoryName(*plugin.category) + ")"
                          : "(not answered by the plug-in)";
  text += "\n\nChannel kinds: ";
  text += plugin.channelKinds ? VisibleText(JoinKinds(*plugin.channelKinds)) : "(not answered by the plug-in)";
  text += "\n\nChannel relations\n" + RelationsText(plugin.relations);
  text += "\nSource settings\n";
  text += plugin.sourceProperties ? PropertyTable(*plugin.sourceProperties) : kNotAnswered;
  text += "\n" + ChannelSettingsText(plugin.channelProperties);
  text += "\nSource configuration\n" + SourceConfigText(plugin.sourceConfig);
  text += "\nFilter profiles\n" + FilterProfilesText(plugin.filterProfiles);
  text += "\nSupported events\n" + EventsText(plugin.events);
  return text;
}

std::string DescriptionAsJson(const PluginDescription& plugin) {
  JsonWriter json;
  JsonWriter* out = &json;
  json.BeginObject();
  json.Key("plugin").String(plugin.path);
  WriteOptional(out, "device", plugin.device, [out](const DeviceDescription& device) { WriteDevice(out, device); });
  WriteOptional(out, "category", plugin.category, [out](unsigned int category) { out->Unsigned(category); });
  WriteOptional(out, "categoryName", plugin.category,
                [out](unsigned int category) { out->String(CategoryName(category)); });
  WriteOptional(out, "channelKinds", plugin.channelKinds,
                [out](const std::vector<std::string>& kinds) { WriteStrings(out, kinds); });
  WriteOptional(out, "relations", plugin.relations, [out](const std::vector<RelationDescription>& relations) {
    WriteArray(out, relations, [out](const RelationDescription& relation) { WriteRelation(out, relation); });
  });
  WriteOptional(out, "sourceSettings", plugin.sourceProperties,
                [out](const std::vector<PropertyDescription>& properties) { WriteProperties(out, properties); });
  WriteOptional(out, "channelSettings", plugin.channelProperties,
                [out](const std::vector<ChannelKindProperties>& kinds) {
                  WriteArray(out, kinds, [out](const ChannelKindProperties& kind) { WriteChannelKind(out, kind); });
                });
  WriteOptional(out, "sourceConfig", plugin.sourceConfig, [out](const std::vector<ConfigValue>& values) {
    WriteArray(out, values, [out](const ConfigValue& value) {
      out->BeginObject().Key("id").String(value.id).Key("value").String(value.value).EndObject();
    });
  });
  WriteOptional(out, "filterProfiles", plugin.filterProfiles,
                [out](const std::vector<FilterProfileDescription>& profiles) {
                  WriteArray(out, profiles,
                             [out](const FilterProfileDescription& profile) { WriteFilterProfile(out, profile); });
                });
  json.Key("events");
  WriteArray(out, plugin.events, [out](const EventListDescription& list) { WriteEventList(out, list); });
  json.EndObject();
  return json.Text() + "\n";
}
