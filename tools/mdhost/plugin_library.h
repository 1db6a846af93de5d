#pragma once

#include <memory>
#include <string>

#include "MetadataModelBase/IPluginModel.h"

// A plug-in loaded by path, as a host loads it: dlopen with RTLD_NOW and
// RTLD_LOCAL, then its two entry points by name. Unloaded on destruction,
// so every model it created must be released before.
class PluginLibrary {
 public:
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Null when the plug-in cannot be loaded or lacks an entry point, after one
  // message on standard error that names the cause.
  static std::unique_ptr<PluginLibrary> Load(const std::string& path);

  const std::string& Path() const { return m_path; }
  IPluginModel1* CreateModel() const { return m_create(); }
  bool ReleaseModel(IPluginModel1* model) const { return m_release(model); }

 private:
  PluginLibrary(std::string path, void* handle, fnCreatePluginModel create, fnReleasePluginModel release);

  std::string m_path;
  void* m_handle;
  fnCreatePluginModel m_create;
  fnReleasePluginModel m_release;
};

// One model of a plug-in, given back with ReleasePluginModel when it goes
// out of scope unless Release() did that already. The interface's models
// are IPluginModel2 objects handed out through their IPluginModel1 base.
class PluginModel {
 public:
  ~PluginModel();
  PluginModel(const PluginModel&) = delete;
  PluginModel& operator=(const PluginModel&) = delete;

  // Null, after a message on standard error, when CreatePluginModel gives
  // no model.
  static std::unique_ptr<PluginModel> Create(const PluginLibrary& library);

  IPluginModel2* operator->() const { return m_model; }
  IPluginModel2& operator*() const { return *m_model; }

  // ReleasePluginModel's result; false when the model was released already.
  bool Release();

 private:
  PluginModel(const PluginLibrary& library, IPluginModel1* model);

  const PluginLibrary& m_library;
  IPluginModel1* m_handedOut;
  IPluginModel2* m_model;
};
