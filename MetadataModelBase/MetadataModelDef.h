#pragma once

// Records in which the model base keeps its configuration values and the
// data that a concrete model declares about itself.

#include <string>
#include <vector>

#include "MetadataModelBase/PluginModelDef.h"

// One configuration value: a property identifier and its value as text.
struct T_METADATA_CONFIG {
  std::string strPropertyID;
  std::string strValue;
};
typedef T_METADATA_CONFIG TMetadataConfig;

struct T_CHANNEL_INFO {
  std::string strChPluginID;
};

struct T_PARENT_CHILD_MAP_ITEM {
  std::string strPluginID;
  std::string strName;
  std::string strInfo;
  unsigned int uiMaxNumber;
  unsigned int uiMinNumber;
  std::vector<std::string> vChildPluginID;
};

struct T_FILTER_ITEM {
  E_FILTER_TYPE eFilterType;
  E_EXPRESSION_TYPE eExpressionType;
  std::string strSource;
  std::string strTarget;
};

struct T_TAG_ITEM {
  std::string strName;
  std::string strPreTag;
  std::string strPostTag;
  E_TAG_FORMAT eTagFormat;
};

struct T_CHANNEL_PROFILE {
  std::string strChPluginID;
  E_LANGUAGE_TYPE eLangType;
  unsigned int uiTransactionTimeout;
  std::vector<T_FILTER_ITEM> vFilterItem;
  std::vector<T_TAG_ITEM> vTagItem;
};

struct T_SUPPORT_EVENT {
  std::string strPluginID;
  std::vector<unsigned int> vEventID;
};
