#include "MetadataModelBase/HandedOutArrays.h"

namespace {

// Combo boxes and radio groups share their layout; the selection list goes
// before the content record that points to it.
template <typename Choices>
void FreeChoices(void* pContent) {
  Choices* pChoices = static_cast<Choices*>(pContent);
  delete[] pChoices->pSelectionList;
  delete pChoices;
}

}  // namespace

void FreeRecordContent(T_PROPERTY_UI_INFO& item) {
  void* pContent = item.pContent;
  item.pContent = nullptr;
  if (pContent == nullptr) return;
  switch (item.ePropertyType) {
    case ePluginProperty_CheckBox: delete static_cast<T_PROPERTY_CHECKBOX*>(pContent); break;
    case ePluginProperty_LineEdit: delete static_cast<T_PROPERTY_LINEEDIT*>(pContent); break;
    case ePluginProperty_ComboBox: FreeChoices<T_PROPERTY_COMBOBOX>(pContent); break;
    case ePluginProperty_Slider: delete static_cast<T_PROPERTY_SLIDER*>(pContent); break;
    case ePluginProperty_Radio: FreeChoices<T_PROPERTY_RADIO>(pContent); break;
    case ePluginProperty_SpinBox: delete static_cast<T_PROPERTY_SPINBOX*>(pContent); break;
    case ePluginProperty_None:
      // No content is ever made for a kind without a control record.
      break;
  }
}

void FreeRecordContent(T_CAHNNEL_PROPERTY& channel) {
  if (channel.pPropertyItem == nullptr) return;
  for (unsigned int i = 0; i < channel.uiSize; ++i) FreeRecordContent(channel.pPropertyItem[i]);
  delete[] channel.pPropertyItem;
  channel.pPropertyItem = nullptr;
}

void FreeRecordContent(T_PLUGIN_FILTER_PROFILE& profile) {
  delete[] profile.pPluginFilterItem;
  profile.pPluginFilterItem = nullptr;
  delete[] profile.pPluginTagItem;
  profile.pPluginTagItem = nullptr;
}
