#include "tools/mdhost/description.h"

#include <cstdio>
#include <cstring>

#include "MetadataModelBase/HostRecords.h"

namespace {

// A count beyond this is taken as a broken answer rather than read.
const unsigned int kMaxEntries = 65536;

bool PlausibleCount(unsigned int count, const char* what) {
  if (count <= kMaxEntries) return true;
  fprintf(stderr, "mdhost: the plug-in reports %u %s; not reading more than %u\n", count, what, kMaxEntries);
  return false;
}

// A bool that the plug-in wrote: any non-zero byte counts as true.
bool ReadFlag(const bool& flag) { return *reinterpret_cast<const unsigned char*>(&flag) != 0; }

std::optional<DeviceDescription> ReadDevice(const IPluginModel2& model) {
  T_PLUGIN_DEVICE_INFO info;
  memset(&info, 0, sizeof(info));
  if (!model.GetPluginDeviceInfo(&info)) return std::nullopt;
  DeviceDescription device;
  device.pluginId = ReadText(info.sPluginID);
  device.version = ReadText(info.sPluginVersion);
  device.name = ReadText(info.sPluginName);
  device.info = ReadText(info.sPluginInfo);
  device.vendor = ReadText(info.sPluginVendor);
  device.model = ReadText(info.sPluginModel);
  device.manufacturer = ReadText(info.sPluginManufacture);
  device.deviceName = ReadText(info.sDeviceName);
  device.deviceInfo = ReadText(info.sDeviceInfo);
  return device;
}

std::optional<unsigned int> ReadCategory(const IPluginModel2& model) {
  E_PLUGIN_CATEGORY category = eMETADATA_CATEGORY_UNDEFINE;
  if (!model.GetCategoryType(&category)) return std::nullopt;
  return static_cast<unsigned int>(category);
}

std::optional<std::vector<std::string>> ReadChildKinds(const IPluginModel2& model, const std::string& kind) {
  const T_PLUGIN_ID parent = MakePluginId(kind);
  unsigned int count = 0;
  if (!model.GetSupportChildPluginIDSize(&parent, &count) || !PlausibleCount(count, "child kinds")) {
    return std::nullopt;
  }
  std::vector<std::string> kinds;
  if (count == 0) return kinds;
  std::vector<T_PLUGIN_ID> ids(count, T_PLUGIN_ID{});
  if (!model.GetSupportChildPluginID(&parent, ids.data(), count)) return std::nullopt;
  for (const T_PLUGIN_ID& id : ids) kinds.push_back(ReadText(id.sPluginID));
  return kinds;
}

std::optional<std::vector<RelationDescription>> ReadRelations(const IPluginModel2& model) {
  unsigned int count = 0;
  if (!model.GetChannelRelationSize(&count) || !PlausibleCount(count, "channel relations"))
    return std::nullopt;
  std::vector<T_PLUGIN_PARENT_CHILD_MAP_ITEM> items(count, T_PLUGIN_PARENT_CHILD_MAP_ITEM{});
  if (!model.GetChannelRelation(items.data(), count)) return std::nullopt;
  std::vector<RelationDescription> relations;
  for (const T_PLUGIN_PARENT_CHILD_MAP_ITEM& item : items) {
    RelationDescription relation;
    relation.pluginId = ReadText(item.sPluginID);
    relation.name = ReadText(item.sChannelName);
    relation.info = ReadText(item.sChannelInfo);
    relation.maxNumber = item.uiMaxNumber;
    relation.minNumber = item.uiMinNumber;
    relation.childKinds = ReadChildKinds(model, relation.pluginId);
    relations.push_back(relation);
  }
  return relations;
}

// Combo boxes and radio groups share their layout.
template <typename SelectionControl>
void ReadSelection(const SelectionControl& control, PropertyDescription* property) {
  property->text = ReadText(control.sValue);
  if (control.pSelectionList == nullptr || !PlausibleCount(control.uiSelectionListSize, "choices")) return;
  for (unsigned int i = 0; i < control.uiSelectionListSize; ++i) {
    const T_SELECTION_LIST& entry = control.pSelectionList[i];
    property->choices.push_back(PropertyChoice{ReadText(entry.sName), ReadText(entry.sValue)});
  }
}

template <typename NumberControl>
void ReadRange(const NumberControl& control, PropertyDescription* property) {
  property->value = control.llValue;
  property->minimum = control.llMinValue;
  property->maximum = control.llMaxValue;
  property->step = control.llStepValue;
}

void ReadContent(const T_PROPERTY_UI_INFO& item, PropertyDescription* property) {
  switch (item.ePropertyType) {
    case ePluginProperty_CheckBox:
      property->checked = ReadFlag(static_cast<const T_PROPERTY_CHECKBOX*>(item.pContent)->bChecked);
      break;
    case ePluginProperty_LineEdit: {
      const auto& edit = *static_cast<const T_PROPERTY_LINEEDIT*>(item.pContent);
      property->text = ReadText(edit.sValue);
      property->minLength = edit.uiMinLength;
      property->maxLength = edit.uiMaxLength;
      property->inputMode = edit.eInputMode;
      property->echoMode = edit.eEncodeMode;
      break;
    }
    case ePluginProperty_ComboBox:
      ReadSelection(*static_cast<const T_PROPERTY_COMBOBOX*>(item.pContent), property);
      break;
    case ePluginProperty_Radio:
      ReadSelection(*static_cast<const T_PROPERTY_RADIO*>(item.pContent), property);
      break;
    case ePluginProperty_Slider: {
      const auto& slider = *static_cast<const T_PROPERTY_SLIDER*>(item.pContent);
      ReadRange(slider, property);
      property->pageStep = slider.llPageStepValue;
      break;
    }
    case ePluginProperty_SpinBox:
      ReadRange(*static_cast<const T_PROPERTY_SPINBOX*>(item.pContent), property);
      break;
    default:
      // An unknown kind: its content record cannot be read.
      property->hasContent = false;
      break;
  }
}

PropertyDescription DescribeProperty(const T_PROPERTY_UI_INFO& item) {
  PropertyDescription property;
  property.id = ReadText(item.sUID);
  property.caption = ReadText(item.sName);
  property.enabled = ReadFlag(item.bEnable);
  property.kind = item.ePropertyType;
  property.hasContent = item.pContent != nullptr;
  if (property.hasContent) ReadContent(item, &property);
  return property;
}

std::optional<std::vector<PropertyDescription>> DescribeProperties(const T_PROPERTY_UI_INFO* items,
                                                                   unsigned int count) {
  if ((items == nullptr && count != 0) || !PlausibleCount(count, "settings")) return std::nullopt;
  std::vector<PropertyDescription> properties;
  for (unsigned int i = 0; i < count; ++i) properties.push_back(DescribeProperty(items[i]));
  return properties;
}

std::optional<std::vector<PropertyDescription>> ReadSourceProperties(IPluginModel2& model) {
  T_PROPERTY_UI_INFO* items = nullptr;
  unsigned int count = 0;
  std::optional<std::vector<PropertyDescription>> properties;
  if (model.CreateSourcePropertyList(&items, &count)) properties = DescribeProperties(items, count);
  if (items != nullptr) model.ReleaseSourcePropertyList(&items, count);
  return properties;
}

std::optional<std::vector<ChannelKindProperties>> DescribeChannelKinds(const T_CAHNNEL_PROPERTY* kinds,
                                                                       unsigned int count) {
  if ((kinds == nullptr && count != 0) || !PlausibleCount(count, "channel kinds with settings")) {
    return std::nullopt;
  }
  std::vector<ChannelKindProperties> described;
  for (unsigned int i = 0; i < count; ++i) {
    auto properties = DescribeProperties(kinds[i].pPropertyItem, kinds[i].uiSize);
    if (!properties) return std::nullopt;
    described.push_back(ChannelKindProperties{ReadText(kinds[i].sPluginID), *properties});
  }
  return described;
}

std::vector<ConfigValue> ReadConfigRecords(const std::vector<T_PLUGIN_UI_CONFIG>& records) {
  std::vector<ConfigValue> values;
  for (const T_PLUGIN_UI_CONFIG& record : records) {
    values.push_back(ConfigValue{ReadText(record.sPluginID), ReadText(record.sValue)});
  }
  return values;
}

FilterProfileDescription DescribeFilterProfile(const T_PLUGIN_FILTER_PROFILE& profile) {
  FilterProfileDescription described;
  described.pluginId = ReadText(profile.sPluginID);
  described.language = profile.eLangType;
  described.transactionTimeout = profile.uiTransactionTimeout;
  if (profile.pPluginFilterItem != nullptr && PlausibleCount(profile.uiFilterItemSize, "filter items")) {
    for (unsigned int i = 0; i < profile.uiFilterItemSize; ++i) {
      const T_PLUGIN_FILTER_ITEM& item = profile.pPluginFilterItem[i];
      described.filterItems.push_back(FilterItemDescription{item.eFilterType, item.eExpressionType,
                                                            ReadText(item.sSource), ReadText(item.sTarget)});
    }
  }
  if (profile.pPluginTagItem != nullptr && PlausibleCount(profile.uiTagItemSize, "tag items")) {
    for (unsigned int i = 0; i < profile.uiTagItemSize; ++i) {
      const T_PLUGIN_TAG_ITEM& item = profile.pPluginTagItem[i];
      described.tagItems.push_back(TagItemDescription{ReadText(item.sName), ReadText(item.sPreTag),
                                                      ReadText(item.sPostTag), item.eTagFormat});
    }
  }
  return described;
}

std::optional<std::vector<FilterProfileDescription>> ReadFilterProfiles(IPluginModel2& model) {
  T_PLUGIN_FILTER_PROFILE* profiles = nullptr;
  unsigned int count = 0;
  std::optional<std::vector<FilterProfileDescription>> described;
  if (model.CreateFilterProfile(&profiles, &count) && (profiles != nullptr || count == 0) &&
      PlausibleCount(count, "filter profiles")) {
    described.emplace();
    for (unsigned int i = 0; i < count; ++i) described->push_back(DescribeFilterProfile(profiles[i]));
  }
  if (profiles != nullptr) model.ReleaseFilterProfile(&profiles, count);
  return described;
}

EventListDescription ReadEvents(const IPluginModel2& model, const std::string& kind) {
  EventListDescription described{kind, std::nullopt};
  const T_PLUGIN_ID id = MakePluginId(kind);
  unsigned int count = 0;
  if (!model.GetSupportEventSize(&id, &count) || !PlausibleCount(count, "events")) return described;
  std::vector<T_SUPPORT_EVENT_ID> events(count, T_SUPPORT_EVENT_ID{});
  if (count != 0 && !model.GetSupportEvent(&id, events.data(), count)) return described;
  described.events.emplace();
  for (const T_SUPPORT_EVENT_ID& event : events) described.events->push_back(event.uiEventID);
  return described;
}

std::vector<EventListDescription> ReadAllEvents(const IPluginModel2& model, const PluginDescription& plugin) {
  std::vector<EventListDescription> events;
  if (plugin.device) events.push_back(ReadEvents(model, plugin.device->pluginId));
  if (plugin.channelKinds) {
    for (const std::string& kind : *plugin.channelKinds) events.push_back(ReadEvents(model, kind));
  }
  return events;
}

}  // namespace

T_PLUGIN_ID MakePluginId(const std::string& id) {
  T_PLUGIN_ID record;
  CopyText(record.sPluginID, id);
  return record;
}

std::optional<std::vector<std::string>> ReadChannelKinds(const IPluginModel2& model) {
  unsigned int count = 0;
  if (!model.GetSupportChannelPluginIDSize(&count) || !PlausibleCount(count, "channel kinds")) {
    return std::nullopt;
  }
  std::vector<T_PLUGIN_ID> ids(count, T_PLUGIN_ID{});
  if (!model.GetSupportChannelPluginID(ids.data(), count)) return std::nullopt;
  std::vector<std::string> kinds;
  for (const T_PLUGIN_ID& id : ids) kinds.push_back(ReadText(id.sPluginID));
  return kinds;
}

std::optional<std::vector<ChannelKindProperties>> ReadChannelProperties(IPluginModel2& model) {
  T_CAHNNEL_PROPERTY* kinds = nullptr;
  unsigned int count = 0;
  std::optional<std::vector<ChannelKindProperties>> described;
  if (model.CreateChannelPropertyList(&kinds, &count)) described = DescribeChannelKinds(kinds, count);
  if (kinds != nullptr) model.ReleaseChannelPropertyList(&kinds, count);
  return described;
}

std::optional<std::vector<ConfigValue>> ReadSourceConfig(const IPluginModel2& model) {
  unsigned int count = 0;
  if (!model.GetSourceConfigListSize(&count) || !PlausibleCount(count, "source settings"))
    return std::nullopt;
  std::vector<T_PLUGIN_UI_CONFIG> records(count, T_PLUGIN_UI_CONFIG{});
  if (!model.GetSourceConfigList(records.data(), count)) return std::nullopt;
  return ReadConfigRecords(records);
}

std::optional<std::vector<ConfigValue>> ReadChannelConfig(const IPluginModel2& model,
                                                          unsigned long long channelId) {
  unsigned int count = 0;
  if (!model.GetChannelConfigListSize(channelId, &count) || !PlausibleCount(count, "channel settings")) {
    return std::nullopt;
  }
  std::vector<T_PLUGIN_UI_CONFIG> records(count, T_PLUGIN_UI_CONFIG{});
  if (!model.GetChannelConfigList(channelId, records.data(), count)) return std::nullopt;
  return ReadConfigRecords(records);
}

PluginDescription DescribePlugin(IPluginModel2& model, const std::string& path) {
  PluginDescription plugin;
  plugin.path = path;
  plugin.device = ReadDevice(model);
  plugin.category = ReadCategory(model);
  plugin.channelKinds = ReadChannelKinds(model);
  plugin.relations = ReadRelations(model);
  plugin.sourceProperties = ReadSourceProperties(model);
  plugin.channelProperties = ReadChannelProperties(model);
  plugin.sourceConfig = ReadSourceConfig(model);
  plugin.filterProfiles = ReadFilterProfiles(model);
  plugin.events = ReadAllEvents(model, plugin);
  return plugin;
}
