#include "tools/mdhost/plugin_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

namespace {

const int kHostBits = static_cast<int>(sizeof(void*) * 8);

// The word size that a file's ELF header declares: 32 or 64, or 0 when the
// file does not start with an ELF header; nothing when the file cannot be
// read (no descriptor left, no permission), which dlopen's own message
// then explains.
std::optional<int> ElfBits(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  unsigned char ident[5] = {0, 0, 0, 0, 0};
  if (!file.read(reinterpret_cast<char*>(ident), sizeof(ident))) return 0;
  if (memcmp(ident,
             "\x7F"
             "ELF",
             4) != 0)
    return 0;
  switch (ident[4]) {
    case 1: return 32;
    case 2: return 64;
    default: return 0;
  }
}

// Why dlopen refused the file, in the words an integrator needs first.
std::string LoadFailureCause(const std::string& path, const char* dlopenError) {
  const std::string detail = dlopenError != nullptr ? dlopenError : "unknown dlopen failure";
  const std::optional<int> bits = ElfBits(path);
  if (!bits) return detail;
  if (*bits == 0) return "not an ELF shared object (" + detail + ")";
  if (*bits != kHostBits) {
    return "it is a " + std::to_string(*bits) + "-bit plug-in; this mdhost is " + std::to_string(kHostBits) +
           "-bit (" + detail + ")";
  }
  return detail;
}

// dlopen searches the library path for a name without a slash; a plug-in
// given on the command line is always meant as a file.
std::string AsFilePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

template <typename Function>
Function LookUp(void* handle, const char* name) {
  return reinterpret_cast<Function>(dlsym(handle, name));
}

}  // namespace

PluginLibrary::PluginLibrary(std::string path, void* handle, fnCreatePluginModel create,
                             fnReleasePluginModel release)
    : m_path(std::move(path)), m_handle(handle), m_create(create), m_release(release) {}

PluginLibrary::~PluginLibrary() { dlclose(m_handle); }

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    fprintf(stderr, "mdhost: cannot load %s: %s\n", path.c_str(), strerror(errno));
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    fprintf(stderr, "mdhost: cannot load %s: not a regular file\n", path.c_str());
    return nullptr;
  }
  void* handle = dlopen(AsFilePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    fprintf(stderr, "mdhost: cannot load %s: %s\n", path.c_str(), LoadFailureCause(path, dlerror()).c_str());
    return nullptr;
  }
  const auto create = LookUp<fnCreatePluginModel>(handle, "CreatePluginModel");
  const auto release = LookUp<fnReleasePluginModel>(handle, "ReleasePluginModel");
  if (create == nullptr || release == nullptr) {
    fprintf(stderr, "mdhost: %s is not a plug-in of this interface: it does not export %s\n", path.c_str(),
            create == nullptr ? "CreatePluginModel" : "ReleasePluginModel");
    dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<PluginLibrary>(new PluginLibrary(path, handle, create, release));
}

PluginModel::PluginModel(const PluginLibrary& library, IPluginModel1* model)
    : m_library(library), m_handedOut(model), m_model(static_cast<IPluginModel2*>(model)) {}

PluginModel::~PluginModel() { Release(); }

std::unique_ptr<PluginModel> PluginModel::Create(const PluginLibrary& library) {
  IPluginModel1* model = library.CreateModel();
  if (model == nullptr) {
    fprintf(stderr, "mdhost: CreatePluginModel of %s returned no model\n", library.Path().c_str());
    return nullptr;
  }
  return std::unique_ptr<PluginModel>(new PluginModel(library, model));
}

bool PluginModel::Release() {
  if (m_handedOut == nullptr) return false;
  IPluginModel1* model = m_handedOut;
  m_handedOut = nullptr;
  m_model = nullptr;
  return m_library.ReleaseModel(model);
}
