#pragma once

#include <string>
#include <vector>

#include "MetadataModelBase/MetadataModelDef.h"
#include "MetadataModelBase/PluginProperty.h"

// One choice of a combo box or radio group. The identifier is also the value
// text of the property while the choice is selected.
struct T_SELECT_ITEM {
  std::string strItemID;
  std::string strText;
};
typedef T_SELECT_ITEM TSelectItem;

// One configuration setting, described as the control that the host's
// settings dialog shows, with its current value, its text encoding and the
// rule that decides which values it accepts.
class CMetadataProperty {
 public:
  CMetadataProperty();
  virtual ~CMetadataProperty();

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const = 0;
  // Writes the identifier and the current value as text; false when the
  // value does not fit the item's own limits.
  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const = 0;
  // Validates through the virtual IsPropertySettingValid, so a subclass's
  // stricter rule applies, then takes the value over. A refused value leaves
  // the item unchanged. The identifier of the pair is not compared.
  virtual bool SetPropertySetting(T_METADATA_CONFIG const& setting);
  // Looks only at the value text of the pair.
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const = 0;
  // A new heap copy of the class that provides this operation; the caller
  // owns it.
  virtual CMetadataProperty* Duplicate() = 0;
  // Writes the current value as text into the value of the pair, without any
  // check and without touching its identifier.
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const = 0;

  std::string GetPropertyID() const { return m_strPropertyID; }
  void SetPropertyID(const std::string& strPropertyID) { m_strPropertyID = strPropertyID; }
  std::string GetCaption() const { return m_strCaption; }
  void SetCaption(const std::string& strCaption) { m_strCaption = strCaption; }
  bool IsEnabled() const { return m_bEnable; }
  void SetEnabled(bool bEnable) { m_bEnable = bEnable; }

 protected:
  CMetadataProperty(const CMetadataProperty&) = default;
  CMetadataProperty& operator=(const CMetadataProperty&) = delete;

  // Takes over a value that IsPropertySettingValid has accepted.
  virtual void StoreValue(const std::string& strValue) = 0;

  std::string m_strPropertyID;
  std::string m_strCaption;
  bool m_bEnable;
  EPluginPropertyType m_ePropertyType;
};

class CPropertyCheckBox : public CMetadataProperty {
 public:
  CPropertyCheckBox();
  virtual ~CPropertyCheckBox() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const override;
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
  virtual CMetadataProperty* Duplicate() override;
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override;

  bool IsChecked() const { return m_bChecked; }
  void SetChecked(bool bChecked) { m_bChecked = bChecked; }

 protected:
  CPropertyCheckBox(const CPropertyCheckBox&) = default;
  virtual void StoreValue(const std::string& strValue) override;

  bool m_bChecked;
};

class CPropertyLineEdit : public CMetadataProperty {
 public:
  CPropertyLineEdit();
  virtual ~CPropertyLineEdit() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const override;
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
  virtual CMetadataProperty* Duplicate() override;
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override;

  std::string GetText() const { return m_strText; }
  void SetText(const std::string& strText) { m_strText = strText; }
  unsigned int GetMaxLength() const { return m_uiMaxLength; }
  void SetMaxLength(unsigned int uiMaxLength) { m_uiMaxLength = uiMaxLength; }
  unsigned int GetMinLength() const { return m_uiMinLength; }
  void SetMinLength(unsigned int uiMinLength) { m_uiMinLength = uiMinLength; }
  E_INPUT_MODE GetInputMode() const { return m_InputMode; }
  void SetInputMode(E_INPUT_MODE eInputMode) { m_InputMode = eInputMode; }
  E_ENCODE_MODE GetEchoMode() const { return m_EchoMode; }
  void SetEchoMode(E_ENCODE_MODE eEchoMode) { m_EchoMode = eEchoMode; }

 protected:
  CPropertyLineEdit(const CPropertyLineEdit&) = default;
  virtual void StoreValue(const std::string& strValue) override;

  std::string m_strText;
  unsigned int m_uiMaxLength;
  unsigned int m_uiMinLength;  // for the host's dialog only
  EInputMode m_InputMode;
  EEncodeMode m_EchoMode;
};

// A line edit that accepts only a dotted IPv4 address or the local host name.
class CPropServerIP : public CPropertyLineEdit {
 public:
  CPropServerIP();
  virtual ~CPropServerIP() override;

  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
};

// A line edit for a server host name or address: any text within the
// maximum length.
class CPropServerHost : public CPropertyLineEdit {
 public:
  CPropServerHost();
  virtual ~CPropServerHost() override;

  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
};

// What a combo box and a radio group have in common: the choices, the
// selection and the rule that a valid value names one of the choices. The two
// differ in the preset of their encoding and in SetCurrentSelectedID.
class CPropertySelectionBase : public CMetadataProperty {
 public:
  CPropertySelectionBase();
  virtual ~CPropertySelectionBase() override;

  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override;

  bool GetItems(std::vector<T_SELECT_ITEM>& vItems) const;
  // Refuses a list in which two choices share an identifier; a non-empty
  // list selects its first choice.
  bool SetItems(std::vector<T_SELECT_ITEM> vItems);
  // The selection when it names one of the choices, otherwise empty.
  std::string GetCurrentSelectedID() const;

 protected:
  CPropertySelectionBase(const CPropertySelectionBase&) = default;
  virtual void StoreValue(const std::string& strValue) override;

  bool HasItem(const std::string& strItemID) const;
  // The encoding of both classes; only the text written for a missing
  // selection differs.
  bool GetSelectionSetting(T_METADATA_CONFIG& setting, const char* sPreset) const;

  std::vector<T_SELECT_ITEM> m_vItems;
  std::string m_strCurrentID;
};

class CPropertyComboBox : public CPropertySelectionBase {
 public:
  CPropertyComboBox();
  virtual ~CPropertyComboBox() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  // Preset "0" when nothing valid is selected.
  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const override;
  virtual CMetadataProperty* Duplicate() override;

  // An unknown identifier selects the first choice and still returns false.
  bool SetCurrentSelectedID(std::string strItemID);

 protected:
  CPropertyComboBox(const CPropertyComboBox&) = default;
};

class CPropertyRadio : public CPropertySelectionBase {
 public:
  CPropertyRadio();
  virtual ~CPropertyRadio() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  // Preset empty when nothing valid is selected.
  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const override;
  virtual CMetadataProperty* Duplicate() override;

  // An unknown identifier leaves the selection as it was.
  bool SetCurrentSelectedID(std::string strItemID);

 protected:
  CPropertyRadio(const CPropertyRadio&) = default;
};

// What a slider and a spin box have in common: a 64-bit value with its range
// and step, encoded as decimal text. They differ in how strictly they read a
// proposed value.
class CPropertyRangeBase : public CMetadataProperty {
 public:
  CPropertyRangeBase(long long llMaximum, long long llMinimum);
  virtual ~CPropertyRangeBase() override;

  virtual bool GetPropertySetting(T_METADATA_CONFIG& setting) const override;
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const override;

  long long GetValue() const { return m_llValue; }
  void SetValue(long long llValue) { m_llValue = llValue; }
  long long GetMaximum() const { return m_llMaximum; }
  void SetMaximum(long long llMaximum) { m_llMaximum = llMaximum; }
  long long GetMinimum() const { return m_llMinimum; }
  void SetMinimum(long long llMinimum) { m_llMinimum = llMinimum; }
  long long GetSingleStep() const { return m_llSingleStep; }
  void SetSingleStep(long long llSingleStep) { m_llSingleStep = llSingleStep; }

 protected:
  CPropertyRangeBase(const CPropertyRangeBase&) = default;
  // Stores the value as atoi reads it, clamped to 32 bits.
  virtual void StoreValue(const std::string& strValue) override;

  bool IsInRange(long long llNumber) const { return m_llMinimum <= llNumber && llNumber <= m_llMaximum; }

  long long m_llValue;
  long long m_llMaximum;
  long long m_llMinimum;
  long long m_llSingleStep;
};

// Valid values are read the way atoi reads them: text without digits reads
// as 0.
class CPropertySlider : public CPropertyRangeBase {
 public:
  CPropertySlider();
  virtual ~CPropertySlider() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
  virtual CMetadataProperty* Duplicate() override;

  long long GetPageStep() const { return m_llPageStep; }
  void SetPageStep(long long llPageStep) { m_llPageStep = llPageStep; }

 protected:
  CPropertySlider(const CPropertySlider&) = default;

  long long m_llPageStep;
};

// Valid values must hold a decimal number that fits in 32 bits.
class CPropertySpinBox : public CPropertyRangeBase {
 public:
  CPropertySpinBox();
  virtual ~CPropertySpinBox() override;

  virtual E_PLUGIN_PROPERTY_TYPE GetPropertyType() const override;
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
  virtual CMetadataProperty* Duplicate() override;

 protected:
  CPropertySpinBox(const CPropertySpinBox&) = default;
};

// A spin box for a TCP port number: also 1 to 65535 whatever its own range.
class CPropServerPort : public CPropertySpinBox {
 public:
  static constexpr long long kPortMinimum = 1;
  static constexpr long long kPortMaximum = 65535;

  CPropServerPort();
  virtual ~CPropServerPort() override;

  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const override;
};
