#pragma once

// A model over the base with scripted hooks and declared items of its own,
// so the channel tree and the configuration lists can be exercised without a
// concrete model's connection.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MetadataModelBase/PluginModelBase.h"
#include "support/scripted_model.h"

namespace channel_test {

const char kTestKind[] = "TEST_CH";
const unsigned int kTestMaxChannels = 1024;

// Declares the same source items and channel template as the concrete model
// ("ModelVantixIP", "ModelVantixServerPort"; "ModelVantixCH"), under a kind
// of its own that holds one more template, "TestLabel" (text of at most 16
// bytes, "cam"), so the order of templates shows.
class ChannelTestModel : public vantix_test::ScriptedModel {
 public:
  ChannelTestModel() {
    DeclareRelation(kTestKind, kTestMaxChannels);
    m_vSourceProperty.push_back(NewText<CPropServerHost>("ModelVantixIP", 253, "127.0.0.1"));
    m_vSourceProperty.push_back(NewRange<CPropServerPort>("ModelVantixServerPort", 1, 65535, 7000));
    m_mapChProperty[kTestKind].push_back(NewRange<CPropertySpinBox>("ModelVantixCH", 0, 512, 0));
    m_mapChProperty[kTestKind].push_back(NewText<CPropertyLineEdit>("TestLabel", 16, "cam"));
  }

  size_t ChannelKindCount() const { return m_mapChProperty.size(); }
  // The channel's stored list, exactly as kept (no host record in between).
  std::vector<T_METADATA_CONFIG> StoredConfigOfDeviceChannel(size_t uiPos) const {
    return m_vChannels.at(uiPos).ChannelConfig();
  }
  // One more channel kind with a single template "Any" (text of any length
  // up to 300 bytes); only before the model is shared with other threads.
  void DeclareKind(const std::string& kind, unsigned int maxChannels) {
    DeclareRelation(kind, maxChannels);
    m_mapChProperty[kind].push_back(NewText<CPropertyLineEdit>("Any", 300, "default"));
  }
  // Bypasses validation, as only the model's own code can.
  void SetHostTextDirectly(const std::string& text) {
    static_cast<CPropServerHost*>(m_vSourceProperty[0])->SetText(text);
  }

 private:
  void DeclareRelation(const std::string& kind, unsigned int maxChannels) {
    T_PARENT_CHILD_MAP_ITEM relation;
    relation.strPluginID = kind;
    relation.uiMaxNumber = maxChannels;
    relation.uiMinNumber = 0;
    m_vParentChildMapList.push_back(relation);
  }
  template <typename LineEdit>
  static LineEdit* NewText(const std::string& id, unsigned int maxLength, const std::string& text) {
    LineEdit* pItem = new LineEdit();
    pItem->SetPropertyID(id);
    pItem->SetMaxLength(maxLength);
    pItem->SetText(text);
    return pItem;
  }
  template <typename SpinBox>
  static SpinBox* NewRange(const std::string& id, long long minimum, long long maximum, long long value) {
    SpinBox* pItem = new SpinBox();
    pItem->SetPropertyID(id);
    pItem->SetMinimum(minimum);
    pItem->SetMaximum(maximum);
    pItem->SetValue(value);
    return pItem;
  }
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

// The host's way to read a channel's list: ask the size, then fetch as many.
inline std::vector<T_PLUGIN_UI_CONFIG> ReadChannelList(IPluginModel1& model, unsigned long long id) {
  unsigned int size = 0;
  EXPECT_TRUE(model.GetChannelConfigListSize(id, &size));
  std::vector<T_PLUGIN_UI_CONFIG> records(size);
  EXPECT_TRUE(model.GetChannelConfigList(id, records.data(), size));
  return records;
}

}  // namespace channel_test
