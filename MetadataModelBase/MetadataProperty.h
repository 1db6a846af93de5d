#pragma once

#include <string>
#include <vector>

#include "MetadataModelBase/MetadataModelDef.h"

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
  // Validates through IsPropertySettingValid, then takes the value over.
  virtual bool SetPropertySetting(T_METADATA_CONFIG const& setting) = 0;
  virtual bool IsPropertySettingValid(T_METADATA_CONFIG const& setting) const = 0;
  // A new heap copy; the caller owns it.
  virtual CMetadataProperty* Duplicate() = 0;
  // Writes the current value as text without any check.
  virtual void SetDefaultPropertySetting(T_METADATA_CONFIG& setting) const = 0;

  std::string GetPropertyID() const { return m_strPropertyID; }
  void SetPropertyID(const std::string& strPropertyID) { m_strPropertyID = strPropertyID; }
  std::string GetCaption() const { return m_strCaption; }
  void SetCaption(const std::string& strCaption) { m_strCaption = strCaption; }
  bool IsEnabled() const { return m_bEnable; }
  void SetEnabled(bool bEnable) { m_bEnable = bEnable; }

 protected:
  std::string m_strPropertyID;
  std::string m_strCaption;
  bool m_bEnable;
  EPluginPropertyType m_ePropertyType;
};
