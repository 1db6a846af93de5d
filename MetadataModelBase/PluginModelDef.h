#pragma once

// Records, enumerations and callback types exchanged with the host metadata
// server. The host is built separately and walks arrays of these records in
// place, so on the 32-bit x86 target their layout is pinned below.

#include <cstddef>

#include "MetadataModelBase/PluginLangDef.h"
#include "MetadataModelBase/PluginProperty.h"

enum E_PLUGIN_CATEGORY : unsigned int {
  eMETADATA_CATEGORY_UNDEFINE = 0,
  eMETADATA_CATEGORY_POS = 1,
  eMETADATA_CATEGORY_AC = 2,
  eMETADATA_CATEGORY_LPR = 4,
  eMETADATA_CATEGORY_IVS = 8,
  eMETADATA_CATEGORY_KOVANT = 16,
  eMETADATA_CATEGORY_ALL = 0xFFFFFFFFu,
};
typedef E_PLUGIN_CATEGORY EPluginCategory;

enum E_METADATA_STATUS : int {
  eMETADATA_STATUS_DISCONNECT = 0,
  eMETADATA_STATUS_CONNECTED = 1,
  eMETADATA_STATUS_CONNECTING = 2,
};
typedef E_METADATA_STATUS EMetadataStatus;

enum E_EXPRESSION_TYPE : int {
  eETypeNone = -1,
  eETypeRE = 0,
  eETypeLiteral = 1,
  eETypeWildCard = 2,
};
typedef E_EXPRESSION_TYPE EExpressionType;

enum E_FILTER_TYPE : int {
  eFTypeNone = -1,
  eFTypeReplace = 0,
  eFTypeStart = 1,
  eFTypeEnd = 2,
  eFTypeNewLine = 3,
  eFTypeOmit = 4,
};
typedef E_FILTER_TYPE EFilterType;

enum E_TAG_FORMAT : int {
  eTagFormatNone = -1,
  eTagFormatText = 0,
  eTagFormatNum = 1,
};
typedef E_TAG_FORMAT ETagFormat;

// Internal to the model: the worker's messages and thread requests.
enum E_METADATA_MSG : int {
  eMETADATA_MSG_NOOPERATION = 0,
  eMETADATA_MSG_CONNECT = 1,
  eMETADATA_MSG_DISCONNECT = 2,
};
typedef E_METADATA_MSG EMetadataMessage;

enum E_PLUGIN_THREAD_CMD : int {
  ePLUGIN_TC_STOP = 0,
};
typedef E_PLUGIN_THREAD_CMD EPluginThreadCommand;

struct T_PLUGIN_DEVICE_INFO {
  char sPluginID[65];
  char sPluginVersion[33];
  char sPluginName[65];
  char sPluginInfo[257];
  char sPluginVendor[65];
  char sPluginModel[65];
  char sPluginManufacture[65];
  char sDeviceName[65];
  char sDeviceInfo[257];
};
typedef T_PLUGIN_DEVICE_INFO TPluginDeviceInfo;

struct T_PLUGIN_ID {
  char sPluginID[65];
};
typedef T_PLUGIN_ID TPluginID;

struct T_PLUGIN_PARENT_CHILD_MAP_ITEM {
  char sPluginID[65];
  char sChannelName[65];
  char sChannelInfo[257];
  unsigned int uiMaxNumber;
  unsigned int uiMinNumber;
};
typedef T_PLUGIN_PARENT_CHILD_MAP_ITEM TPluginParentChildMapItem;

struct T_PLUGIN_UI_CONFIG {
  char sPluginID[65];  // the property identifier
  char sValue[257];
};
typedef T_PLUGIN_UI_CONFIG TPluginUIConfig;

struct T_PLUGIN_FILTER_ITEM {
  E_FILTER_TYPE eFilterType;
  E_EXPRESSION_TYPE eExpressionType;
  char sSource[65];
  char sTarget[65];
};
typedef T_PLUGIN_FILTER_ITEM TPluginFilterItem;

struct T_PLUGIN_TAG_ITEM {
  char sName[65];
  char sPreTag[65];
  char sPostTag[65];
  E_TAG_FORMAT eTagFormat;
};
typedef T_PLUGIN_TAG_ITEM TPluginTagItem;

struct T_PLUGIN_FILTER_PROFILE {
  char sPluginID[65];
  E_LANGUAGE_TYPE eLangType;
  unsigned int uiTransactionTimeout;
  unsigned int uiFilterItemSize;
  T_PLUGIN_FILTER_ITEM* pPluginFilterItem;
  unsigned int uiTagItemSize;
  T_PLUGIN_TAG_ITEM* pPluginTagItem;
};
typedef T_PLUGIN_FILTER_PROFILE TPluginFilterProfile;

struct T_PLUGIN_ERROR_MESSAGE {
  char sErrorMsg[257];
};
typedef T_PLUGIN_ERROR_MESSAGE TPluginErrorMsg;

struct T_SUPPORT_EVENT_ID {
  unsigned int uiEventID;
};
typedef T_SUPPORT_EVENT_ID TSupportEventID;

// The host's metadata callback: device id, channel id, record text, its
// length, and the user data given at registration.
typedef void (*fnPluginCallback)(unsigned long long ullDeviceID, unsigned long long ullChannelID,
                                 const char* sMetadata, int iMetadataLen, void* pUserData);

// The host's event callback: device id, event code, user data.
typedef void (*fnPluginEventCallback)(unsigned long long ullDeviceID, unsigned int uiEventID,
                                      void* pUserData);

#if defined(__i386__)
#define VANTIX_PIN_LAYOUT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "::" #field " moved")
#define VANTIX_PIN_SIZE(type, size) static_assert(sizeof(type) == (size), #type " resized")

VANTIX_PIN_SIZE(T_PLUGIN_DEVICE_INFO, 937);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginID, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginVersion, 65);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginName, 98);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginInfo, 163);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginVendor, 420);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginModel, 485);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sPluginManufacture, 550);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sDeviceName, 615);
VANTIX_PIN_LAYOUT(T_PLUGIN_DEVICE_INFO, sDeviceInfo, 680);

VANTIX_PIN_SIZE(T_PLUGIN_ID, 65);
VANTIX_PIN_LAYOUT(T_PLUGIN_ID, sPluginID, 0);

VANTIX_PIN_SIZE(T_PLUGIN_PARENT_CHILD_MAP_ITEM, 396);
VANTIX_PIN_LAYOUT(T_PLUGIN_PARENT_CHILD_MAP_ITEM, sPluginID, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_PARENT_CHILD_MAP_ITEM, sChannelName, 65);
VANTIX_PIN_LAYOUT(T_PLUGIN_PARENT_CHILD_MAP_ITEM, sChannelInfo, 130);
VANTIX_PIN_LAYOUT(T_PLUGIN_PARENT_CHILD_MAP_ITEM, uiMaxNumber, 388);
VANTIX_PIN_LAYOUT(T_PLUGIN_PARENT_CHILD_MAP_ITEM, uiMinNumber, 392);

VANTIX_PIN_SIZE(T_PLUGIN_UI_CONFIG, 322);
VANTIX_PIN_LAYOUT(T_PLUGIN_UI_CONFIG, sPluginID, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_UI_CONFIG, sValue, 65);

VANTIX_PIN_SIZE(T_PLUGIN_FILTER_ITEM, 140);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_ITEM, eFilterType, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_ITEM, eExpressionType, 4);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_ITEM, sSource, 8);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_ITEM, sTarget, 73);

VANTIX_PIN_SIZE(T_PLUGIN_TAG_ITEM, 200);
VANTIX_PIN_LAYOUT(T_PLUGIN_TAG_ITEM, sName, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_TAG_ITEM, sPreTag, 65);
VANTIX_PIN_LAYOUT(T_PLUGIN_TAG_ITEM, sPostTag, 130);
VANTIX_PIN_LAYOUT(T_PLUGIN_TAG_ITEM, eTagFormat, 196);

VANTIX_PIN_SIZE(T_PLUGIN_FILTER_PROFILE, 92);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, sPluginID, 0);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, eLangType, 68);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, uiTransactionTimeout, 72);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, uiFilterItemSize, 76);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, pPluginFilterItem, 80);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, uiTagItemSize, 84);
VANTIX_PIN_LAYOUT(T_PLUGIN_FILTER_PROFILE, pPluginTagItem, 88);

VANTIX_PIN_SIZE(T_PLUGIN_ERROR_MESSAGE, 257);
VANTIX_PIN_LAYOUT(T_PLUGIN_ERROR_MESSAGE, sErrorMsg, 0);

VANTIX_PIN_SIZE(T_SUPPORT_EVENT_ID, 4);
VANTIX_PIN_LAYOUT(T_SUPPORT_EVENT_ID, uiEventID, 0);

VANTIX_PIN_SIZE(T_PROPERTY_UI_INFO, 140);
VANTIX_PIN_LAYOUT(T_PROPERTY_UI_INFO, sUID, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_UI_INFO, sName, 65);
VANTIX_PIN_LAYOUT(T_PROPERTY_UI_INFO, bEnable, 130);
VANTIX_PIN_LAYOUT(T_PROPERTY_UI_INFO, ePropertyType, 132);
VANTIX_PIN_LAYOUT(T_PROPERTY_UI_INFO, pContent, 136);

VANTIX_PIN_SIZE(T_PROPERTY_CHECKBOX, 1);
VANTIX_PIN_LAYOUT(T_PROPERTY_CHECKBOX, bChecked, 0);

VANTIX_PIN_SIZE(T_PROPERTY_LINEEDIT, 276);
VANTIX_PIN_LAYOUT(T_PROPERTY_LINEEDIT, uiMaxLength, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_LINEEDIT, uiMinLength, 4);
VANTIX_PIN_LAYOUT(T_PROPERTY_LINEEDIT, sValue, 8);
VANTIX_PIN_LAYOUT(T_PROPERTY_LINEEDIT, eInputMode, 268);
VANTIX_PIN_LAYOUT(T_PROPERTY_LINEEDIT, eEncodeMode, 272);

VANTIX_PIN_SIZE(T_SELECTION_LIST, 322);
VANTIX_PIN_LAYOUT(T_SELECTION_LIST, sValue, 0);
VANTIX_PIN_LAYOUT(T_SELECTION_LIST, sName, 257);

VANTIX_PIN_SIZE(T_PROPERTY_COMBOBOX, 268);
VANTIX_PIN_LAYOUT(T_PROPERTY_COMBOBOX, sValue, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_COMBOBOX, pSelectionList, 260);
VANTIX_PIN_LAYOUT(T_PROPERTY_COMBOBOX, uiSelectionListSize, 264);

VANTIX_PIN_SIZE(T_PROPERTY_SLIDER, 40);
VANTIX_PIN_LAYOUT(T_PROPERTY_SLIDER, llValue, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_SLIDER, llMaxValue, 8);
VANTIX_PIN_LAYOUT(T_PROPERTY_SLIDER, llMinValue, 16);
VANTIX_PIN_LAYOUT(T_PROPERTY_SLIDER, llStepValue, 24);
VANTIX_PIN_LAYOUT(T_PROPERTY_SLIDER, llPageStepValue, 32);

VANTIX_PIN_SIZE(T_PROPERTY_RADIO, 268);
VANTIX_PIN_LAYOUT(T_PROPERTY_RADIO, sValue, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_RADIO, pSelectionList, 260);
VANTIX_PIN_LAYOUT(T_PROPERTY_RADIO, uiSelectionListSize, 264);

VANTIX_PIN_SIZE(T_PROPERTY_SPINBOX, 32);
VANTIX_PIN_LAYOUT(T_PROPERTY_SPINBOX, llValue, 0);
VANTIX_PIN_LAYOUT(T_PROPERTY_SPINBOX, llMaxValue, 8);
VANTIX_PIN_LAYOUT(T_PROPERTY_SPINBOX, llMinValue, 16);
VANTIX_PIN_LAYOUT(T_PROPERTY_SPINBOX, llStepValue, 24);

VANTIX_PIN_SIZE(T_CAHNNEL_PROPERTY, 76);
VANTIX_PIN_LAYOUT(T_CAHNNEL_PROPERTY, sPluginID, 0);
VANTIX_PIN_LAYOUT(T_CAHNNEL_PROPERTY, pPropertyItem, 68);
VANTIX_PIN_LAYOUT(T_CAHNNEL_PROPERTY, uiSize, 72);

static_assert(sizeof(E_PLUGIN_CATEGORY) == 4 && sizeof(E_METADATA_STATUS) == 4 &&
                  sizeof(E_EXPRESSION_TYPE) == 4 && sizeof(E_FILTER_TYPE) == 4 && sizeof(E_TAG_FORMAT) == 4 &&
                  sizeof(E_PLUGIN_PROPERTY_TYPE) == 4 && sizeof(E_INPUT_MODE) == 4 &&
                  sizeof(E_ENCODE_MODE) == 4 && sizeof(E_LANGUAGE_TYPE) == 4,
              "every enumeration crosses the interface as 32 bits");

#undef VANTIX_PIN_LAYOUT
#undef VANTIX_PIN_SIZE
#endif  // __i386__
