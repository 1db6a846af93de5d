#pragma once

// The built plug-in as a host loads it: by path, its two entry points looked up by name.

#include <dlfcn.h>

#include "MetadataModelBase/IPluginModel.h"

namespace vantix_test {

class LoadedPlugin {
 public:
  LoadedPlugin() : m_pLibrary(dlopen(VANTIX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (m_pLibrary == nullptr) return;
    m_fnCreate = reinterpret_cast<fnCreatePluginModel>(dlsym(m_pLibrary, "CreatePluginModel"));
    m_fnRelease = reinterpret_cast<fnReleasePluginModel>(dlsym(m_pLibrary, "ReleasePluginModel"));
  }
  ~LoadedPlugin() {
    if (m_pLibrary != nullptr) dlclose(m_pLibrary);
  }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  // Null when the library or an entry point is missing.
  IPluginModel2* Create() const {
    return m_fnCreate != nullptr && m_fnRelease != nullptr ? static_cast<IPluginModel2*>(m_fnCreate())
                                                           : nullptr;
  }
  bool Release(IPluginModel1* pModel) const { return m_fnRelease != nullptr && m_fnRelease(pModel); }

 private:
  void* m_pLibrary;
  fnCreatePluginModel m_fnCreate = nullptr;
  fnReleasePluginModel m_fnRelease = nullptr;
};

}  // namespace vantix_test
