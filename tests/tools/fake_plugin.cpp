// A plug-in for mdhost's tests made of the product's model base: a setting of
// every control kind, texts that need escaping, a child channel kind, a filter
// profile with a rule and a tag, and a connection that needs no server. Its
// release fails while a list it handed out has not come back.

#include "tests/support/scripted_model.h"

namespace {

template <typename Property>
Property* Named(const char* id, Property* property) {
  property->SetPropertyID(id);
  property->SetCaption(id + 4);  // without "Fake"
  return property;
}

class FakeModel : public vantix_test::ScriptedModel {
 public:
  FakeModel() {
    CopyText(m_DeviceInfo.sPluginID, "FAKE_DEVICE");
    CopyText(m_DeviceInfo.sPluginName, "Fake \"quoted\" \\ name");
    CopyText(m_DeviceInfo.sPluginInfo, "tab\there\x01 and \xE9 latin");
    m_eCategory = static_cast<E_PLUGIN_CATEGORY>(eMETADATA_CATEGORY_POS | eMETADATA_CATEGORY_IVS);
    m_vChannelInfo = {{"FAKE_CH"}, {"FAKE_SUB"}};
    m_vParentChildMapList = {{"FAKE_CH", "Camera", "", 4, 0, {"FAKE_SUB"}},
                             {"FAKE_SUB", "Zone", "", 2, 0, {}}};
    m_vFilterProfile = {{"FAKE_CH",
                         eLang_ISO_8859_1,
                         30,
                         {{eFTypeReplace, eETypeLiteral, "cam=", "camera "}},
                         {{"label", "label=", "\r\n", eTagFormatText}}}};
    m_vSupportEvent = {{"FAKE_DEVICE", {3600, 3601, 4000}}, {"FAKE_CH", {}}};
    auto* mode = Named("FakeMode", new CPropertyComboBox());
    mode->SetItems({{"fast", "Fast mode"}, {"slow", "Slow mode"}});
    auto* level = Named("FakeLevel", new CPropertySlider());
    level->SetValue(3);
    level->SetPageStep(5);
    auto* side = Named("FakeSide", new CPropertyRadio());
    side->SetItems({{"left", "Left"}, {"right", "Right"}});
    m_vSourceProperty = {Named("FakeHost", new CPropertyLineEdit()),
                         Named("FakePort", new CPropServerPort()),
                         mode,
                         level,
                         side,
                         Named("FakeVerbose", new CPropertyCheckBox())};
    m_mapChProperty["FAKE_CH"] = {Named("FakeCamera", new CPropertyLineEdit())};
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) IPluginModel1* CreatePluginModel() {
  return new FakeModel();
}

extern "C" __attribute__((visibility("default"))) bool ReleasePluginModel(IPluginModel1* model) {
  auto* fake = static_cast<FakeModel*>(static_cast<IPluginModel2*>(model));
  const bool allBack = CModelTestDoor::HandedOutArrays(*fake) == 0;
  delete fake;
  return allBack;
}
