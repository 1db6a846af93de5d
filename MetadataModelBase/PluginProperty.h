#pragma once

// The control records from which the host draws its settings dialogs. The
// host reads them in place, so their layout is part of the interface.

enum E_PLUGIN_PROPERTY_TYPE : int {
  ePluginProperty_None = -1,
  ePluginProperty_CheckBox = 0,
  ePluginProperty_LineEdit = 1,
  ePluginProperty_ComboBox = 2,
  ePluginProperty_Slider = 3,
  ePluginProperty_Radio = 4,
  ePluginProperty_SpinBox = 5,
};
typedef E_PLUGIN_PROPERTY_TYPE EPluginPropertyType;

enum E_INPUT_MODE : int {
  eAny = 0,
  eNumberOnly = 1,
};
typedef E_INPUT_MODE EInputMode;

enum E_ENCODE_MODE : int {
  eNormal = 0,
  ePassword = 1,
};
typedef E_ENCODE_MODE EEncodeMode;

struct T_PROPERTY_UI_INFO {
  char sUID[65];
  char sName[65];
  bool bEnable;
  E_PLUGIN_PROPERTY_TYPE ePropertyType;
  void* pContent;  // the control record that ePropertyType names
};
typedef T_PROPERTY_UI_INFO TPropertyUIInfo;

struct T_PROPERTY_CHECKBOX {
  bool bChecked;
};
typedef T_PROPERTY_CHECKBOX TPropertyCheckBox;

struct T_PROPERTY_LINEEDIT {
  unsigned int uiMaxLength;
  unsigned int uiMinLength;
  char sValue[257];
  E_INPUT_MODE eInputMode;
  E_ENCODE_MODE eEncodeMode;
};
typedef T_PROPERTY_LINEEDIT TPropertyLineEdit;

struct T_SELECTION_LIST {
  char sValue[257];  // the text shown for the choice
  char sName[65];    // the choice's identifier
};
typedef T_SELECTION_LIST TSelectionList;

struct T_PROPERTY_COMBOBOX {
  char sValue[257];
  T_SELECTION_LIST* pSelectionList;
  unsigned int uiSelectionListSize;
};
typedef T_PROPERTY_COMBOBOX TPropertyComboBox;

struct T_PROPERTY_SLIDER {
  long long llValue;
  long long llMaxValue;
  long long llMinValue;
  long long llStepValue;
  long long llPageStepValue;
};
typedef T_PROPERTY_SLIDER TPropertySlider;

struct T_PROPERTY_RADIO {
  char sValue[257];
  T_SELECTION_LIST* pSelectionList;
  unsigned int uiSelectionListSize;
};
typedef T_PROPERTY_RADIO TPropertyRadio;

struct T_PROPERTY_SPINBOX {
  long long llValue;
  long long llMaxValue;
  long long llMinValue;
  long long llStepValue;
};
typedef T_PROPERTY_SPINBOX TPropertySpinBox;

struct T_CAHNNEL_PROPERTY {
  char sPluginID[65];
  T_PROPERTY_UI_INFO* pPropertyItem;
  unsigned int uiSize;
};
typedef T_CAHNNEL_PROPERTY TChannelProperty;
