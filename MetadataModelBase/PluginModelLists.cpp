// The control descriptions, filter profiles and event lists handed to the
// host. Every array handed out stays the model's: it is remembered until the
// host gives it back and freed then, or with the model.

#include <string>
#include <vector>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelBase/PluginModelBase.h"

namespace {

// Makes a zero-filled array of one record per entry of `list`, fills record i
// with fill(list[i], record) and stores it with its size in the record that
// carries it.
template <typename List, typename Record, typename Fill>
void MakeNestedArray(const List& list, Record*& pArray, unsigned int& uiSize, Fill fill) {
  pArray = new Record[list.size()]();
  uiSize = static_cast<unsigned int>(list.size());
  for (size_t i = 0; i < list.size(); ++i) fill(list[i], pArray[i]);
}

// Makes the content record of `item` and fills it from the property viewed
// as the class of its kind. A property whose class does not match the kind
// it reports gets no content.
template <typename Content, typename Property, typename Fill>
bool MakeContent(T_PROPERTY_UI_INFO& item, CMetadataProperty* pProperty, Fill fill) {
  Property* pTyped = dynamic_cast<Property*>(pProperty);
  if (pTyped == nullptr) return false;
  Content* pContent = new Content();
  item.pContent = pContent;
  fill(*pTyped, *pContent);
  return true;
}

// Combo boxes and radio groups: the current selection (empty when it is not
// among the choices) and one entry per choice, in the property's order.
template <typename Choices, typename Property>
void FillChoices(Property& property, Choices& content) {
  CopyText(content.sValue, property.GetCurrentSelectedID());
  std::vector<T_SELECT_ITEM> vItems;
  property.GetItems(vItems);
  MakeNestedArray(vItems, content.pSelectionList, content.uiSelectionListSize,
                  [](const T_SELECT_ITEM& item, T_SELECTION_LIST& record) {
                    CopyText(record.sValue, item.strText);
                    CopyText(record.sName, item.strItemID);
                  });
}

// Sliders and spin boxes: the value with its range and single step, which
// both content records start with.
template <typename Range>
void FillRange(const CPropertyRangeBase& property, Range& content) {
  content.llValue = property.GetValue();
  content.llMaxValue = property.GetMaximum();
  content.llMinValue = property.GetMinimum();
  content.llStepValue = property.GetSingleStep();
}

void FillFilterProfile(const T_CHANNEL_PROFILE& profile, T_PLUGIN_FILTER_PROFILE& out) {
  CopyText(out.sPluginID, profile.strChPluginID);
  out.eLangType = profile.eLangType;
  out.uiTransactionTimeout = profile.uiTransactionTimeout;
  if (!profile.vFilterItem.empty()) {
    MakeNestedArray(profile.vFilterItem, out.pPluginFilterItem, out.uiFilterItemSize,
                    [](const T_FILTER_ITEM& item, T_PLUGIN_FILTER_ITEM& record) {
                      record.eFilterType = item.eFilterType;
                      record.eExpressionType = item.eExpressionType;
                      CopyText(record.sSource, item.strSource);
                      CopyText(record.sTarget, item.strTarget);
                    });
  }
  if (!profile.vTagItem.empty()) {
    MakeNestedArray(profile.vTagItem, out.pPluginTagItem, out.uiTagItemSize,
                    [](const T_TAG_ITEM& item, T_PLUGIN_TAG_ITEM& record) {
                      CopyText(record.sName, item.strName);
                      CopyText(record.sPreTag, item.strPreTag);
                      CopyText(record.sPostTag, item.strPostTag);
                      record.eTagFormat = item.eTagFormat;
                    });
  }
}

}  // namespace

// --- Control descriptions ------------------------------------------------------

bool CMetadataModelBase1::GenerateControlItem(T_PROPERTY_UI_INFO* pItem, CMetadataProperty* pProperty) {
  CopyText(pItem->sUID, pProperty->GetPropertyID());
  CopyText(pItem->sName, pProperty->GetCaption());
  pItem->bEnable = pProperty->IsEnabled();
  pItem->pContent = nullptr;
  // The kind is set before any content exists, so a record is always freed
  // as the kind it holds.
  pItem->ePropertyType = pProperty->GetPropertyType();
  switch (pItem->ePropertyType) {
    case ePluginProperty_CheckBox:
      return MakeContent<T_PROPERTY_CHECKBOX, CPropertyCheckBox>(
          *pItem, pProperty, [](CPropertyCheckBox& property, T_PROPERTY_CHECKBOX& content) {
            content.bChecked = property.IsChecked();
          });
    case ePluginProperty_LineEdit:
      return MakeContent<T_PROPERTY_LINEEDIT, CPropertyLineEdit>(
          *pItem, pProperty, [](CPropertyLineEdit& property, T_PROPERTY_LINEEDIT& content) {
            content.uiMaxLength = property.GetMaxLength();
            content.uiMinLength = property.GetMinLength();
            CopyText(content.sValue, property.GetText());
            content.eInputMode = property.GetInputMode();
            content.eEncodeMode = property.GetEchoMode();
          });
    case ePluginProperty_ComboBox:
      return MakeContent<T_PROPERTY_COMBOBOX, CPropertyComboBox>(
          *pItem, pProperty, FillChoices<T_PROPERTY_COMBOBOX, CPropertyComboBox>);
    case ePluginProperty_Slider:
      return MakeContent<T_PROPERTY_SLIDER, CPropertySlider>(
          *pItem, pProperty, [](CPropertySlider& property, T_PROPERTY_SLIDER& content) {
            FillRange(property, content);
            content.llPageStepValue = property.GetPageStep();
          });
    case ePluginProperty_Radio:
      return MakeContent<T_PROPERTY_RADIO, CPropertyRadio>(*pItem, pProperty,
                                                           FillChoices<T_PROPERTY_RADIO, CPropertyRadio>);
    case ePluginProperty_SpinBox:
      return MakeContent<T_PROPERTY_SPINBOX, CPropertySpinBox>(*pItem, pProperty,
                                                               FillRange<T_PROPERTY_SPINBOX>);
    case ePluginProperty_None: break;
  }
  return false;
}

void CMetadataModelBase1::GenerateControlItems(T_PROPERTY_UI_INFO* pItems,
                                               const std::vector<CMetadataProperty*>& vProperties) {
  for (size_t i = 0; i < vProperties.size(); ++i) GenerateControlItem(&pItems[i], vProperties[i]);
}

bool CMetadataModelBase1::CreateSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyItem,
                                                   unsigned int* puiSize) {
  if (ppPropertyItem == nullptr || puiSize == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const unsigned int uiCount = static_cast<unsigned int>(m_vSourceProperty.size());
  auto list = CHandedOutArrays<T_PROPERTY_UI_INFO>::Make(uiCount);
  GenerateControlItems(list.get(), m_vSourceProperty);
  *ppPropertyItem = m_SourcePropertyLists.HandOut(std::move(list));
  *puiSize = uiCount;
  return true;
}

bool CMetadataModelBase1::ReleaseSourcePropertyList(T_PROPERTY_UI_INFO** ppPropertyList,
                                                    unsigned int uiSize) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  return m_SourcePropertyLists.TakeBack(ppPropertyList, uiSize);
}

bool CMetadataModelBase1::CreateChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyItem,
                                                    unsigned int* puiSize) {
  if (ppChannelPropertyItem == nullptr || puiSize == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const unsigned int uiCount = static_cast<unsigned int>(m_mapChProperty.size());
  auto list = CHandedOutArrays<T_CAHNNEL_PROPERTY>::Make(uiCount);
  unsigned int i = 0;
  for (const auto& kind : m_mapChProperty) {
    T_CAHNNEL_PROPERTY& channel = list[i++];
    CopyText(channel.sPluginID, kind.first);
    MakeNestedArray(kind.second, channel.pPropertyItem, channel.uiSize,
                    [this](CMetadataProperty* pProperty, T_PROPERTY_UI_INFO& item) {
                      GenerateControlItem(&item, pProperty);
                    });
  }
  *ppChannelPropertyItem = m_ChannelPropertyLists.HandOut(std::move(list));
  *puiSize = uiCount;
  return true;
}

bool CMetadataModelBase1::ReleaseChannelPropertyList(T_CAHNNEL_PROPERTY** ppChannelPropertyList,
                                                     unsigned int uiSize) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  return m_ChannelPropertyLists.TakeBack(ppChannelPropertyList, uiSize);
}

// --- Filter profiles -------------------------------------------------------------

bool CMetadataModelBase1::CreateFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile,
                                              unsigned int* puiSize) {
  if (ppFilterProfile == nullptr || puiSize == nullptr) return false;
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  const unsigned int uiCount = static_cast<unsigned int>(m_vFilterProfile.size());
  *puiSize = uiCount;
  *ppFilterProfile = nullptr;
  if (uiCount == 0) return false;
  auto profiles = CHandedOutArrays<T_PLUGIN_FILTER_PROFILE>::Make(uiCount);
  for (unsigned int i = 0; i < uiCount; ++i) FillFilterProfile(m_vFilterProfile[i], profiles[i]);
  *ppFilterProfile = m_FilterProfileSets.HandOut(std::move(profiles));
  return true;
}

bool CMetadataModelBase1::ReleaseFilterProfile(T_PLUGIN_FILTER_PROFILE** ppFilterProfile,
                                               unsigned int uiSize) {
  SysUtils::CriticalSectionLock lock(&m_csSetting);
  return m_FilterProfileSets.TakeBack(ppFilterProfile, uiSize);
}

// --- Supported events --------------------------------------------------------------

const T_SUPPORT_EVENT* CMetadataModelBase1::FindSupportEvent(const T_PLUGIN_ID* pPluginID) const {
  const std::string strPluginID = ReadText(pPluginID->sPluginID);
  for (const T_SUPPORT_EVENT& event : m_vSupportEvent) {
    if (event.strPluginID == strPluginID) return &event;
  }
  return nullptr;
}

bool CMetadataModelBase1::GetSupportEventSize(const T_PLUGIN_ID* pPluginID, unsigned int* puiSize) const {
  if (pPluginID == nullptr || puiSize == nullptr) return false;
  *puiSize = 0;
  const T_SUPPORT_EVENT* pEvent = FindSupportEvent(pPluginID);
  if (pEvent == nullptr) return false;
  *puiSize = static_cast<unsigned int>(pEvent->vEventID.size());
  return true;
}

bool CMetadataModelBase1::GetSupportEvent(const T_PLUGIN_ID* pPluginID, T_SUPPORT_EVENT_ID* puiEventList,
                                          unsigned int uiSize) const {
  if (pPluginID == nullptr || puiEventList == nullptr) return false;
  const T_SUPPORT_EVENT* pEvent = FindSupportEvent(pPluginID);
  if (pEvent == nullptr) return false;
  CopyToHostArray(pEvent->vEventID, puiEventList, uiSize,
                  [](unsigned int uiEventID, T_SUPPORT_EVENT_ID& out) { out.uiEventID = uiEventID; });
  return true;
}
