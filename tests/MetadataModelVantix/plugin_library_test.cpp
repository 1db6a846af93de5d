// The built plug-in as a host meets it: its ELF properties, its two entry
// points, and everything the model declares about itself to the host.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelVantix/MetadataModelVantix.h"

namespace {

// What a binary tool prints about the plug-in.
std::string Inspect(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " " VANTIX_PLUGIN_PATH).c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
    output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}

TEST(PluginLibrary, NamedByItsSonameExportingTwoEntryPointsAndLeavingTheRuntimeToTheHost) {
  const std::string dynamic = Inspect(VANTIX_READELF " -W -d");
  EXPECT_NE(std::string::npos, dynamic.find("Library soname: [libMetadataModelVantix.so]")) << dynamic;
  ASSERT_NE(std::string::npos, dynamic.find("(NEEDED)")) << dynamic;
  EXPECT_EQ(std::string::npos, dynamic.find("libapr")) << dynamic;
  EXPECT_EQ("CreatePluginModel\nReleasePluginModel\n", Inspect(VANTIX_NM " -D --defined-only -j"));
  EXPECT_NE(std::string::npos, Inspect(VANTIX_NM " -D --undefined-only -j").find("apr_pool_create"))
      << "the runtime is used, not linked";
}

// A field's text up to its NUL, and a space.
template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N)) + " ";
}

T_PLUGIN_ID PluginID(const char* sID) {
  T_PLUGIN_ID id;
  CopyText(id.sPluginID, sID);
  return id;
}

// "id name enabled type content" for one declared property, and a line end.
std::string Describe(const T_PROPERTY_UI_INFO& item) {
  std::ostringstream text;
  text << item.sUID << " " << item.sName << " " << item.bEnable << " " << item.ePropertyType << " ";
  if (item.ePropertyType == ePluginProperty_LineEdit) {
    const T_PROPERTY_LINEEDIT& edit = *static_cast<const T_PROPERTY_LINEEDIT*>(item.pContent);
    text << edit.sValue << " " << edit.uiMinLength << ".." << edit.uiMaxLength << " " << edit.eInputMode;
  } else if (item.ePropertyType == ePluginProperty_SpinBox) {
    const T_PROPERTY_SPINBOX& spin = *static_cast<const T_PROPERTY_SPINBOX*>(item.pContent);
    text << spin.llValue << " " << spin.llMinValue << ".." << spin.llMaxValue << " step " << spin.llStepValue;
  }
  return text.str() + "\n";
}

// The host reads the declared values right after CreatePluginModel; the
// entry point releases only live models of its own, also still initialised.
TEST(EntryPoints, AModelDeclaresItselfAndIsReleasedOnceAndOnlyByItsOwnPointer) {
  IPluginModel2* pModel = static_cast<IPluginModel2*>(CreatePluginModel());
  ASSERT_NE(nullptr, pModel);
  std::ostringstream text;
  T_PLUGIN_DEVICE_INFO info;
  memset(&info, 0x5A, sizeof(info));
  E_PLUGIN_CATEGORY eCategory = eMETADATA_CATEGORY_ALL;
  ASSERT_TRUE(pModel->GetPluginDeviceInfo(&info) && pModel->GetCategoryType(&eCategory));
  text << Text(info.sPluginID) << Text(info.sPluginVersion) << Text(info.sPluginName)
       << Text(info.sPluginInfo) << Text(info.sPluginVendor) << Text(info.sPluginModel)
       << Text(info.sPluginManufacture) << Text(info.sDeviceName) << Text(info.sDeviceInfo) << eCategory
       << "\n";

  unsigned int uiKinds = 0, uiRelations = 0, uiChildren = 9;
  T_PLUGIN_ID kind;
  T_PLUGIN_PARENT_CHILD_MAP_ITEM relation;
  const T_PLUGIN_ID channelKind = PluginID("ID_VANTIX_CH");
  ASSERT_TRUE(pModel->GetSupportChannelPluginIDSize(&uiKinds) && pModel->GetSupportChannelPluginID(&kind, 1));
  ASSERT_TRUE(pModel->GetChannelRelationSize(&uiRelations) && pModel->GetChannelRelation(&relation, 1));
  ASSERT_TRUE(pModel->GetSupportChildPluginIDSize(&channelKind, &uiChildren));
  text << uiKinds << " " << kind.sPluginID << " " << uiRelations << " " << relation.sPluginID << " "
       << relation.sChannelName << " " << relation.sChannelInfo << " " << relation.uiMaxNumber << " "
       << relation.uiMinNumber << " " << uiChildren << "\n";

  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiProfiles = 0;
  ASSERT_TRUE(pModel->CreateFilterProfile(&pProfiles, &uiProfiles) && uiProfiles == 1);
  const T_PLUGIN_FILTER_PROFILE& profile = pProfiles[0];
  text << profile.sPluginID << " " << profile.eLangType << " " << profile.uiTransactionTimeout << " "
       << profile.uiFilterItemSize << " " << profile.uiTagItemSize << "\n";
  EXPECT_TRUE(pModel->ReleaseFilterProfile(&pProfiles, uiProfiles));

  for (const char* sOwner : {"ID_VANTIX", "ID_VANTIX_CH"}) {
    const T_PLUGIN_ID owner = PluginID(sOwner);
    unsigned int uiSize = 0;
    T_SUPPORT_EVENT_ID declared[4];
    ASSERT_TRUE(pModel->GetSupportEventSize(&owner, &uiSize) && uiSize <= 4);
    ASSERT_TRUE(pModel->GetSupportEvent(&owner, declared, uiSize));
    text << sOwner;
    for (unsigned int i = 0; i < uiSize; ++i) text << " " << declared[i].uiEventID;
    text << "\n";
  }

  T_PROPERTY_UI_INFO* pSource = nullptr;
  unsigned int uiSource = 0;
  ASSERT_TRUE(pModel->CreateSourcePropertyList(&pSource, &uiSource) && uiSource == 2);
  text << Describe(pSource[0]) << Describe(pSource[1]);
  EXPECT_TRUE(pModel->ReleaseSourcePropertyList(&pSource, uiSource));
  T_CAHNNEL_PROPERTY* pChannel = nullptr;
  ASSERT_TRUE(pModel->CreateChannelPropertyList(&pChannel, &uiKinds) && uiKinds == 1 &&
              pChannel[0].uiSize == 1);
  text << pChannel[0].sPluginID << " " << Describe(pChannel[0].pPropertyItem[0]);
  EXPECT_TRUE(pModel->ReleaseChannelPropertyList(&pChannel, uiKinds));
  EXPECT_EQ(
      "ID_VANTIX 2.0.0.5 Vantix Vantix Vantix Vantix Vantix Vantix Vantix 16\n"
      "1 ID_VANTIX_CH 1 ID_VANTIX_CH Vantix Vantix 1024 1 0\n"
      "ID_VANTIX_CH 0 10 0 0\n"
      "ID_VANTIX 3600 3601\nID_VANTIX_CH 3902 3903\n"
      "ModelVantixIP Server IP 1 1 127.0.0.1 1..253 0\n"
      "ModelVantixServerPort Server Port 1 5 7000 1..65535 step 1\n"
      "ID_VANTIX_CH ModelVantixCH Channel ID 1 5 0 0..512 step 1\n",
      text.str());
  EXPECT_FALSE(ReleasePluginModel(nullptr));
  EXPECT_FALSE(ReleasePluginModel(reinterpret_cast<IPluginModel1*>(reinterpret_cast<char*>(pModel) + 8)));
  ASSERT_TRUE(pModel->Initialize());
  EXPECT_TRUE(ReleasePluginModel(pModel));
  EXPECT_FALSE(ReleasePluginModel(pModel)) << "a second release must not free again";
}

}  // namespace
