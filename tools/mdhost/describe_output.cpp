#include "tools/mdhost/describe_output.h"

#include <nlohmann/json.hpp>

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
      return "length " + Range(property.minLength, property.maxLength) + ", " +
             InputModeName(property.inputMode) + ", " + EchoModeName(property.echoMode);
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio: return JoinChoices(property.choices);
    case ePluginProperty_Slider:
      return Range(property.minimum, property.maximum) + " step " + std::to_string(property.step) + " page " +
             std::to_string(property.pageStep);
    case ePluginProperty_SpinBox:
      return Range(property.minimum, property.maximum) + " step " + std::to_string(property.step);
    default: return "-";
  }
}

std::string PropertyValue(const PropertyDescription& property) {
  if (!property.hasContent) return "(no content)";
  switch (property.kind) {
    case ePluginProperty_CheckBox: return property.checked ? "true" : "false";
    case ePluginProperty_LineEdit:
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio: return property.text;
    case ePluginProperty_Slider:
    case ePluginProperty_SpinBox: return std::to_string(property.value);
    default: return "-";
  }
}

std::string PropertyTable(const std::vector<PropertyDescription>& properties) {
  if (properties.empty()) return "  (none)\n";
  Table table({"ID", "CAPTION", "ENABLED", "CONTROL", "LIMITS", "VALUE"});
  for (const PropertyDescription& property : properties) {
    table.AddRow({property.id, property.caption, property.enabled ? "yes" : "no",
                  PropertyKindName(property.kind), PropertyLimits(property), PropertyValue(property)});
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
    text += "Channel settings: " + VisibleText((*kinds)[i].pluginId) + "\n" +
            PropertyTable((*kinds)[i].properties);
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
    table.AddRow({profile.pluginId, LanguageName(profile.language),
                  std::to_string(profile.transactionTimeout),
                  profile.filterItems.empty() && profile.tagItems.empty() ? "no filters, no tags" : ""});
    for (const FilterItemDescription& item : profile.filterItems) {
      table.AddRow({"", "", "",
                    "filter " + FilterTypeName(item.filterType) + " " +
                        ExpressionTypeName(item.expressionType) + " \"" + item.source + "\" -> \"" +
                        item.target + "\""});
    }
    for (const TagItemDescription& item : profile.tagItems) {
      table.AddRow({"", "", "",
                    "tag " + item.name + " " + TagFormatName(item.format) + " between \"" + item.preTag +
                        "\" and \"" + item.postTag + "\""});
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

// Keys in the order written, so the object reads like the tables.
using Json = nlohmann::ordered_json;

// A section the plug-in did not answer is null.
template <typename Value, typename ToJson>
Json Optional(const std::optional<Value>& value, ToJson toJson) {
  return value ? toJson(*value) : Json(nullptr);
}

template <typename Item, typename ToJson>
Json Array(const std::vector<Item>& items, ToJson toJson) {
  Json array = Json::array();
  for (const Item& item : items) array.push_back(toJson(item));
  return array;
}

Json DeviceJson(const DeviceDescription& device) {
  return {{"pluginId", device.pluginId},
          {"version", device.version},
          {"name", device.name},
          {"info", device.info},
          {"vendor", device.vendor},
          {"model", device.model},
          {"manufacturer", device.manufacturer},
          {"deviceName", device.deviceName},
          {"deviceInfo", device.deviceInfo}};
}

Json RelationJson(const RelationDescription& relation) {
  return {{"pluginId", relation.pluginId},
          {"name", relation.name},
          {"info", relation.info},
          {"maxNumber", relation.maxNumber},
          {"minNumber", relation.minNumber},
          {"childKinds",
           Optional(relation.childKinds, [](const std::vector<std::string>& kinds) { return Json(kinds); })}};
}

Json ContentJson(const PropertyDescription& property) {
  const Json range = {{"value", property.value},
                      {"min", property.minimum},
                      {"max", property.maximum},
                      {"step", property.step}};
  switch (property.kind) {
    case ePluginProperty_CheckBox: return {{"checked", property.checked}};
    case ePluginProperty_LineEdit:
      return {{"value", property.text},
              {"minLength", property.minLength},
              {"maxLength", property.maxLength},
              {"inputMode", InputModeName(property.inputMode)},
              {"echoMode", EchoModeName(property.echoMode)}};
    case ePluginProperty_ComboBox:
    case ePluginProperty_Radio:
      return {{"value", property.text}, {"choices", Array(property.choices, [](const PropertyChoice& choice) {
                                           return Json{{"id", choice.id}, {"text", choice.text}};
                                         })}};
    case ePluginProperty_Slider: {
      Json slider = range;
      slider["pageStep"] = property.pageStep;
      return slider;
    }
    case ePluginProperty_SpinBox: return range;
    default: return Json::object();
  }
}

Json PropertyJson(const PropertyDescription& property) {
  return {{"id", property.id},
          {"caption", property.caption},
          {"enabled", property.enabled},
          {"kind", PropertyKindName(property.kind)},
          {"content", property.hasContent ? ContentJson(property) : Json(nullptr)}};
}

Json PropertiesJson(const std::vector<PropertyDescription>& properties) {
  return Array(properties, PropertyJson);
}

Json FilterProfileJson(const FilterProfileDescription& profile) {
  return {{"pluginId", profile.pluginId},
          {"language", LanguageName(profile.language)},
          {"transactionTimeout", profile.transactionTimeout},
          {"filterItems", Array(profile.filterItems,
                                [](const FilterItemDescription& item) {
                                  return Json{{"filterType", FilterTypeName(item.filterType)},
                                              {"expressionType", ExpressionTypeName(item.expressionType)},
                                              {"source", item.source},
                                              {"target", item.target}};
                                })},
          {"tagItems", Array(profile.tagItems, [](const TagItemDescription& item) {
             return Json{{"name", item.name},
                         {"preTag", item.preTag},
                         {"postTag", item.postTag},
                         {"format", TagFormatName(item.format)}};
           })}};
}

}  // namespace

std::string DescriptionAsText(const PluginDescription& plugin) {
  std::string text = "Plug-in: " + VisibleText(plugin.path) + "\n\nDevice\n" + DeviceText(plugin.device);
  text += "\nCategory: ";
  text += plugin.category ? std::to_string(*plugin.category) + " (" + CategoryName(*plugin.category) + ")"
                          : "(not answered by the plug-in)";
  text += "\n\nChannel kinds: ";
  text +=
      plugin.channelKinds ? VisibleText(JoinKinds(*plugin.channelKinds)) : "(not answered by the plug-in)";
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
  Json json;
  json["plugin"] = plugin.path;
  json["device"] = Optional(plugin.device, DeviceJson);
  json["category"] = Optional(plugin.category, [](unsigned int category) { return Json(category); });
  json["categoryName"] =
      Optional(plugin.category, [](unsigned int category) { return Json(CategoryName(category)); });
  json["channelKinds"] =
      Optional(plugin.channelKinds, [](const std::vector<std::string>& kinds) { return Json(kinds); });
  json["relations"] = Optional(plugin.relations, [](const std::vector<RelationDescription>& relations) {
    return Array(relations, RelationJson);
  });
  json["sourceSettings"] = Optional(plugin.sourceProperties, PropertiesJson);
  json["channelSettings"] =
      Optional(plugin.channelProperties, [](const std::vector<ChannelKindProperties>& kinds) {
        return Array(kinds, [](const ChannelKindProperties& kind) {
          return Json{{"pluginId", kind.pluginId}, {"settings", PropertiesJson(kind.properties)}};
        });
      });
  json["sourceConfig"] = Optional(plugin.sourceConfig, [](const std::vector<ConfigValue>& values) {
    return Array(values, [](const ConfigValue& value) {
      return Json{{"id", value.id}, {"value", value.value}};
    });
  });
  json["filterProfiles"] =
      Optional(plugin.filterProfiles, [](const std::vector<FilterProfileDescription>& profiles) {
        return Array(profiles, FilterProfileJson);
      });
  json["events"] = Array(plugin.events, [](const EventListDescription& list) {
    return Json{{"pluginId", list.pluginId},
                {"events", Optional(list.events,
                                    [](const std::vector<unsigned int>& events) { return Json(events); })}};
  });
  // Texts are the plug-in's bytes; any that are not UTF-8 come out as U+FFFD
  // rather than making the document invalid.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
