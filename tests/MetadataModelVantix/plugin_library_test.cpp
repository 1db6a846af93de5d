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

// A field's text, or a mark when no NUL ends it within the field.
template <size_t N>
std::string Text(const char (&field)[N]) {
  return memchr(field, '\0', N) != nullptr ? std::string(field) + " " : "<unterminated> ";
}

T_PLUGIN_ID PluginID(const char* sID) {
  T_PLUGIN_ID id;
  CopyText(id.sPluginID, sID);
  return id;
}

// "id name enabled type content" for one declared property.
std::string Describe(const T_PROPERTY_UI_INFO& item) {
  std::ostringstream text;
  text << item.sUID << " " << item.sName << " " << item.bEnable << " " << item.ePropertyType << " ";
  if (item.ePropertyType == ePluginProperty_LineEdit) {
    const T_PROPERTY_LINEEDIT& edit = *static_cast<const T_PROPERTY_LINEEDIT*>(item.pContent);
    text << edit.sValue << " " << edit.uiMinLength << ".." << edit.uiMaxLength << " " << edit.eInputMode << " "
         << edit.eEncodeMode;
  } else if (item.ePropertyType == ePluginProperty_SpinBox) {
    const T_PROPERTY_SPINBOX& spin = *static_cast<const T_PROPERTY_SPINBOX*>(item.pContent);
    text << spin.llValue << " " << spin.llMinValue << ".." << spin.llMaxValue << " step " << spin.llStepValue;
  }
  return text.str();
}

// The host reads the declared values right after CreatePluginModel.
TEST(DeclaredValues, DeviceChannelKindFilterProfileEventsAndSettings) {
  IPluginModel2* pModel = static_cast<IPluginModel2*>(CreatePluginModel());
  T_PLUGIN_DEVICE_INFO info;
  memset(&info, 0x5A, sizeof(info));
  E_PLUGIN_CATEGORY eCategory = eMETADATA_CATEGORY_ALL;
  ASSERT_TRUE(pModel->GetPluginDeviceInfo(&info) && pModel->GetCategoryType(&eCategory));
  EXPECT_EQ("ID_VANTIX 2.0.0.5 Vantix Vantix Vantix Vantix Vantix Vantix Vantix 16 ",
            Text(info.sPluginID) + Text(info.sPluginVersion) + Text(info.sPluginName) + Text(info.sPluginInfo) +
                Text(info.sPluginVendor) + Text(info.sPluginModel) + Text(info.sPluginManufacture) +
                Text(info.sDeviceName) + Text(info.sDeviceInfo) + std::to_string(eCategory) + " ");

  unsigned int uiKinds = 0, uiRelations = 0, uiChildren = 9;
  T_PLUGIN_ID kind;
  T_PLUGIN_PARENT_CHILD_MAP_ITEM relation;
  const T_PLUGIN_ID channelKind = PluginID("ID_VANTIX_CH");
  ASSERT_TRUE(pModel->GetSupportChannelPluginIDSize(&uiKinds) && pModel->GetSupportChannelPluginID(&kind, 1));
  ASSERT_TRUE(pModel->GetChannelRelationSize(&uiRelations) && pModel->GetChannelRelation(&relation, 1));
  ASSERT_TRUE(pModel->GetSupportChildPluginIDSize(&channelKind, &uiChildren));
  std::ostringstream kinds;
  kinds << uiKinds << " " << kind.sPluginID << " " << uiRelations << " " << relation.sPluginID << " "
        << relation.sChannelName << " " << relation.sChannelInfo << " " << relation.uiMaxNumber << " "
        << relation.uiMinNumber << " " << uiChildren;
  EXPECT_EQ("1 ID_VANTIX_CH 1 ID_VANTIX_CH Vantix Vantix 1024 1 0", kinds.str());

  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiProfiles = 0;
  ASSERT_TRUE(pModel->CreateFilterProfile(&pProfiles, &uiProfiles));
  ASSERT_EQ(1u, uiProfiles);
  std::ostringstream profile;
  profile << pProfiles[0].sPluginID << " " << pProfiles[0].eLangType << " " << pProfiles[0].uiTransactionTimeout
          << " " << pProfiles[0].uiFilterItemSize << " " << pProfiles[0].uiTagItemSize;
  EXPECT_EQ("ID_VANTIX_CH 0 10 0 0", profile.str());
  EXPECT_TRUE(pModel->ReleaseFilterProfile(&pProfiles, uiProfiles));

  std::string events;
  for (const char* sOwner : {"ID_VANTIX", "ID_VANTIX_CH"}) {
    const T_PLUGIN_ID owner = PluginID(sOwner);
    unsigned int uiSize = 0;
    T_SUPPORT_EVENT_ID declared[4];
    ASSERT_TRUE(pModel->GetSupportEventSize(&owner, &uiSize) && uiSize <= 4);
    ASSERT_TRUE(pModel->GetSupportEvent(&owner, declared, uiSize));
    for (unsigned int i = 0; i < uiSize; ++i) events += std::to_string(declared[i].uiEventID) + " ";
    events += "| ";
  }
  EXPECT_EQ("3600 3601 | 3902 3903 | ", events);

  T_PROPERTY_UI_INFO* pSource = nullptr;
  unsigned int uiSource = 0;
  ASSERT_TRUE(pModel->CreateSourcePropertyList(&pSource, &uiSource));
  ASSERT_EQ(2u, uiSource);
  EXPECT_EQ("ModelVantixIP Server IP 1 1 127.0.0.1 1..253 0 0", Describe(pSource[0]));
  EXPECT_EQ("ModelVantixServerPort Server Port 1 5 7000 1..65535 step 1", Describe(pSource[1]));
  EXPECT_TRUE(pModel->ReleaseSourcePropertyList(&pSource, uiSource));
  T_CAHNNEL_PROPERTY* pChannel = nullptr;
  ASSERT_TRUE(pModel->CreateChannelPropertyList(&pChannel, &uiKinds));
  ASSERT_TRUE(uiKinds == 1 && pChannel[0].uiSize == 1);
  EXPECT_STREQ("ID_VANTIX_CH", pChannel[0].sPluginID);
  EXPECT_EQ("ModelVantixCH Channel ID 1 5 0 0..512 step 1", Describe(pChannel[0].pPropertyItem[0]));
  EXPECT_TRUE(pModel->ReleaseChannelPropertyList(&pChannel, uiKinds));
  EXPECT_TRUE(ReleasePluginModel(pModel));
}

}  // namespace
