// The control descriptions handed to the host for its settings dialogs, and
// how they come back.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "handed_out_list.h"
#include "list_test_model.h"
#include "live_allocations.h"

namespace {

const std::string kLongText(300, 't');

// A combo box whose stored selection the test may set to anything.
class CStaleComboBox : public CPropertyComboBox {
 public:
  void ForceSelection(const std::string& strItemID) { m_strCurrentID = strItemID; }
};

class CStaleRadio : public CPropertyRadio {
 public:
  void ForceSelection(const std::string& strItemID) { m_strCurrentID = strItemID; }
};

// A property that reports a kind its class does not have.
class CMisreportedCheckBox : public CPropertyCheckBox {
 public:
  E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override { return ePluginProperty_Slider; }
};

std::vector<T_SELECT_ITEM> Choices(std::initializer_list<std::pair<const char*, const char*>> idsAndTexts) {
  std::vector<T_SELECT_ITEM> vItems;
  for (const auto& choice : idsAndTexts) vItems.push_back(T_SELECT_ITEM{choice.first, choice.second});
  return vItems;
}

template <typename Property>
Property* Named(Property* pProperty, const std::string& strID, const std::string& strCaption) {
  pProperty->SetPropertyID(strID);
  pProperty->SetCaption(strCaption);
  return pProperty;
}

CMetadataProperty* CheckBox(const std::string& strID, bool bChecked) {
  CPropertyCheckBox* pBox = Named(new CPropertyCheckBox(), strID, "Check " + strID);
  pBox->SetChecked(bChecked);
  return pBox;
}

CMetadataProperty* SpinBox(const std::string& strID, long long llValue) {
  CPropertySpinBox* pSpin = Named(new CPropertySpinBox(), strID, "Spin " + strID);
  pSpin->SetMaximum(99);
  pSpin->SetMinimum(1);
  pSpin->SetSingleStep(3);
  pSpin->SetValue(llValue);
  return pSpin;
}

// One source item of every kind, the server classes among them.
void AddEverySourceKind(CListTestModel& model) {
  CPropertyCheckBox* pCheck = Named(new CPropertyCheckBox(), "check", "Check");
  pCheck->SetChecked(true);
  pCheck->SetEnabled(false);
  model.AddSourceProperty(pCheck);

  CPropertyLineEdit* pEdit = Named(new CPropertyLineEdit(), "edit", "Edit");
  pEdit->SetText("0815");
  pEdit->SetMaxLength(200);
  pEdit->SetMinLength(3);
  pEdit->SetInputMode(eNumberOnly);
  pEdit->SetEchoMode(ePassword);
  model.AddSourceProperty(pEdit);

  CPropertyComboBox* pCombo = Named(new CPropertyComboBox(), "combo", "Combo");
  pCombo->SetItems(Choices({{"r", "Red"}, {"g", "Green"}, {"b", "Blue"}}));
  pCombo->SetCurrentSelectedID("g");
  model.AddSourceProperty(pCombo);

  CPropertySlider* pSlider = Named(new CPropertySlider(), "slider", "Slider");
  pSlider->SetMaximum(50);
  pSlider->SetMinimum(-10);
  pSlider->SetSingleStep(2);
  pSlider->SetPageStep(10);
  pSlider->SetValue(-5);
  model.AddSourceProperty(pSlider);

  CPropertyRadio* pRadio = Named(new CPropertyRadio(), "radio", "Radio");
  pRadio->SetItems(Choices({{"on", "On"}, {"off", "Off"}}));
  pRadio->SetCurrentSelectedID("off");
  model.AddSourceProperty(pRadio);

  model.AddSourceProperty(SpinBox("spin", 42));

  CPropServerIP* pIP = Named(new CPropServerIP(), "ip", "Address");
  pIP->SetText("10.1.2.3");
  model.AddSourceProperty(pIP);

  CPropServerPort* pPort = Named(new CPropServerPort(), "port", "Port");
  pPort->SetMaximum(65535);
  pPort->SetMinimum(1);
  pPort->SetValue(8080);
  model.AddSourceProperty(pPort);
}

// Channel kinds inserted out of byte order; upper case sorts before lower.
void AddChannelKinds(CListTestModel& model) {
  model.AddChannelProperty("ID_a", CheckBox("a1", true));
  model.AddChannelProperty("ID_Z", SpinBox("z1", 7));
  model.AddChannelProperty("ID_Z", CheckBox("z2", false));
  model.AddChannelProperty("ID_M", SpinBox("m1", 8));
  model.AddChannelProperty("ID_M", CheckBox("m2", true));
  model.AddChannelProperty("ID_M", SpinBox("m3", 9));
}

template <typename Content>
const Content& ContentOf(const T_PROPERTY_UI_INFO& item) {
  return *static_cast<const Content*>(item.pContent);
}

void ExpectSpinBox(const T_PROPERTY_UI_INFO& item, long long llValue, long long llMax, long long llMin,
                   long long llStep) {
  ASSERT_EQ(ePluginProperty_SpinBox, item.ePropertyType);
  const T_PROPERTY_SPINBOX& spin = ContentOf<T_PROPERTY_SPINBOX>(item);
  EXPECT_EQ(llValue, spin.llValue);
  EXPECT_EQ(llMax, spin.llMaxValue);
  EXPECT_EQ(llMin, spin.llMinValue);
  EXPECT_EQ(llStep, spin.llStepValue);
}

class SourceListTest : public ::testing::Test {
 protected:
  void SetUp() override { AddEverySourceKind(model); }
  void TearDown() override { EXPECT_EQ(0u, model.GetHandedOutArrayCount()); }

  CListTestModel model;
  CHandedOutList<T_PROPERTY_UI_INFO> list{model, &CMetadataModelBase1::CreateSourcePropertyList,
                                          &CMetadataModelBase1::ReleaseSourcePropertyList};
};

class ChannelListTest : public ::testing::Test {
 protected:
  void SetUp() override { AddChannelKinds(model); }
  void TearDown() override { EXPECT_EQ(0u, model.GetHandedOutArrayCount()); }

  CListTestModel model;
  CHandedOutList<T_CAHNNEL_PROPERTY> list{model, &CMetadataModelBase1::CreateChannelPropertyList,
                                          &CMetadataModelBase1::ReleaseChannelPropertyList};
};

// --- This model's lists -------------------------------------------------------------

TEST(VantixPropertyLists, ServerAddressAndPortForTheSource) {
  CMetadataModelVantix model;
  T_PROPERTY_UI_INFO* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pList, &uiSize));
  ASSERT_EQ(2u, uiSize);

  EXPECT_STREQ("ModelVantixIP", pList[0].sUID);
  EXPECT_STREQ("Server IP", pList[0].sName);
  EXPECT_TRUE(pList[0].bEnable);
  ASSERT_EQ(ePluginProperty_LineEdit, pList[0].ePropertyType);
  const T_PROPERTY_LINEEDIT& address = ContentOf<T_PROPERTY_LINEEDIT>(pList[0]);
  EXPECT_EQ(253u, address.uiMaxLength);
  EXPECT_EQ(1u, address.uiMinLength);
  EXPECT_STREQ("127.0.0.1", address.sValue);
  EXPECT_EQ(eAny, address.eInputMode);
  EXPECT_EQ(eNormal, address.eEncodeMode);

  EXPECT_STREQ("ModelVantixServerPort", pList[1].sUID);
  EXPECT_STREQ("Server Port", pList[1].sName);
  EXPECT_TRUE(pList[1].bEnable);
  ExpectSpinBox(pList[1], 7000, 65535, 1, 1);

  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pList, uiSize));
  EXPECT_EQ(nullptr, pList);
}

TEST(VantixPropertyLists, CameraIdentifierForTheChannelKind) {
  CMetadataModelVantix model;
  T_CAHNNEL_PROPERTY* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateChannelPropertyList(&pList, &uiSize));
  ASSERT_EQ(1u, uiSize);
  EXPECT_STREQ("ID_VANTIX_CH", pList[0].sPluginID);
  ASSERT_EQ(1u, pList[0].uiSize);
  const T_PROPERTY_UI_INFO& item = pList[0].pPropertyItem[0];
  EXPECT_STREQ("ModelVantixCH", item.sUID);
  EXPECT_STREQ("Channel ID", item.sName);
  ExpectSpinBox(item, 0, 512, 0, 1);

  EXPECT_TRUE(model.ReleaseChannelPropertyList(&pList, uiSize));
  EXPECT_EQ(nullptr, pList);
}

// --- What each control shows -------------------------------------------------------

TEST_F(SourceListTest, EveryKindDescribedFromItsItem) {
  ASSERT_TRUE(list.Create());
  ASSERT_EQ(8u, list.uiSize);
  const T_PROPERTY_UI_INFO* pList = list.pList;

  EXPECT_STREQ("check", pList[0].sUID);
  EXPECT_STREQ("Check", pList[0].sName);
  EXPECT_FALSE(pList[0].bEnable);
  ASSERT_EQ(ePluginProperty_CheckBox, pList[0].ePropertyType);
  EXPECT_TRUE(ContentOf<T_PROPERTY_CHECKBOX>(pList[0]).bChecked);

  EXPECT_TRUE(pList[1].bEnable);
  ASSERT_EQ(ePluginProperty_LineEdit, pList[1].ePropertyType);
  const T_PROPERTY_LINEEDIT& edit = ContentOf<T_PROPERTY_LINEEDIT>(pList[1]);
  EXPECT_EQ(200u, edit.uiMaxLength);
  EXPECT_EQ(3u, edit.uiMinLength);
  EXPECT_STREQ("0815", edit.sValue);
  EXPECT_EQ(eNumberOnly, edit.eInputMode);
  EXPECT_EQ(ePassword, edit.eEncodeMode);

  ASSERT_EQ(ePluginProperty_ComboBox, pList[2].ePropertyType);
  const T_PROPERTY_COMBOBOX& combo = ContentOf<T_PROPERTY_COMBOBOX>(pList[2]);
  EXPECT_STREQ("g", combo.sValue);
  ASSERT_EQ(3u, combo.uiSelectionListSize);
  const char* const shown[] = {"Red", "Green", "Blue"};
  const char* const ids[] = {"r", "g", "b"};
  for (unsigned int i = 0; i < 3; ++i) {
    EXPECT_STREQ(shown[i], combo.pSelectionList[i].sValue) << i;
    EXPECT_STREQ(ids[i], combo.pSelectionList[i].sName) << i;
  }

  ASSERT_EQ(ePluginProperty_Slider, pList[3].ePropertyType);
  const T_PROPERTY_SLIDER& slider = ContentOf<T_PROPERTY_SLIDER>(pList[3]);
  EXPECT_EQ(-5, slider.llValue);
  EXPECT_EQ(50, slider.llMaxValue);
  EXPECT_EQ(-10, slider.llMinValue);
  EXPECT_EQ(2, slider.llStepValue);
  EXPECT_EQ(10, slider.llPageStepValue);

  ASSERT_EQ(ePluginProperty_Radio, pList[4].ePropertyType);
  const T_PROPERTY_RADIO& radio = ContentOf<T_PROPERTY_RADIO>(pList[4]);
  EXPECT_STREQ("off", radio.sValue);
  ASSERT_EQ(2u, radio.uiSelectionListSize);
  EXPECT_STREQ("On", radio.pSelectionList[0].sValue);
  EXPECT_STREQ("on", radio.pSelectionList[0].sName);
  EXPECT_STREQ("Off", radio.pSelectionList[1].sValue);
  EXPECT_STREQ("off", radio.pSelectionList[1].sName);

  ExpectSpinBox(pList[5], 42, 99, 1, 3);

  // The server classes appear as the controls they derive from.
  EXPECT_STREQ("ip", pList[6].sUID);
  ASSERT_EQ(ePluginProperty_LineEdit, pList[6].ePropertyType);
  EXPECT_STREQ("10.1.2.3", ContentOf<T_PROPERTY_LINEEDIT>(pList[6]).sValue);
  EXPECT_STREQ("port", pList[7].sUID);
  ASSERT_EQ(ePluginProperty_SpinBox, pList[7].ePropertyType);
  EXPECT_EQ(8080, ContentOf<T_PROPERTY_SPINBOX>(pList[7]).llValue);
  EXPECT_TRUE(list.Release());
}

TEST(ChoiceLists, NoChoicesAndSelectionsNotAmongThem) {
  CListTestModel model;
  CPropertyComboBox* pEmpty = Named(new CPropertyComboBox(), "empty", "Empty");
  pEmpty->SetItems(Choices({{"x", "X"}}));
  pEmpty->SetItems({});  // the old selection "x" stays stored
  model.AddSourceProperty(pEmpty);
  CStaleComboBox* pStaleCombo = Named(new CStaleComboBox(), "combo", "Combo");
  pStaleCombo->SetItems(Choices({{"a", "A"}, {"b", "B"}}));
  pStaleCombo->ForceSelection("gone");
  model.AddSourceProperty(pStaleCombo);
  CStaleRadio* pStaleRadio = Named(new CStaleRadio(), "radio", "Radio");
  pStaleRadio->SetItems(Choices({{"a", "A"}}));
  pStaleRadio->ForceSelection("gone");
  model.AddSourceProperty(pStaleRadio);

  T_PROPERTY_UI_INFO* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pList, &uiSize));
  ASSERT_EQ(3u, uiSize);
  const T_PROPERTY_COMBOBOX& empty = ContentOf<T_PROPERTY_COMBOBOX>(pList[0]);
  EXPECT_EQ(0u, empty.uiSelectionListSize);
  EXPECT_STREQ("", empty.sValue);
  const T_PROPERTY_COMBOBOX& staleCombo = ContentOf<T_PROPERTY_COMBOBOX>(pList[1]);
  EXPECT_STREQ("", staleCombo.sValue);
  EXPECT_EQ(2u, staleCombo.uiSelectionListSize);
  EXPECT_STREQ("", ContentOf<T_PROPERTY_RADIO>(pList[2]).sValue);
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pList, uiSize));
}

TEST(ControlTexts, CutToTheirFields) {
  CListTestModel model;
  CPropertyLineEdit* pEdit = Named(new CPropertyLineEdit(), std::string(80, 'u'), std::string(70, 'c'));
  pEdit->SetText(kLongText);
  model.AddSourceProperty(pEdit);
  CPropertyRadio* pRadio = Named(new CPropertyRadio(), "radio", "Radio");
  const std::string strLongID(70, 'i');
  pRadio->SetItems({T_SELECT_ITEM{strLongID, kLongText}});
  model.AddSourceProperty(pRadio);
  model.AddChannelProperty(std::string(70, 'k'), CheckBox("c", false));

  T_PROPERTY_UI_INFO* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pList, &uiSize));
  EXPECT_EQ(std::string(64, 'u'), pList[0].sUID);
  EXPECT_EQ(std::string(64, 'c'), pList[0].sName);
  EXPECT_EQ(std::string(256, 't'), ContentOf<T_PROPERTY_LINEEDIT>(pList[0]).sValue);
  const T_PROPERTY_RADIO& radio = ContentOf<T_PROPERTY_RADIO>(pList[1]);
  EXPECT_EQ(strLongID, radio.sValue);  // a 257-byte field: the whole identifier
  EXPECT_EQ(std::string(256, 't'), radio.pSelectionList[0].sValue);
  EXPECT_EQ(std::string(64, 'i'), radio.pSelectionList[0].sName);
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pList, uiSize));

  T_CAHNNEL_PROPERTY* pChannels = nullptr;
  ASSERT_TRUE(model.CreateChannelPropertyList(&pChannels, &uiSize));
  EXPECT_EQ(std::string(64, 'k'), pChannels[0].sPluginID);
  EXPECT_TRUE(model.ReleaseChannelPropertyList(&pChannels, uiSize));
}

TEST(ControlKinds, ItemNotOfTheClassOfItsKindGetsNoContent) {
  CListTestModel model;
  model.AddSourceProperty(Named(new CMisreportedCheckBox(), "odd", "Odd"));
  T_PROPERTY_UI_INFO* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pList, &uiSize));
  ASSERT_EQ(1u, uiSize);
  EXPECT_STREQ("odd", pList[0].sUID);
  EXPECT_EQ(ePluginProperty_Slider, pList[0].ePropertyType);
  EXPECT_EQ(nullptr, pList[0].pContent);
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pList, uiSize));
}

TEST(PropertyListSnapshots, IndependentAndNotFollowingLaterChanges) {
  CListTestModel model;
  CPropertyCheckBox* pCheck = Named(new CPropertyCheckBox(), "check", "Check");
  pCheck->SetChecked(true);
  model.AddSourceProperty(pCheck);
  T_PROPERTY_UI_INFO* pFirst = nullptr;
  T_PROPERTY_UI_INFO* pSecond = nullptr;
  unsigned int uiFirst = 0;
  unsigned int uiSecond = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pFirst, &uiFirst));
  pCheck->SetChecked(false);
  ASSERT_TRUE(model.CreateSourcePropertyList(&pSecond, &uiSecond));
  ASSERT_NE(pFirst, pSecond);
  EXPECT_EQ(2u, model.GetHandedOutArrayCount());
  EXPECT_TRUE(ContentOf<T_PROPERTY_CHECKBOX>(pFirst[0]).bChecked);
  EXPECT_FALSE(ContentOf<T_PROPERTY_CHECKBOX>(pSecond[0]).bChecked);

  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pFirst, uiFirst));
  EXPECT_STREQ("check", pSecond[0].sUID);
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pSecond, uiSecond));
  EXPECT_EQ(0u, model.GetHandedOutArrayCount());
}

// --- Channel kinds -------------------------------------------------------------------

TEST_F(ChannelListTest, KindsInByteOrderEachWithItsOwnItems) {
  ASSERT_TRUE(list.Create());
  ASSERT_EQ(3u, list.uiSize);
  const T_CAHNNEL_PROPERTY* pList = list.pList;
  EXPECT_STREQ("ID_M", pList[0].sPluginID);
  EXPECT_STREQ("ID_Z", pList[1].sPluginID);
  EXPECT_STREQ("ID_a", pList[2].sPluginID);

  ASSERT_EQ(3u, pList[0].uiSize);
  EXPECT_STREQ("m1", pList[0].pPropertyItem[0].sUID);
  EXPECT_EQ(8, ContentOf<T_PROPERTY_SPINBOX>(pList[0].pPropertyItem[0]).llValue);
  EXPECT_STREQ("m2", pList[0].pPropertyItem[1].sUID);
  EXPECT_TRUE(ContentOf<T_PROPERTY_CHECKBOX>(pList[0].pPropertyItem[1]).bChecked);
  EXPECT_STREQ("m3", pList[0].pPropertyItem[2].sUID);
  EXPECT_EQ(9, ContentOf<T_PROPERTY_SPINBOX>(pList[0].pPropertyItem[2]).llValue);

  ASSERT_EQ(2u, pList[1].uiSize);
  EXPECT_STREQ("z1", pList[1].pPropertyItem[0].sUID);
  EXPECT_STREQ("z2", pList[1].pPropertyItem[1].sUID);
  EXPECT_FALSE(ContentOf<T_PROPERTY_CHECKBOX>(pList[1].pPropertyItem[1]).bChecked);

  ASSERT_EQ(1u, pList[2].uiSize);
  EXPECT_STREQ("a1", pList[2].pPropertyItem[0].sUID);
  EXPECT_TRUE(list.Release());
}

// --- Taking the lists back --------------------------------------------------------

TEST_F(SourceListTest, ReleaseFreesExactlyWhatWasMade) { ExpectReleaseFreesExactlyWhatWasMade(list, {0, 3, 100}); }

TEST_F(ChannelListTest, ReleaseFreesExactlyWhatEveryKindHolds) {
  CPropertyComboBox* pCombo = Named(new CPropertyComboBox(), "combo", "Combo");
  pCombo->SetItems(Choices({{"1", "One"}, {"2", "Two"}}));
  model.AddChannelProperty("ID_M", pCombo);
  ExpectReleaseFreesExactlyWhatWasMade(list, {0, 1, 100});
}

TEST_F(SourceListTest, ForeignAndReleasedPointersAreRefusedUntouched) {
  ExpectForeignAndReleasedPointersRefused(list);
}

TEST_F(ChannelListTest, ForeignAndReleasedPointersAreRefusedUntouched) {
  ExpectForeignAndReleasedPointersRefused(list);
}

TEST(PropertyListLifetime, ListsNeverGivenBackAreFreedWithTheModel) {
  // The first model absorbs one-time allocations of the runtime.
  std::make_unique<CListTestModel>();
  const long before = vantix_test::LiveAllocations();
  {
    CListTestModel model;
    AddEverySourceKind(model);
    AddChannelKinds(model);
    T_PROPERTY_UI_INFO* pSource = nullptr;
    T_CAHNNEL_PROPERTY* pChannels = nullptr;
    unsigned int uiSize = 0;
    ASSERT_TRUE(model.CreateSourcePropertyList(&pSource, &uiSize));
    ASSERT_TRUE(model.CreateChannelPropertyList(&pChannels, &uiSize));
    EXPECT_EQ(2u, model.GetHandedOutArrayCount());
  }
  EXPECT_TRUE(vantix_test::LiveAllocationsAre(before));
}

TEST(PropertyListArguments, EmptyModelAndNullPointers) {
  CListTestModel model;
  T_PROPERTY_UI_INFO* pSource = nullptr;
  T_CAHNNEL_PROPERTY* pChannels = nullptr;
  unsigned int uiSize = 5;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pSource, &uiSize));
  EXPECT_EQ(0u, uiSize);
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pSource, uiSize));
  EXPECT_EQ(nullptr, pSource);
  uiSize = 5;
  ASSERT_TRUE(model.CreateChannelPropertyList(&pChannels, &uiSize));
  EXPECT_EQ(0u, uiSize);
  EXPECT_TRUE(model.ReleaseChannelPropertyList(&pChannels, uiSize));
  EXPECT_EQ(nullptr, pChannels);

  EXPECT_FALSE(model.CreateSourcePropertyList(nullptr, &uiSize));
  EXPECT_FALSE(model.CreateSourcePropertyList(&pSource, nullptr));
  EXPECT_FALSE(model.CreateChannelPropertyList(nullptr, &uiSize));
  EXPECT_FALSE(model.CreateChannelPropertyList(&pChannels, nullptr));
  EXPECT_EQ(0u, model.GetHandedOutArrayCount());
}

}  // namespace
