#include "MetadataModelBase/MetadataProperty.h"

#include <cstdint>

#include "utility/sysutils/common/ascii.h"

namespace {

using SysUtils::IsDigit;
using SysUtils::IsSpace;

const char kTrueText[] = "true";
const char kFalseText[] = "false";
const long long kDottedPartMaximum = 255;

// Reads a decimal number the way the C library's readers start one: leading
// white space, at most one sign, then digits up to the first other byte.
// Advances pos past what was read. The magnitude stops growing once it is
// beyond the 32-bit range, so a long run of digits can neither overflow nor
// pass for a small number. False when no digit follows the sign.
bool ReadDecimal(const std::string& strText, size_t& pos, long long& llNumber) {
  while (pos < strText.size() && IsSpace(strText[pos])) ++pos;
  bool bNegative = false;
  if (pos < strText.size() && (strText[pos] == '+' || strText[pos] == '-')) {
    bNegative = strText[pos] == '-';
    ++pos;
  }
  if (pos >= strText.size() || !IsDigit(strText[pos])) return false;
  const long long kSaturation = 1LL << 32;
  long long llMagnitude = 0;
  for (; pos < strText.size() && IsDigit(strText[pos]); ++pos) {
    if (llMagnitude < kSaturation) llMagnitude = llMagnitude * 10 + (strText[pos] - '0');
  }
  llNumber = bNegative ? -llMagnitude : llMagnitude;
  return true;
}

bool FitsInt32(long long llNumber) { return INT32_MIN <= llNumber && llNumber <= INT32_MAX; }

// The value atoi gives, except that numbers beyond the 32-bit range clamp to
// its ends instead of being undefined. Text without digits reads as 0.
long long ReadLikeAtoi(const std::string& strText) {
  size_t pos = 0;
  long long llNumber = 0;
  if (!ReadDecimal(strText, pos, llNumber)) return 0;
  if (llNumber < INT32_MIN) return INT32_MIN;
  if (llNumber > INT32_MAX) return INT32_MAX;
  return llNumber;
}

// What reading a 32-bit int from a string stream accepts: a number must be
// there and must fit; whatever follows it is ignored.
bool ReadLikeStream(const std::string& strText, long long& llNumber) {
  size_t pos = 0;
  return ReadDecimal(strText, pos, llNumber) && FitsInt32(llNumber);
}

// Four numbers of 0 to 255 separated by dots, read the way "%u.%u.%u.%u"
// scans them: white space may precede each number, a negative number counts
// as far above 255, and anything after the fourth number is not looked at.
bool IsDottedQuad(const std::string& strText) {
  size_t pos = 0;
  for (int iPart = 0; iPart < 4; ++iPart) {
    if (iPart > 0) {
      if (pos >= strText.size() || strText[pos] != '.') return false;
      ++pos;
    }
    long long llNumber = 0;
    if (!ReadDecimal(strText, pos, llNumber)) return false;
    if (llNumber < 0 || llNumber > kDottedPartMaximum) return false;
  }
  return true;
}

bool IsLocalHostName(const std::string& strText) {
  return strText == "localhost" || strText == "LOCALHOST" || strText == "Localhost";
}

bool IsDigitsOnly(const std::string& strText) {
  for (char c : strText) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

}  // namespace

// --- CMetadataProperty -----------------------------------------------------------

CMetadataProperty::CMetadataProperty() : m_bEnable(true), m_ePropertyType(ePluginProperty_None) {}

CMetadataProperty::~CMetadataProperty() {}

bool CMetadataProperty::SetPropertySetting(T_METADATA_CONFIG const& setting) {
  if (!IsPropertySettingValid(setting)) return false;
  StoreValue(setting.strValue);
  return true;
}

// --- CPropertyCheckBox -----------------------------------------------------------

CPropertyCheckBox::CPropertyCheckBox() : m_bChecked(false) {}

CPropertyCheckBox::~CPropertyCheckBox() {}

E_PLUGIN_PROPERTY_TYPE CPropertyCheckBox::GetPropertyType() const { return ePluginProperty_CheckBox; }

bool CPropertyCheckBox::GetPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strPropertyID = m_strPropertyID;
  SetDefaultPropertySetting(setting);
  return true;
}

bool CPropertyCheckBox::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  return setting.strValue == kTrueText || setting.strValue == kFalseText;
}

CMetadataProperty* CPropertyCheckBox::Duplicate() { return new CPropertyCheckBox(*this); }

void CPropertyCheckBox::SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strValue = m_bChecked ? kTrueText : kFalseText;
}

void CPropertyCheckBox::StoreValue(const std::string& strValue) { m_bChecked = strValue == kTrueText; }

// --- CPropertyLineEdit -----------------------------------------------------------

CPropertyLineEdit::CPropertyLineEdit()
    : m_uiMaxLength(128), m_uiMinLength(1), m_InputMode(eAny), m_EchoMode(eNormal) {}

CPropertyLineEdit::~CPropertyLineEdit() {}

E_PLUGIN_PROPERTY_TYPE CPropertyLineEdit::GetPropertyType() const { return ePluginProperty_LineEdit; }

bool CPropertyLineEdit::GetPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strPropertyID = m_strPropertyID;
  if (m_strText.size() > m_uiMaxLength) return false;
  setting.strValue = m_strText;
  return true;
}

bool CPropertyLineEdit::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  if (setting.strValue.size() > m_uiMaxLength) return false;
  if (m_InputMode == eNumberOnly && !IsDigitsOnly(setting.strValue)) return false;
  return true;
}

CMetadataProperty* CPropertyLineEdit::Duplicate() { return new CPropertyLineEdit(*this); }

void CPropertyLineEdit::SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strValue = m_strText;
}

void CPropertyLineEdit::StoreValue(const std::string& strValue) { m_strText = strValue; }

// --- CPropServerIP / CPropServerHost ---------------------------------------------

CPropServerIP::CPropServerIP() {}

CPropServerIP::~CPropServerIP() {}

bool CPropServerIP::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  if (!CPropertyLineEdit::IsPropertySettingValid(setting)) return false;
  return IsLocalHostName(setting.strValue) || IsDottedQuad(setting.strValue);
}

CPropServerHost::CPropServerHost() {}

CPropServerHost::~CPropServerHost() {}

bool CPropServerHost::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  return CPropertyLineEdit::IsPropertySettingValid(setting);
}

// --- CPropertySelectionBase ------------------------------------------------------

CPropertySelectionBase::CPropertySelectionBase() {}

CPropertySelectionBase::~CPropertySelectionBase() {}

bool CPropertySelectionBase::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  return HasItem(setting.strValue);
}

void CPropertySelectionBase::SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strValue = m_strCurrentID;
}

bool CPropertySelectionBase::GetItems(std::vector<T_SELECT_ITEM>& vItems) const {
  vItems = m_vItems;
  return true;
}

bool CPropertySelectionBase::SetItems(std::vector<T_SELECT_ITEM> vItems) {
  for (size_t i = 0; i < vItems.size(); ++i) {
    for (size_t j = i + 1; j < vItems.size(); ++j) {
      if (vItems[i].strItemID == vItems[j].strItemID) return false;
    }
  }
  m_vItems.swap(vItems);
  if (!m_vItems.empty()) m_strCurrentID = m_vItems.front().strItemID;
  return true;
}

std::string CPropertySelectionBase::GetCurrentSelectedID() const {
  return HasItem(m_strCurrentID) ? m_strCurrentID : std::string();
}

void CPropertySelectionBase::StoreValue(const std::string& strValue) { m_strCurrentID = strValue; }

bool CPropertySelectionBase::HasItem(const std::string& strItemID) const {
  for (const T_SELECT_ITEM& item : m_vItems) {
    if (item.strItemID == strItemID) return true;
  }
  return false;
}

bool CPropertySelectionBase::GetSelectionSetting(T_METADATA_CONFIG& setting, const char* sPreset) const {
  setting.strPropertyID = m_strPropertyID;
  setting.strValue = sPreset;
  if (!HasItem(m_strCurrentID)) return false;
  setting.strValue = m_strCurrentID;
  return true;
}

// --- CPropertyComboBox / CPropertyRadio ------------------------------------------

CPropertyComboBox::CPropertyComboBox() {}

CPropertyComboBox::~CPropertyComboBox() {}

E_PLUGIN_PROPERTY_TYPE CPropertyComboBox::GetPropertyType() const { return ePluginProperty_ComboBox; }

bool CPropertyComboBox::GetPropertySetting(T_METADATA_CONFIG& setting) const {
  return GetSelectionSetting(setting, "0");
}

CMetadataProperty* CPropertyComboBox::Duplicate() { return new CPropertyComboBox(*this); }

bool CPropertyComboBox::SetCurrentSelectedID(std::string strItemID) {
  if (m_vItems.empty()) return false;
  if (!HasItem(strItemID)) {
    m_strCurrentID = m_vItems.front().strItemID;
    return false;
  }
  m_strCurrentID.swap(strItemID);
  return true;
}

CPropertyRadio::CPropertyRadio() {}

CPropertyRadio::~CPropertyRadio() {}

E_PLUGIN_PROPERTY_TYPE CPropertyRadio::GetPropertyType() const { return ePluginProperty_Radio; }

bool CPropertyRadio::GetPropertySetting(T_METADATA_CONFIG& setting) const {
  return GetSelectionSetting(setting, "");
}

CMetadataProperty* CPropertyRadio::Duplicate() { return new CPropertyRadio(*this); }

bool CPropertyRadio::SetCurrentSelectedID(std::string strItemID) {
  if (!HasItem(strItemID)) return false;
  m_strCurrentID.swap(strItemID);
  return true;
}

// --- CPropertyRangeBase ----------------------------------------------------------

CPropertyRangeBase::CPropertyRangeBase(long long llMaximum, long long llMinimum)
    : m_llValue(0), m_llMaximum(llMaximum), m_llMinimum(llMinimum), m_llSingleStep(1) {}

CPropertyRangeBase::~CPropertyRangeBase() {}

bool CPropertyRangeBase::GetPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strPropertyID = m_strPropertyID;
  setting.strValue = "0";
  if (!IsInRange(m_llValue)) return false;
  SetDefaultPropertySetting(setting);
  return true;
}

void CPropertyRangeBase::SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const {
  setting.strValue = std::to_string(m_llValue);
}

void CPropertyRangeBase::StoreValue(const std::string& strValue) { m_llValue = ReadLikeAtoi(strValue); }

// --- CPropertySlider -------------------------------------------------------------

CPropertySlider::CPropertySlider() : CPropertyRangeBase(100, 0), m_llPageStep(1) {}

CPropertySlider::~CPropertySlider() {}

E_PLUGIN_PROPERTY_TYPE CPropertySlider::GetPropertyType() const { return ePluginProperty_Slider; }

bool CPropertySlider::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  return IsInRange(ReadLikeAtoi(setting.strValue));
}

CMetadataProperty* CPropertySlider::Duplicate() { return new CPropertySlider(*this); }

// --- CPropertySpinBox / CPropServerPort ------------------------------------------

// A fresh spin box holds a value below its minimum until its owner sets one.
CPropertySpinBox::CPropertySpinBox() : CPropertyRangeBase(1000, 100) {}

CPropertySpinBox::~CPropertySpinBox() {}

E_PLUGIN_PROPERTY_TYPE CPropertySpinBox::GetPropertyType() const { return ePluginProperty_SpinBox; }

bool CPropertySpinBox::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  long long llNumber = 0;
  return ReadLikeStream(setting.strValue, llNumber) && IsInRange(llNumber);
}

CMetadataProperty* CPropertySpinBox::Duplicate() { return new CPropertySpinBox(*this); }

CPropServerPort::CPropServerPort() {}

CPropServerPort::~CPropServerPort() {}

bool CPropServerPort::IsPropertySettingValid(T_METADATA_CONFIG const& setting) const {
  if (!CPropertySpinBox::IsPropertySettingValid(setting)) return false;
  const long long llPort = ReadLikeAtoi(setting.strValue);
  return kPortMinimum <= llPort && llPort <= kPortMaximum;
}
