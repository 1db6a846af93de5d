// What a model declares: its property items (the values each accepts, stores and encodes), and the
// control descriptions and filter profiles made of them for the host.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <tuple>

#include "support/scripted_model.h"

using namespace vantix_test;
typedef std::shared_ptr<CMetadataProperty> Item;
typedef std::vector<long long> Numbers;

namespace {

T_METADATA_CONFIG Pair(const std::string& strValue) { return T_METADATA_CONFIG{"P", strValue}; }

std::vector<T_SELECT_ITEM> Items(const std::vector<std::string>& vIDs) {
  std::vector<T_SELECT_ITEM> vItems;
  for (const std::string& strID : vIDs) vItems.push_back(T_SELECT_ITEM{strID, "Text" + strID});
  return vItems;
}

// A fresh item, set up further. Fresh items keep their constructors' limits: a line edit
// up to 128 bytes, a slider 0 to 100, a spin box 100 to 1000.
template <typename Kind>
Item Made(void (*setup)(Kind&) = nullptr) {
  Kind* pItem = NewItem<Kind>("P");
  if (setup != nullptr) setup(*pItem);
  return Item(pItem);
}
template <typename Kind>
Item Wide() {
  return Item(NewRange<Kind>("P", -(1LL << 40), 1LL << 40, 0));
}

TEST(PropertyItemTest, EachKindAcceptsExactlyItsValues) {
  typedef std::vector<std::string> Texts;
  const std::tuple<Item, Texts, Texts> cases[] = {
      {Made<CPropertyCheckBox>(), {"true", "false"}, {"TRUE", "1"}},
      {Made<CPropertyLineEdit>(), {std::string(128, 'x'), "a -b"}, {std::string(129, 'x')}},
      {Made<CPropertyLineEdit>([](CPropertyLineEdit& p) { p.SetInputMode(eNumberOnly); }),
       {"", "0123456789"},
       {"-5", "1.5", "\xb9"}},
      {Made<CPropServerHost>([](CPropServerHost& p) { p.SetMaxLength(10); }),
       {"", "0123456789"},
       {"01234567890"}},
      {Made<CPropServerIP>(),
       {"localhost", "LOCALHOST", "Localhost", "0.0.0.0", "255.255.255.255", " 1.2.3.4xyz"},
       {"LocalHost", "256.1.1.1", "1.2.3.256", "1.2.3", "-1.2.3.4", "1..2.3",
        "1.2.3.4" + std::string(122, ' ')}},
      {Made<CPropertyComboBox>([](CPropertyComboBox& p) {
         p.SetItems(Items({"Low", "High"}));
       }),
       {"High"},
       {"high", "TextLow", ""}},
      {Made<CPropertySlider>(), {"0", "100", "abc"}, {"101"}},
      {Made<CPropertySpinBox>(), {"100", "1000"}, {"99", "1001"}},
      {Wide<CPropertySpinBox>(),
       {"2147483647", "-2147483648", "  -3 apples"},
       {"2147483648", "-2147483649", "abc", "", "+-3"}},
      {Wide<CPropServerPort>(), {"1", "65535", " 80", "+443", "8080tail"}, {"0", "65536", "abc"}},
  };
  // Setting a value validates it first, so its result is the validation's.
  for (const auto& item : cases) {
    for (const std::string& strValue : std::get<1>(item))
      EXPECT_TRUE(std::get<0>(item)->SetPropertySetting(Pair(strValue))) << "'" << strValue << "'";
    for (const std::string& strValue : std::get<2>(item))
      EXPECT_FALSE(std::get<0>(item)->SetPropertySetting(Pair(strValue))) << "'" << strValue << "'";
  }
}

TEST(PropertyItemTest, NumbersAreStoredAsAtoiReadsThemClampedTo32Bits) {
  const std::pair<std::string, long long> cases[] = {
      {" \t\n\v\f\r-12x", -12},
      {"+7.9", 7},
      {"--5", 0},
      {"abc", 0},
      {"99999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
      {"4294967297", INT32_MAX},
  };
  const Item pSlider = Wide<CPropertySlider>();
  for (const auto& test : cases) {
    T_METADATA_CONFIG stored;
    EXPECT_TRUE(pSlider->SetPropertySetting(Pair(test.first)) && pSlider->GetPropertySetting(stored));
    EXPECT_EQ(std::to_string(test.second), stored.strValue) << test.first;
  }
}

// A selection that names none of the choices: any change but an emptied list
// selects a choice.
template <typename Selection>
void MakeStale(Selection& item) {
  item.SetItems(Items({"a", "b"}));
  item.SetCurrentSelectedID("b");
  item.SetItems({});
}

TEST(PropertyItemTest, CurrentValueAsTextAndWhatAValueOutsideTheLimitsGives) {
  const std::tuple<Item, bool, std::string> cases[] = {
      {Made<CPropertySpinBox>(), false, "0"},
      {Made<CPropertyLineEdit>([](CPropertyLineEdit& p) {
         p.SetMaxLength(3);
         p.SetText("abc");
       }),
       true, "abc"},
      {Made<CPropertyLineEdit>([](CPropertyLineEdit& p) {
         p.SetMaxLength(2);
         p.SetText("abc");
       }),
       false, "old"},
      {Made<CPropertyCheckBox>([](CPropertyCheckBox& p) { p.SetPropertySetting(Pair("true")); }), true,
       "true"},
      {Made<CPropertyComboBox>(MakeStale<CPropertyComboBox>), false, "0"},
      {Made<CPropertyRadio>(MakeStale<CPropertyRadio>), false, ""},
  };
  for (const auto& test : cases) {
    T_METADATA_CONFIG encoded{"old", "old"};
    EXPECT_EQ(std::get<1>(test), std::get<0>(test)->GetPropertySetting(encoded)) << std::get<2>(test);
    EXPECT_EQ("P=" + std::get<2>(test), encoded.strPropertyID + "=" + encoded.strValue);
  }
}

TEST(PropertyItemTest, ChoicesAndSelectionsOfComboBoxesAndRadioGroups) {
  CPropertyComboBox combo;
  CPropertyRadio radio;
  EXPECT_FALSE(combo.SetCurrentSelectedID("a") || radio.SetCurrentSelectedID("a")) << "no choices";
  ASSERT_TRUE(combo.SetItems(Items({"a", "b", "c"})) && radio.SetItems(Items({"a", "b", "c"})));
  EXPECT_EQ("a", radio.GetCurrentSelectedID()) << "a new list selects its first choice";
  EXPECT_TRUE(combo.SetCurrentSelectedID("c") && radio.SetCurrentSelectedID("c"));
  EXPECT_EQ("c", combo.GetCurrentSelectedID());
  EXPECT_FALSE(combo.SetCurrentSelectedID("zz") || radio.SetCurrentSelectedID("zz"));
  EXPECT_EQ("a", combo.GetCurrentSelectedID()) << "an unknown choice selects the first";
  EXPECT_EQ("c", radio.GetCurrentSelectedID()) << "an unknown choice changes nothing";
  EXPECT_FALSE(radio.SetItems(Items({"x", "y", "x"})));
  std::vector<T_SELECT_ITEM> vItems;
  EXPECT_TRUE(radio.GetItems(vItems) && vItems.size() == 3);
  EXPECT_EQ("c", radio.GetCurrentSelectedID());
}

template <typename Content>
const Content& ContentOf(const T_PROPERTY_UI_INFO& item) {
  return *static_cast<const Content*>(item.pContent);
}

// A combo box's or radio group's selection and choices: "selection: shown=identifier ...".
template <typename Choices>
std::string ChoicesOf(const T_PROPERTY_UI_INFO& item) {
  const Choices& choices = ContentOf<Choices>(item);
  std::string strText = std::string(choices.sValue) + ":";
  for (unsigned int i = 0; i < choices.uiSelectionListSize; ++i) {
    strText += std::string(" ") + choices.pSelectionList[i].sValue + "=" + choices.pSelectionList[i].sName;
  }
  return strText;
}

TEST(HostListsTest, EachItemIsDescribedAsTheControlOfItsKind) {
  ScriptedModel model;
  CPropertyCheckBox* pCheck = NewItem<CPropertyCheckBox>("check");
  pCheck->SetCaption("Check");
  pCheck->SetChecked(true);
  pCheck->SetEnabled(false);
  CPropertyLineEdit* pEdit = NewItem<CPropertyLineEdit>("edit");
  pEdit->SetText("0815");
  CPropertyComboBox* pCombo = NewItem<CPropertyComboBox>("combo");
  pCombo->SetItems(Items({"r", "g"}));
  pCombo->SetCurrentSelectedID("g");
  CPropertyRadio* pRadio = NewItem<CPropertyRadio>("radio");
  pRadio->SetItems(Items({"on", "off"}));
  // The line edit keeps its constructor's limits; sliders and spin boxes are described to the host
  // in the tools' and the plug-in's own tests.
  model.m_vSourceProperty = {pCheck, pEdit, pCombo, pRadio};
  T_PROPERTY_UI_INFO* pList = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateSourcePropertyList(&pList, &uiSize));
  ASSERT_EQ(4u, uiSize);
  const T_PROPERTY_LINEEDIT& edit = ContentOf<T_PROPERTY_LINEEDIT>(pList[1]);
  EXPECT_EQ("check/Check edit/0815",
            std::string(pList[0].sUID) + "/" + pList[0].sName + " " + pList[1].sUID + "/" + edit.sValue);
  EXPECT_TRUE(!pList[0].bEnable && pList[1].bEnable && ContentOf<T_PROPERTY_CHECKBOX>(pList[0]).bChecked);
  // The kinds as their enumeration numbers them, then the line edit's fields.
  EXPECT_EQ(
      (Numbers{0, 1, 2, 4, 128, 1, eAny, eNormal}),
      (Numbers{pList[0].ePropertyType, pList[1].ePropertyType, pList[2].ePropertyType, pList[3].ePropertyType,
               edit.uiMaxLength, edit.uiMinLength, edit.eInputMode, edit.eEncodeMode}));
  EXPECT_EQ("g: Textr=r Textg=g", ChoicesOf<T_PROPERTY_COMBOBOX>(pList[2]));
  EXPECT_EQ("on: Texton=on Textoff=off", ChoicesOf<T_PROPERTY_RADIO>(pList[3]));
  EXPECT_TRUE(model.ReleaseSourcePropertyList(&pList, uiSize));
  EXPECT_EQ(nullptr, pList);
}

TEST(HostListsTest, FilterProfilesWithTheirItemsAndTags) {
  ScriptedModel model;
  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiSize = 7;
  EXPECT_FALSE(model.CreateFilterProfile(&pProfiles, &uiSize)) << "nothing declared";
  EXPECT_EQ(0u, uiSize);
  model.m_vFilterProfile = {
      {"ID_TEST_CH",
       eLang_BIG5,
       25,
       {{eFTypeReplace, eETypeRE, "from", "to"}, {eFTypeOmit, eETypeWildCard, "*x*", "y"}},
       {{"plate", "<plate>", "</plate>", eTagFormatNum}}},
      {"ID_BARE", eLang_UTF8, 10, {}, {}}};
  ASSERT_TRUE(model.CreateFilterProfile(&pProfiles, &uiSize));
  ASSERT_EQ(2u, uiSize);
  const T_PLUGIN_FILTER_PROFILE& full = pProfiles[0];
  const T_PLUGIN_FILTER_PROFILE& bare = pProfiles[1];
  const T_PLUGIN_FILTER_ITEM* pItems = full.pPluginFilterItem;
  const T_PLUGIN_TAG_ITEM& tag = full.pPluginTagItem[0];
  EXPECT_EQ((Numbers{eLang_BIG5, 25, 2, 1, eFTypeOmit, eTagFormatNum, eLang_UTF8, 10, 0, 0}),
            (Numbers{full.eLangType, full.uiTransactionTimeout, full.uiFilterItemSize, full.uiTagItemSize,
                     pItems[1].eFilterType, tag.eTagFormat, bare.eLangType, bare.uiTransactionTimeout,
                     bare.uiFilterItemSize, bare.uiTagItemSize}));
  EXPECT_EQ("ID_TEST_CH from to *x* y plate <plate> </plate> ID_BARE",
            std::string(full.sPluginID) + " " + pItems[0].sSource + " " + pItems[0].sTarget + " " +
                pItems[1].sSource + " " + pItems[1].sTarget + " " + tag.sName + " " + tag.sPreTag + " " +
                tag.sPostTag + " " + bare.sPluginID);
  EXPECT_TRUE(model.ReleaseFilterProfile(&pProfiles, uiSize));
  EXPECT_EQ(nullptr, pProfiles);
}

}  // namespace
