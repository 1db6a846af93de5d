#include "MetadataModelBase/MetadataProperty.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

T_METADATA_CONFIG Pair(const std::string& strValue) {
  T_METADATA_CONFIG setting;
  setting.strPropertyID = "Prop";
  setting.strValue = strValue;
  return setting;
}

bool Accepts(const CMetadataProperty& property, const std::string& strValue) {
  return property.IsPropertySettingValid(Pair(strValue));
}

std::vector<T_SELECT_ITEM> Items(const std::vector<std::string>& vIDs) {
  std::vector<T_SELECT_ITEM> vItems;
  for (const std::string& strID : vIDs) vItems.push_back(T_SELECT_ITEM{strID, "text of " + strID});
  return vItems;
}

// --- Encoding of fresh and configured items ------------------------------------

TEST(PropertyEncoding, FreshSpinBoxIsBelowItsRange) {
  CPropertySpinBox spin;
  spin.SetPropertyID("Spin");
  T_METADATA_CONFIG setting = Pair("untouched");
  EXPECT_FALSE(spin.GetPropertySetting(setting));
  EXPECT_EQ("Spin", setting.strPropertyID);
  EXPECT_EQ("0", setting.strValue);

  T_METADATA_CONFIG defaults = Pair("untouched");
  spin.SetDefaultPropertySetting(defaults);
  EXPECT_EQ("Prop", defaults.strPropertyID);
  EXPECT_EQ("0", defaults.strValue);
}

TEST(PropertyEncoding, RangedValuesAsDecimalText) {
  CPropertySlider slider;
  slider.SetMinimum(-10);
  slider.SetValue(-7);
  T_METADATA_CONFIG setting;
  EXPECT_TRUE(slider.GetPropertySetting(setting));
  EXPECT_EQ("-7", setting.strValue);

  // Out of range: the preset "0" from GetPropertySetting, the raw value from
  // SetDefaultPropertySetting.
  slider.SetValue(101);
  EXPECT_FALSE(slider.GetPropertySetting(setting));
  EXPECT_EQ("0", setting.strValue);
  slider.SetDefaultPropertySetting(setting);
  EXPECT_EQ("101", setting.strValue);
}

TEST(PropertyEncoding, OverlongLineEditKeepsPreviousValue) {
  CPropertyLineEdit edit;
  edit.SetPropertyID("Edit");
  edit.SetMaxLength(3);
  edit.SetText("abcd");  // the setter does not check the limit
  T_METADATA_CONFIG setting = Pair("before");
  EXPECT_FALSE(edit.GetPropertySetting(setting));
  EXPECT_EQ("Edit", setting.strPropertyID);
  EXPECT_EQ("before", setting.strValue);
  edit.SetDefaultPropertySetting(setting);
  EXPECT_EQ("abcd", setting.strValue);
}

TEST(PropertyEncoding, TypesComeFromTheClass) {
  EXPECT_EQ(ePluginProperty_CheckBox, CPropertyCheckBox().GetPropertyType());
  EXPECT_EQ(ePluginProperty_LineEdit, CPropServerIP().GetPropertyType());
  EXPECT_EQ(ePluginProperty_LineEdit, CPropServerHost().GetPropertyType());
  EXPECT_EQ(ePluginProperty_ComboBox, CPropertyComboBox().GetPropertyType());
  EXPECT_EQ(ePluginProperty_Slider, CPropertySlider().GetPropertyType());
  EXPECT_EQ(ePluginProperty_Radio, CPropertyRadio().GetPropertyType());
  EXPECT_EQ(ePluginProperty_SpinBox, CPropServerPort().GetPropertyType());
}

// --- Check box -----------------------------------------------------------------

TEST(PropertyCheckBox, OnlyExactTextsAreAccepted) {
  CPropertyCheckBox check;
  EXPECT_TRUE(check.SetPropertySetting(Pair("true")));
  EXPECT_TRUE(check.IsChecked());
  for (const char* sValue : {"TRUE", "1", "True", "", "true "}) {
    EXPECT_FALSE(check.SetPropertySetting(Pair(sValue))) << sValue;
    EXPECT_TRUE(check.IsChecked()) << sValue;
  }
  EXPECT_TRUE(check.SetPropertySetting(Pair("false")));
  EXPECT_FALSE(check.IsChecked());
  EXPECT_FALSE(check.SetPropertySetting(Pair("TRUE")));
  EXPECT_FALSE(check.IsChecked());

  T_METADATA_CONFIG setting;
  EXPECT_TRUE(check.GetPropertySetting(setting));
  EXPECT_EQ("false", setting.strValue);
}

// --- Line edits and the server rules ---------------------------------------------

TEST(PropertyLineEdit, NumberOnlyMode) {
  CPropertyLineEdit edit;
  edit.SetInputMode(eNumberOnly);
  EXPECT_TRUE(Accepts(edit, ""));
  EXPECT_TRUE(Accepts(edit, "007"));
  for (const char* sValue : {"-5", "1.5", " 1", "+1", "12a", "\xb9"}) EXPECT_FALSE(Accepts(edit, sValue)) << sValue;

  edit.SetText("9");
  EXPECT_FALSE(edit.SetPropertySetting(Pair("-5")));
  EXPECT_EQ("9", edit.GetText());
  EXPECT_TRUE(edit.SetPropertySetting(Pair("007")));
  EXPECT_EQ("007", edit.GetText());
}

TEST(PropertyLineEdit, MaximumLengthBoundary) {
  CPropServerHost host;
  host.SetMaxLength(253);
  EXPECT_TRUE(host.SetPropertySetting(Pair(std::string(253, 'h'))));
  EXPECT_EQ(253u, host.GetText().size());
  EXPECT_FALSE(host.SetPropertySetting(Pair(std::string(254, 'x'))));
  EXPECT_EQ(std::string(253, 'h'), host.GetText());
}

TEST(PropertyLineEdit, HostRuleTakesAnyTextWithinLength) {
  CPropServerHost host;
  host.SetMaxLength(10);
  for (const char* sValue : {"", "LocalHost", "256.1.1.1", "a b\tc", "0123456789"})
    EXPECT_TRUE(Accepts(host, sValue)) << sValue;
  EXPECT_FALSE(Accepts(host, "01234567890"));
}

TEST(PropertyLineEdit, IpRule) {
  CPropServerIP ip;
  for (const char* sValue : {"localhost", "LOCALHOST", "Localhost", "0.0.0.0", "255.255.255.255", "1.2.3.4xyz",
                             "10.0.0.1:80", "010.001.000.001"})
    EXPECT_TRUE(Accepts(ip, sValue)) << sValue;
  for (const char* sValue : {"LocalHost", "localHost", "256.1.1.1", "1.256.1.1", "1.2.3.256", "1.2.3", "-1.2.3.4",
                             "", "a.b.c.d", "1..2.3.4", "99999999999.1.1.1", "4294967297.1.1.1"})
    EXPECT_FALSE(Accepts(ip, sValue)) << sValue;
}

TEST(PropertyLineEdit, IpRuleStillHonoursLengthAndMode) {
  CPropServerIP ip;
  ip.SetMaxLength(8);
  EXPECT_TRUE(Accepts(ip, "1.2.3.4"));
  EXPECT_FALSE(Accepts(ip, "10.20.30.40"));
  ip.SetMaxLength(128);
  ip.SetInputMode(eNumberOnly);
  EXPECT_FALSE(Accepts(ip, "1.2.3.4"));
}

TEST(PropertyLineEdit, SetPropertySettingAppliesTheIpRule) {
  CPropServerIP ip;
  ip.SetText("1.1.1.1");
  EXPECT_FALSE(ip.SetPropertySetting(Pair("server.example")));
  EXPECT_EQ("1.1.1.1", ip.GetText());
  EXPECT_TRUE(ip.SetPropertySetting(Pair("192.168.0.9")));
  EXPECT_EQ("192.168.0.9", ip.GetText());

  // The same text through the base class pointer: still the IP rule.
  CMetadataProperty& base = ip;
  EXPECT_FALSE(base.SetPropertySetting(Pair("256.0.0.1")));
  EXPECT_EQ("192.168.0.9", ip.GetText());
}

// --- Numbers: slider, spin box, port -------------------------------------------

TEST(PropertyNumber, PortRule) {
  CPropServerPort port;
  port.SetMinimum(0);
  port.SetMaximum(100000);
  for (const char* sValue : {"0", "65536", "abc", "", "-80", "99999999999"}) {
    EXPECT_FALSE(Accepts(port, sValue)) << sValue;
  }
  for (const char* sValue : {"1", "65535", " 80", "+443", "8080tail"}) {
    EXPECT_TRUE(Accepts(port, sValue)) << sValue;
  }
  // The item's own range applies first.
  port.SetMaximum(1000);
  EXPECT_FALSE(Accepts(port, "1001"));

  EXPECT_TRUE(port.SetPropertySetting(Pair(" 80")));
  EXPECT_EQ(80, port.GetValue());
  EXPECT_FALSE(port.SetPropertySetting(Pair("0")));
  EXPECT_EQ(80, port.GetValue());
}

TEST(PropertyNumber, TextWithoutDigitsSliderVersusSpinBox) {
  CPropertySlider slider;  // range 0..100
  slider.SetValue(42);
  EXPECT_TRUE(slider.SetPropertySetting(Pair("abc")));
  EXPECT_EQ(0, slider.GetValue());
  EXPECT_TRUE(slider.SetPropertySetting(Pair("")));

  CPropertySpinBox spin;
  spin.SetMinimum(0);
  spin.SetValue(42);
  for (const char* sValue : {"abc", "", " ", "-", "+x"}) {
    EXPECT_FALSE(spin.SetPropertySetting(Pair(sValue))) << sValue;
  }
  EXPECT_EQ(42, spin.GetValue());

  // A slider whose range excludes 0 refuses such text.
  slider.SetMinimum(1);
  EXPECT_FALSE(Accepts(slider, "abc"));
}

TEST(PropertyNumber, ReadingLikeAtoi) {
  CPropertySlider slider;
  slider.SetMinimum(-1000);
  EXPECT_TRUE(slider.SetPropertySetting(Pair(" \t\n-12xyz")));
  EXPECT_EQ(-12, slider.GetValue());
  EXPECT_TRUE(slider.SetPropertySetting(Pair("+7.9")));
  EXPECT_EQ(7, slider.GetValue());
  EXPECT_TRUE(slider.SetPropertySetting(Pair("--5")));  // no digits after one sign
  EXPECT_EQ(0, slider.GetValue());

  CPropertySpinBox spin;
  spin.SetMinimum(-100);
  EXPECT_TRUE(spin.SetPropertySetting(Pair("  -3 apples")));
  EXPECT_EQ(-3, spin.GetValue());
  EXPECT_FALSE(Accepts(spin, "+-3"));
}

TEST(PropertyNumber, HugeNumbersClampToThe32BitRange) {
  CPropertySlider slider;
  slider.SetMinimum(INT32_MIN);
  slider.SetMaximum(INT32_MAX);
  EXPECT_TRUE(slider.SetPropertySetting(Pair("99999999999")));
  EXPECT_EQ(INT32_MAX, slider.GetValue());
  EXPECT_TRUE(slider.SetPropertySetting(Pair("-99999999999999999999999999")));
  EXPECT_EQ(INT32_MIN, slider.GetValue());
  // 2^32 + 1 must not wrap round to a small number.
  EXPECT_TRUE(slider.SetPropertySetting(Pair("4294967297")));
  EXPECT_EQ(INT32_MAX, slider.GetValue());

  // A clamped reading may still fall outside a narrower range.
  slider.SetMaximum(INT32_MAX - 1LL);
  EXPECT_FALSE(Accepts(slider, "99999999999"));
  slider.SetMaximum(1LL << 40);
  EXPECT_TRUE(slider.SetPropertySetting(Pair("99999999999")));
  EXPECT_EQ(INT32_MAX, slider.GetValue());
}

TEST(PropertyNumber, SpinBoxNeedsA32BitNumber) {
  CPropertySpinBox spin;
  spin.SetMinimum(-(1LL << 40));
  spin.SetMaximum(1LL << 40);
  EXPECT_TRUE(Accepts(spin, "2147483647"));
  EXPECT_TRUE(Accepts(spin, "-2147483648"));
  EXPECT_FALSE(Accepts(spin, "2147483648"));
  EXPECT_FALSE(Accepts(spin, "-2147483649"));
  EXPECT_FALSE(Accepts(spin, "99999999999"));
}

// --- Combo box and radio group ---------------------------------------------------

TEST(PropertySelection, SetItemsRefusesDuplicateIdentifiers) {
  CPropertyComboBox combo;
  ASSERT_TRUE(combo.SetItems(Items({"a", "b", "c"})));
  EXPECT_EQ("a", combo.GetCurrentSelectedID());
  ASSERT_TRUE(combo.SetCurrentSelectedID("c"));

  EXPECT_FALSE(combo.SetItems(Items({"x", "y", "x"})));
  std::vector<T_SELECT_ITEM> vItems = Items({"stale"});
  EXPECT_TRUE(combo.GetItems(vItems));
  ASSERT_EQ(3u, vItems.size());
  EXPECT_EQ("a", vItems[0].strItemID);
  EXPECT_EQ("text of c", vItems[2].strText);
  EXPECT_EQ("c", combo.GetCurrentSelectedID());
}

TEST(PropertySelection, SuccessfulSetItemsSelectsTheFirst) {
  CPropertyRadio radio;
  ASSERT_TRUE(radio.SetItems(Items({"a", "b"})));
  ASSERT_TRUE(radio.SetCurrentSelectedID("b"));
  ASSERT_TRUE(radio.SetItems(Items({"q", "b"})));
  EXPECT_EQ("q", radio.GetCurrentSelectedID());

  // An empty list leaves the stored selection, which then names nothing.
  EXPECT_TRUE(radio.SetItems({}));
  EXPECT_EQ("", radio.GetCurrentSelectedID());
  T_METADATA_CONFIG setting;
  radio.SetDefaultPropertySetting(setting);
  EXPECT_EQ("q", setting.strValue);
}

TEST(PropertySelection, ComboAndRadioDifferOnUnknownIdentifier) {
  CPropertyComboBox combo;
  CPropertyRadio radio;
  EXPECT_FALSE(combo.SetCurrentSelectedID("a"));
  EXPECT_FALSE(radio.SetCurrentSelectedID("a"));
  EXPECT_EQ("", combo.GetCurrentSelectedID());
  EXPECT_EQ("", radio.GetCurrentSelectedID());

  ASSERT_TRUE(combo.SetItems(Items({"a", "b", "c"})));
  ASSERT_TRUE(radio.SetItems(Items({"a", "b", "c"})));
  ASSERT_TRUE(combo.SetCurrentSelectedID("c"));
  ASSERT_TRUE(radio.SetCurrentSelectedID("c"));

  EXPECT_FALSE(combo.SetCurrentSelectedID("zz"));
  EXPECT_EQ("a", combo.GetCurrentSelectedID());
  EXPECT_FALSE(radio.SetCurrentSelectedID("zz"));
  EXPECT_EQ("c", radio.GetCurrentSelectedID());
}

TEST(PropertySelection, StaleSelectionEncodesDifferently) {
  CPropertyComboBox combo;
  CPropertyRadio radio;
  combo.SetPropertyID("Combo");
  radio.SetPropertyID("Radio");
  ASSERT_TRUE(combo.SetItems(Items({"a", "b"})));
  ASSERT_TRUE(radio.SetItems(Items({"a", "b"})));
  ASSERT_TRUE(combo.SetCurrentSelectedID("b"));
  ASSERT_TRUE(radio.SetCurrentSelectedID("b"));
  // Every other change reselects, so an emptied list is how a selection goes
  // stale: the stored identifier stays but names nothing.
  ASSERT_TRUE(combo.SetItems({}));
  ASSERT_TRUE(radio.SetItems({}));

  T_METADATA_CONFIG setting = Pair("before");
  EXPECT_FALSE(combo.GetPropertySetting(setting));
  EXPECT_EQ("Combo", setting.strPropertyID);
  EXPECT_EQ("0", setting.strValue);
  setting = Pair("before");
  EXPECT_FALSE(radio.GetPropertySetting(setting));
  EXPECT_EQ("Radio", setting.strPropertyID);
  EXPECT_EQ("", setting.strValue);
}

TEST(PropertySelection, ValidValuesNameAnItem) {
  CPropertyComboBox combo;
  EXPECT_FALSE(Accepts(combo, ""));
  ASSERT_TRUE(combo.SetItems(Items({"Low", "High"})));
  EXPECT_FALSE(Accepts(combo, "low"));
  EXPECT_FALSE(Accepts(combo, "text of Low"));
  EXPECT_TRUE(combo.SetPropertySetting(Pair("High")));
  T_METADATA_CONFIG setting;
  EXPECT_TRUE(combo.GetPropertySetting(setting));
  EXPECT_EQ("High", setting.strValue);
}

// --- Duplicate -------------------------------------------------------------------

TEST(PropertyDuplicate, ServerLineEditsCopyAsPlainLineEdits) {
  CPropServerIP ip;
  ip.SetPropertyID("IP");
  ip.SetCaption("Address");
  ip.SetEnabled(false);
  ip.SetText("10.1.2.3");
  ip.SetMaxLength(15);
  ip.SetMinLength(7);
  ip.SetInputMode(eNumberOnly);
  ip.SetEchoMode(ePassword);

  std::unique_ptr<CMetadataProperty> pCopy(ip.Duplicate());
  EXPECT_EQ(nullptr, dynamic_cast<CPropServerIP*>(pCopy.get()));
  CPropertyLineEdit* pEdit = dynamic_cast<CPropertyLineEdit*>(pCopy.get());
  ASSERT_NE(nullptr, pEdit);
  EXPECT_EQ("IP", pEdit->GetPropertyID());
  EXPECT_EQ("Address", pEdit->GetCaption());
  EXPECT_FALSE(pEdit->IsEnabled());
  EXPECT_EQ("10.1.2.3", pEdit->GetText());
  EXPECT_EQ(15u, pEdit->GetMaxLength());
  EXPECT_EQ(7u, pEdit->GetMinLength());
  EXPECT_EQ(eNumberOnly, pEdit->GetInputMode());
  EXPECT_EQ(ePassword, pEdit->GetEchoMode());

  CPropServerHost host;
  host.SetText("name");
  std::unique_ptr<CMetadataProperty> pHostCopy(host.Duplicate());
  EXPECT_EQ(nullptr, dynamic_cast<CPropServerHost*>(pHostCopy.get()));
  ASSERT_NE(nullptr, dynamic_cast<CPropertyLineEdit*>(pHostCopy.get()));
  EXPECT_EQ("name", static_cast<CPropertyLineEdit*>(pHostCopy.get())->GetText());
}

TEST(PropertyDuplicate, ServerPortCopiesAsPlainSpinBox) {
  CPropServerPort port;
  port.SetPropertyID("Port");
  port.SetMinimum(1);
  port.SetMaximum(200000);
  port.SetSingleStep(5);
  port.SetValue(70000);

  std::unique_ptr<CMetadataProperty> pCopy(port.Duplicate());
  EXPECT_EQ(nullptr, dynamic_cast<CPropServerPort*>(pCopy.get()));
  CPropertySpinBox* pSpin = dynamic_cast<CPropertySpinBox*>(pCopy.get());
  ASSERT_NE(nullptr, pSpin);
  EXPECT_EQ("Port", pSpin->GetPropertyID());
  EXPECT_EQ(70000, pSpin->GetValue());
  EXPECT_EQ(1, pSpin->GetMinimum());
  EXPECT_EQ(200000, pSpin->GetMaximum());
  EXPECT_EQ(5, pSpin->GetSingleStep());
  // The copy has lost the port rule: only its spin-box range applies.
  EXPECT_FALSE(Accepts(port, "70000"));
  EXPECT_TRUE(Accepts(*pSpin, "70000"));
}

TEST(PropertyDuplicate, CopiesAreIndependent) {
  CPropertySlider slider;
  slider.SetPageStep(9);
  slider.SetValue(3);
  std::unique_ptr<CMetadataProperty> pCopy(slider.Duplicate());
  CPropertySlider* pSlider = dynamic_cast<CPropertySlider*>(pCopy.get());
  ASSERT_NE(nullptr, pSlider);
  EXPECT_EQ(9, pSlider->GetPageStep());
  slider.SetValue(4);
  EXPECT_EQ(3, pSlider->GetValue());

  CPropertyRadio radio;
  ASSERT_TRUE(radio.SetItems(Items({"a", "b"})));
  ASSERT_TRUE(radio.SetCurrentSelectedID("b"));
  std::unique_ptr<CMetadataProperty> pRadioCopy(radio.Duplicate());
  CPropertyRadio* pRadio = dynamic_cast<CPropertyRadio*>(pRadioCopy.get());
  ASSERT_NE(nullptr, pRadio);
  EXPECT_EQ("b", pRadio->GetCurrentSelectedID());

  CPropertyCheckBox check;
  check.SetChecked(true);
  std::unique_ptr<CMetadataProperty> pCheckCopy(check.Duplicate());
  ASSERT_NE(nullptr, dynamic_cast<CPropertyCheckBox*>(pCheckCopy.get()));
  EXPECT_TRUE(static_cast<CPropertyCheckBox*>(pCheckCopy.get())->IsChecked());
}

}  // namespace
