// The built plug-in as a host meets it: its ELF properties, its two entry
// points, and everything the model declares about itself to the host.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelVantix/MetadataModelVantix.h"

namespace {

std::string ReadElf(const std::string& options) {
  std::string output;
  FILE* pipe = popen((std::string(VANTIX_READELF) + " -W " + options + " " VANTIX_PLUGIN_PATH).c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}

TEST(PluginLibrary, NamedByItsSonameExportingTwoEntryPointsAndLeavingTheRuntimeToTheHost) {
  const std::string dynamic = ReadElf("-d");
  EXPECT_NE(std::string::npos, dynamic.find("Library soname: [libMetadataModelVantix.so]")) << dynamic;
  ASSERT_NE(std::string::npos, dynamic.find("(NEEDED)")) << dynamic;
  EXPECT_EQ(std::string::npos, dynamic.find("libapr")) << dynamic;
  std::istringstream table(ReadElf("--dyn-syms"));
  std::set<std::string> defined;
  std::string undefined = " ", line, num, value, size, type, bind, vis, ndx, name;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    if (!(fields >> num >> value >> size >> type >> bind >> vis >> ndx >> name) || !isdigit(num[0])) continue;
    if (ndx != "UND") defined.insert(name.substr(0, name.find('@')));
    if (ndx == "UND") undefined += name + " ";
  }
  EXPECT_EQ((std::set<std::string>{"CreatePluginModel", "ReleasePluginModel"}), defined);
  EXPECT_NE(std::string::npos, undefined.find(" apr_pool_create")) << "the runtime is used, not linked";
}

TEST(EntryPoints, ReleaseOnlyLiveModelsOfTheirOwnAlsoWhenStillInitialised) {
  EXPECT_FALSE(ReleasePluginModel(nullptr));
  IPluginModel1* pModel = CreatePluginModel();
  ASSERT_NE(nullptr, pModel);
  EXPECT_FALSE(ReleasePluginModel(reinterpret_cast<IPluginModel1*>(reinterpret_cast<char*>(pModel) + 8)));
  ASSERT_TRUE(pModel->Initialize());
  EXPECT_TRUE(ReleasePluginModel(pModel));
  EXPECT_FALSE(ReleasePluginModel(pModel)) << "a second release must not free again";
}

// The whole field: the text, then NUL to its end.
template <size_t N>
void ExpectField(const char (&field)[N], const std::string& text) {
  EXPECT_EQ(text + std::string(N - text.size(), '\0'), std::string(field, N));
}

T_PLUGIN_ID PluginID(const char* sID) {
  T_PLUGIN_ID id;
  CopyText(id.sPluginID, sID);
  return id;
}

// "id name enabled type content" for one declared property.
std::string Describe(const T_PROPERTY_UI_INFO& item) {
  std::string text = std::string(item.sUID) + " " + item.sName + " " + (item.bEnable ? "on " : "off ");
  if (item.ePropertyType == ePluginProperty_LineEdit) {
    const T_PROPERTY_LINEEDIT& edit = *static_cast<const T_PROPERTY_LINEEDIT*>(item.pContent);
    return text + "edit " + edit.sValue + " " + std::to_string(edit.uiMinLength) + ".." +
           std::to_string(edit.uiMaxLength) + " " + std::to_string(edit.eInputMode) + std::to_string(edit.eEncodeMode);
  }
  if (item.ePropertyType != ePluginProperty_SpinBox) return text + "type " + std::to_string(item.ePropertyType);
  const T_PROPERTY_SPINBOX& spin = *static_cast<const T_PROPERTY_SPINBOX*>(item.pContent);
  return text + "spin " + std::to_string(spin.llValue) + " " + std::to_string(spin.llMinValue) + ".." +
         std::to_string(spin.llMaxValue) + " step " + std::to_string(spin.llStepValue);
}

// The host reads the declared values right after CreatePluginModel.
TEST(DeclaredValues, DeviceChannelKindFilterProfileEventsAndSettings) {
  IPluginModel2* pModel = static_cast<IPluginModel2*>(CreatePluginModel());
  T_PLUGIN_DEVICE_INFO info;
  memset(&info, 0x5A, sizeof(info));
  ASSERT_TRUE(pModel->GetPluginDeviceInfo(&info));
  ExpectField(info.sPluginID, "ID_VANTIX");
  ExpectField(info.sPluginVersion, "2.0.0.5");
  ExpectField(info.sPluginName, "Vantix");
  ExpectField(info.sPluginInfo, "Vantix");
  ExpectField(info.sPluginVendor, "Vantix");
  ExpectField(info.sPluginModel, "Vantix");
  ExpectField(info.sPluginManufacture, "Vantix");
  ExpectField(info.sDeviceName, "Vantix");
  ExpectField(info.sDeviceInfo, "Vantix");
  E_PLUGIN_CATEGORY eCategory = eMETADATA_CATEGORY_ALL;
  ASSERT_TRUE(pModel->GetCategoryType(&eCategory));
  EXPECT_EQ(16u, static_cast<unsigned int>(eCategory));

  unsigned int uiKinds = 0, uiRelations = 0, uiChildren = 9;
  T_PLUGIN_ID kind;
  T_PLUGIN_PARENT_CHILD_MAP_ITEM relation;
  const T_PLUGIN_ID channelKind = PluginID("ID_VANTIX_CH");
  ASSERT_TRUE(pModel->GetSupportChannelPluginIDSize(&uiKinds) && pModel->GetSupportChannelPluginID(&kind, 1));
  ASSERT_TRUE(pModel->GetChannelRelationSize(&uiRelations) && pModel->GetChannelRelation(&relation, 1));
  ASSERT_TRUE(pModel->GetSupportChildPluginIDSize(&channelKind, &uiChildren));
  EXPECT_EQ("1 ID_VANTIX_CH 1 ID_VANTIX_CH Vantix Vantix 1024 1 0",
            std::to_string(uiKinds) + " " + kind.sPluginID + " " + std::to_string(uiRelations) + " " +
                relation.sPluginID + " " + relation.sChannelName + " " + relation.sChannelInfo + " " +
                std::to_string(relation.uiMaxNumber) + " " + std::to_string(relation.uiMinNumber) + " " +
                std::to_string(uiChildren));

  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiProfiles = 0;
  ASSERT_TRUE(pModel->CreateFilterProfile(&pProfiles, &uiProfiles));
  ASSERT_EQ(1u, uiProfiles);
  EXPECT_STREQ("ID_VANTIX_CH", pProfiles[0].sPluginID);
  EXPECT_EQ(eLang_UTF8, pProfiles[0].eLangType);
  EXPECT_EQ(10u, pProfiles[0].uiTransactionTimeout);
  EXPECT_EQ(0u, pProfiles[0].uiFilterItemSize + pProfiles[0].uiTagItemSize);
  EXPECT_TRUE(pModel->ReleaseFilterProfile(&pProfiles, uiProfiles));

  const std::pair<const char*, const char*> kEvents[] = {{"ID_VANTIX", "3600 3601 "}, {"ID_VANTIX_CH", "3902 3903 "}};
  for (const auto& declared : kEvents) {
    const T_PLUGIN_ID owner = PluginID(declared.first);
    unsigned int uiSize = 0;
    T_SUPPORT_EVENT_ID events[4];
    ASSERT_TRUE(pModel->GetSupportEventSize(&owner, &uiSize) && uiSize <= 4);
    ASSERT_TRUE(pModel->GetSupportEvent(&owner, events, uiSize));
    std::string codes;
    for (unsigned int i = 0; i < uiSize; ++i) codes += std::to_string(events[i].uiEventID) + " ";
    EXPECT_EQ(declared.second, codes);
  }

  T_PROPERTY_UI_INFO* pSource = nullptr;
  unsigned int uiSource = 0;
  ASSERT_TRUE(pModel->CreateSourcePropertyList(&pSource, &uiSource));
  ASSERT_EQ(2u, uiSource);
  EXPECT_EQ("ModelVantixIP Server IP on edit 127.0.0.1 1..253 00", Describe(pSource[0]));
  EXPECT_EQ("ModelVantixServerPort Server Port on spin 7000 1..65535 step 1", Describe(pSource[1]));
  EXPECT_TRUE(pModel->ReleaseSourcePropertyList(&pSource, uiSource));

  T_CAHNNEL_PROPERTY* pChannel = nullptr;
  ASSERT_TRUE(pModel->CreateChannelPropertyList(&pChannel, &uiKinds));
  ASSERT_EQ(1u, uiKinds);
  EXPECT_STREQ("ID_VANTIX_CH", pChannel[0].sPluginID);
  ASSERT_EQ(1u, pChannel[0].uiSize);
  EXPECT_EQ("ModelVantixCH Channel ID on spin 0 0..512 step 1", Describe(pChannel[0].pPropertyItem[0]));
  EXPECT_TRUE(pModel->ReleaseChannelPropertyList(&pChannel, uiKinds));
  EXPECT_TRUE(ReleasePluginModel(pModel));
}

}  // namespace
