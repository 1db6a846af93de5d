// A plug-in whose CreatePluginModel gives no model.

#include "MetadataModelBase/IPluginModel.h"

extern "C" __attribute__((visibility("default"))) IPluginModel1* CreatePluginModel() { return nullptr; }

extern "C" __attribute__((visibility("default"))) bool ReleasePluginModel(IPluginModel1* model) {
  return model != nullptr;
}
