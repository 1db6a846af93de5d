// The built plug-in as a host meets it: its ELF properties, its two entry
// points found by name, and what they do with good and bad pointers.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "MetadataModelBase/IPluginModel.h"

namespace {

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

std::string DynamicSection() { return RunCommand(std::string(VANTIX_READELF) + " -dW " VANTIX_PLUGIN_PATH); }

// Names of the symbols the library defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols() {
  std::istringstream table(RunCommand(std::string(VANTIX_READELF) + " --dyn-syms -W " VANTIX_PLUGIN_PATH));
  std::set<std::string> names;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string num, value, size, type, bind, vis, ndx, name;
    if (!(fields >> num >> value >> size >> type >> bind >> vis >> ndx >> name)) continue;
 if (!isdigit(static_cast<unsigned char>(num[0])) || ndx == "UND" || type == "SECTION" || type == "FILE") continue;
    names.insert(name.substr(0, name.find('@')));
  }
  return names;
}

TEST(PluginLibraryTest, SonameIsTheLibraryFileName) {
  EXPECT_NE(std::string::npos, DynamicSection().find("Library soname: [libMetadataModelVantix.so]"));
}

TEST(PluginLibraryTest, ExportsExactlyTheTwoEntryPoints) {
  EXPECT_EQ((std::set<std::string>{"CreatePluginModel", "ReleasePluginModel"}), DefinedDynamicSymbols());
}

TEST(PluginLibraryTest, LeavesTheRuntimeToTheHost) {
  const std::string dynamic = DynamicSection();
  ASSERT_NE(std::string::npos, dynamic.find("(NEEDED)")) << dynamic;
  EXPECT_EQ(std::string::npos, dynamic.find("libapr")) << dynamic;
  const std::string imports = RunCommand(std::string(VANTIX_READELF) + " --dyn-syms -W " VANTIX_PLUGIN_PATH);
  EXPECT_NE(std::string::npos, imports.find("apr_pool_create")) << "the runtime is used, not linked";
}

// Loads the plug-in the way a host does.
class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    m_handle = dlopen(VANTIX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, m_handle) << dlerror();
    m_create = reinterpret_cast<fnCreatePluginModel>(dlsym(m_handle, "CreatePluginModel"));
    m_release = reinterpret_cast<fnReleasePluginModel>(dlsym(m_handle, "ReleasePluginModel"));
    ASSERT_NE(nullptr, m_create);
    ASSERT_NE(nullptr, m_release);
  }
  void TearDown() override {
    if (m_handle != nullptr) dlclose(m_handle);
  }

  void* m_handle = nullptr;
  fnCreatePluginModel m_create = nullptr;
  fnReleasePluginModel m_release = nullptr;
};

TEST_F(LoadedPlugin, CreatesAConstructedModelAndReleasesIt) {
  IPluginModel1* pModel = m_create();
  ASSERT_NE(nullptr, pModel);
  T_PLUGIN_DEVICE_INFO info;
  ASSERT_TRUE(pModel->GetPluginDeviceInfo(&info));
  EXPECT_STREQ("ID_VANTIX", info.sPluginID);
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTED;
  EXPECT_TRUE(pModel->GetStatus(&eStatus));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, eStatus);
  EXPECT_TRUE(m_release(pModel));
}

TEST_F(LoadedPlugin, RefusesNullForeignAndAlreadyReleasedPointers) {
  EXPECT_FALSE(m_release(nullptr));
  IPluginModel1* pModel = m_create();
  ASSERT_NE(nullptr, pModel);
  IPluginModel1* pInside = reinterpret_cast<IPluginModel1*>(reinterpret_cast<char*>(pModel) + 8);
  EXPECT_FALSE(m_release(pInside));
  EXPECT_TRUE(m_release(pModel));
  EXPECT_FALSE(m_release(pModel)) << "a second release must not free again";
}

TEST_F(LoadedPlugin, ModelsAreIndependentAndInitialiseSideBySide) {
  IPluginModel1* pFirst = m_create();
  IPluginModel1* pSecond = m_create();
  ASSERT_NE(pFirst, pSecond);
  EXPECT_TRUE(pFirst->SetDeviceID(7));
  unsigned long long ullID = 0;
  EXPECT_TRUE(pSecond->GetDeviceID(&ullID));
  EXPECT_EQ(0u, ullID);
  EXPECT_TRUE(pFirst->Initialize());
  EXPECT_TRUE(pSecond->Initialize());
  EXPECT_TRUE(pFirst->Uninitialize());
  EXPECT_TRUE(m_release(pFirst));
  // Released while still initialised: the model uninitialises itself.
  EXPECT_TRUE(m_release(pSecond));
}

}  // namespace
