#include "MetadataModelBase/MetadataProperty.h"

CMetadataProperty::CMetadataProperty() : m_bEnable(true), m_ePropertyType(ePluginProperty_None) {}

CMetadataProperty::~CMetadataProperty() {}
