#pragma once

// A small model over the base with two simple property kinds, so the channel
// tree and the configuration lists can be exercised without a concrete
// model's hooks.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "MetadataModelBase/PluginModelBase.h"

namespace channel_test {

const char kTestKind[] = "TEST_CH";
const unsigned int kTestMaxChannels = 1024;

// An integer in [min, max], as plain decimal text.
class RangeProperty : public CMetadataProperty {
 public:
  RangeProperty(const std::string& id, long long min, long long max, long long value)
      : m_min(min), m_max(max), m_value(value) {
    SetPropertyID(id);
    m_ePropertyType = ePluginProperty_SpinBox;
  }
  E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override { return m_ePropertyType; }
  bool GetPropertySetting(T_METADATA_CONFIG& setting) const override {
    SetDefaultPropertySetting(setting);
    return InRange(m_value);
  }
  bool SetPropertySetting(T_METADATA_CONFIG const& setting) override {
    if (!IsPropertySettingValid(setting)) return false;
    m_value = strtoll(setting.strValue.c_str(), nullptr, 10);
    return true;
  }
  bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override {
    const char* text = setting.strValue.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = strtoll(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && InRange(value);
  }
  CMetadataProperty* Duplicate() override { return new RangeProperty(*this); }
  void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override {
    setting.strPropertyID = m_strPropertyID;
    setting.strValue = std::to_string(m_value);
  }

 private:
  bool InRange(long long value) const { return value >= m_min && value <= m_max; }
  long long m_min;
  long long m_max;
  long long m_value;
};

// Any text of at most maxLength bytes.
class TextProperty : public CMetadataProperty {
 public:
  TextProperty(const std::string& id, size_t maxLength, const std::string& text)
      : m_maxLength(maxLength), m_text(text) {
    SetPropertyID(id);
    m_ePropertyType = ePluginProperty_LineEdit;
  }
  E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override { return m_ePropertyType; }
  bool GetPropertySetting(T_METADATA_CONFIG& setting) const override {
    SetDefaultPropertySetting(setting);
    return true;
  }
  bool SetPropertySetting(T_METADATA_CONFIG const& setting) override {
    if (!IsPropertySettingValid(setting)) return false;
    m_text = setting.strValue;
    return true;
  }
  bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override {
    return setting.strValue.size() <= m_maxLength;
  }
  CMetadataProperty* Duplicate() override { return new TextProperty(*this); }
  void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override {
    setting.strPropertyID = m_strPropertyID;
    setting.strValue = m_text;
  }

 private:
  size_t m_maxLength;
  std::string m_text;
};

// Source items "TestHost" (text up to 253 bytes, "127.0.0.1") and "TestPort"
// (1..65535, 7000); channel kind "TEST_CH" (at most 1024 channels) with the
// templates "TestCH" (0..512, 0) and "TestLabel" (text up to 16, "cam").
class ChannelTestModel : public CMetadataModelBase1 {
 public:
  ChannelTestModel() {
    T_PARENT_CHILD_MAP_ITEM relation;
    relation.strPluginID = kTestKind;
    relation.uiMaxNumber = kTestMaxChannels;
    relation.uiMinNumber = 1;
    m_vParentChildMapList.push_back(relation);
    m_vSourceProperty.push_back(new TextProperty("TestHost", 253, "127.0.0.1"));
    m_vSourceProperty.push_back(new RangeProperty("TestPort", 1, 65535, 7000));
    m_mapChProperty[kTestKind].push_back(new RangeProperty("TestCH", 0, 512, 0));
    m_mapChProperty[kTestKind].push_back(new TextProperty("TestLabel", 16, "cam"));
  }
  ~ChannelTestModel() override {}

  size_t ChannelKindCount() const { return m_mapChProperty.size(); }

 protected:
  bool InitDeviceInfo() override { return true; }
  bool InitCategoryType() override { return true; }
  bool InitChannelInfo() override { return true; }
  bool InitChannelRelation() override { return true; }
  bool InitPropertyItem() override { return true; }
  bool InitialModel() override { return true; }
  bool UninitialModel() override { return true; }
  bool ConnectModel() override { return false; }
  bool DisconnectModel() override { return true; }
  bool InitFilterProfile() override { return true; }
  bool InitSupportEventList() override { return true; }
  void DistributeMetadata(const char*, int) override {}
};

inline T_PLUGIN_ID MakeID(const std::string& text) {
  T_PLUGIN_ID id;
  memset(&id, 0, sizeof(id));
  strncpy(id.sPluginID, text.c_str(), sizeof(id.sPluginID) - 1);
  return id;
}

inline T_PLUGIN_UI_CONFIG MakeRecord(const std::string& id, const std::string& value) {
  T_PLUGIN_UI_CONFIG record;
  memset(&record, 0, sizeof(record));
  strncpy(record.sPluginID, id.c_str(), sizeof(record.sPluginID) - 1);
  strncpy(record.sValue, value.c_str(), sizeof(record.sValue) - 1);
  return record;
}

}  // namespace channel_test
