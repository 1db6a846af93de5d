// Filter profiles and supported events as the host reads them.

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "MetadataModelBase/HostRecords.h"
#include "MetadataModelVantix/MetadataModelVantix.h"
#include "handed_out_list.h"
#include "list_test_model.h"
#include "live_allocations.h"

namespace {

T_PLUGIN_ID PluginID(const std::string& text) {
  T_PLUGIN_ID id;
  CopyText(id.sPluginID, text);
  return id;
}

T_FILTER_ITEM FilterItem(E_FILTER_TYPE eType, E_EXPRESSION_TYPE eExpression, const std::string& strSource,
                         const std::string& strTarget) {
  T_FILTER_ITEM item;
  item.eFilterType = eType;
  item.eExpressionType = eExpression;
  item.strSource = strSource;
  item.strTarget = strTarget;
  return item;
}

T_CHANNEL_PROFILE ProfileWithItems() {
  T_CHANNEL_PROFILE profile;
  profile.strChPluginID = "ID_TEST_CH";
  profile.eLangType = eLang_BIG5;
  profile.uiTransactionTimeout = 25;
  profile.vFilterItem.push_back(FilterItem(eFTypeReplace, eETypeRE, std::string(70, 's'), "to"));
  profile.vFilterItem.push_back(FilterItem(eFTypeOmit, eETypeWildCard, "*noise*", ""));
  T_TAG_ITEM tag;
  tag.strName = "plate";
  tag.strPreTag = "<plate>";
  tag.strPostTag = "</plate>";
  tag.eTagFormat = eTagFormatNum;
  profile.vTagItem.push_back(tag);
  return profile;
}

class FilterProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { model.AddFilterProfile(ProfileWithItems()); }
  void TearDown() override { EXPECT_EQ(0u, model.GetHandedOutArrayCount()); }

  CListTestModel model;
  CHandedOutList<T_PLUGIN_FILTER_PROFILE> list{model, &CMetadataModelBase1::CreateFilterProfile,
                                               &CMetadataModelBase1::ReleaseFilterProfile};
};

// --- Filter profiles ---------------------------------------------------------------

TEST(VantixFilterProfile, OneUtf8ProfileForTheChannelKindWithoutItems) {
  CMetadataModelVantix model;
  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiSize = 99;
  ASSERT_TRUE(model.CreateFilterProfile(&pProfiles, &uiSize));
  ASSERT_EQ(1u, uiSize);
  ASSERT_NE(nullptr, pProfiles);
  EXPECT_STREQ("ID_VANTIX_CH", pProfiles[0].sPluginID);
  EXPECT_EQ(eLang_UTF8, pProfiles[0].eLangType);
  EXPECT_EQ(10u, pProfiles[0].uiTransactionTimeout);
  EXPECT_EQ(0u, pProfiles[0].uiFilterItemSize);
  EXPECT_EQ(nullptr, pProfiles[0].pPluginFilterItem);
  EXPECT_EQ(0u, pProfiles[0].uiTagItemSize);
  EXPECT_EQ(nullptr, pProfiles[0].pPluginTagItem);

  EXPECT_TRUE(model.ReleaseFilterProfile(&pProfiles, uiSize));
  EXPECT_EQ(nullptr, pProfiles);
  EXPECT_EQ(0u, model.GetHandedOutArrayCount());
}

TEST_F(FilterProfileTest, ItemsAndTagsCopiedInDeclaredOrder) {
  T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
  unsigned int uiSize = 0;
  ASSERT_TRUE(model.CreateFilterProfile(&pProfiles, &uiSize));
  ASSERT_EQ(1u, uiSize);
  const T_PLUGIN_FILTER_PROFILE& profile = pProfiles[0];
  EXPECT_STREQ("ID_TEST_CH", profile.sPluginID);
  EXPECT_EQ(eLang_BIG5, profile.eLangType);
  EXPECT_EQ(25u, profile.uiTransactionTimeout);

  ASSERT_EQ(2u, profile.uiFilterItemSize);
  ASSERT_NE(nullptr, profile.pPluginFilterItem);
  const T_PLUGIN_FILTER_ITEM& first = profile.pPluginFilterItem[0];
  EXPECT_EQ(eFTypeReplace, first.eFilterType);
  EXPECT_EQ(eETypeRE, first.eExpressionType);
  EXPECT_EQ(std::string(64, 's'), first.sSource);  // 70 bytes cut to 64 and a NUL
  EXPECT_EQ('\0', first.sSource[64]);
  EXPECT_STREQ("to", first.sTarget);
  const T_PLUGIN_FILTER_ITEM& second = profile.pPluginFilterItem[1];
  EXPECT_EQ(eFTypeOmit, second.eFilterType);
  EXPECT_EQ(eETypeWildCard, second.eExpressionType);
  EXPECT_STREQ("*noise*", second.sSource);
  EXPECT_STREQ("", second.sTarget);

  ASSERT_EQ(1u, profile.uiTagItemSize);
  ASSERT_NE(nullptr, profile.pPluginTagItem);
  EXPECT_STREQ("plate", profile.pPluginTagItem[0].sName);
  EXPECT_STREQ("<plate>", profile.pPluginTagItem[0].sPreTag);
  EXPECT_STREQ("</plate>", profile.pPluginTagItem[0].sPostTag);
  EXPECT_EQ(eTagFormatNum, profile.pPluginTagItem[0].eTagFormat);

  EXPECT_TRUE(model.ReleaseFilterProfile(&pProfiles, uiSize));
  EXPECT_EQ(nullptr, pProfiles);
}

TEST_F(FilterProfileTest, ReleaseFreesExactlyWhatWasMade) {
  model.AddFilterProfile(ProfileWithItems());
  ExpectReleaseFreesExactlyWhatWasMade(list, {0, 1, 9});
}

TEST_F(FilterProfileTest, ForeignAndReleasedPointersAreRefusedUntouched) {
  ExpectForeignAndReleasedPointersRefused(list);
}

TEST_F(FilterProfileTest, SeveralSetsAreIndependent) {
  T_PLUGIN_FILTER_PROFILE* pFirst = nullptr;
  T_PLUGIN_FILTER_PROFILE* pSecond = nullptr;
  unsigned int uiFirst = 0;
  unsigned int uiSecond = 0;
  ASSERT_TRUE(model.CreateFilterProfile(&pFirst, &uiFirst));
  ASSERT_TRUE(model.CreateFilterProfile(&pSecond, &uiSecond));
  ASSERT_NE(pFirst, pSecond);
  EXPECT_NE(pFirst[0].pPluginFilterItem, pSecond[0].pPluginFilterItem);
  EXPECT_EQ(2u, model.GetHandedOutArrayCount());

  EXPECT_TRUE(model.ReleaseFilterProfile(&pFirst, uiFirst));
  // The second set is untouched by the release of the first.
  EXPECT_STREQ("*noise*", pSecond[0].pPluginFilterItem[1].sSource);
  EXPECT_TRUE(model.ReleaseFilterProfile(&pSecond, uiSecond));
  EXPECT_EQ(0u, model.GetHandedOutArrayCount());
}

TEST(FilterProfileWithoutDeclaration, NoProfileIsFalseWithNothingHandedOut) {
  CListTestModel model;
  T_PLUGIN_FILTER_PROFILE dummy;
  T_PLUGIN_FILTER_PROFILE* pProfiles = &dummy;
  unsigned int uiSize = 7;
  EXPECT_FALSE(model.CreateFilterProfile(&pProfiles, &uiSize));
  EXPECT_EQ(0u, uiSize);
  EXPECT_EQ(nullptr, pProfiles);
  EXPECT_EQ(0u, model.GetHandedOutArrayCount());

  EXPECT_TRUE(model.ReleaseFilterProfile(&pProfiles, 0));
  EXPECT_EQ(nullptr, pProfiles);
  // A null array with a count cannot be what a create handed out.
  EXPECT_FALSE(model.ReleaseFilterProfile(&pProfiles, 3));
  EXPECT_FALSE(model.ReleaseFilterProfile(nullptr, 0));
  EXPECT_FALSE(model.CreateFilterProfile(nullptr, &uiSize));
  EXPECT_FALSE(model.CreateFilterProfile(&pProfiles, nullptr));
}

TEST(FilterProfileLifetime, SetsNeverGivenBackAreFreedWithTheModel) {
  // The first model absorbs one-time allocations of the runtime.
  std::make_unique<CListTestModel>();
  const long before = vantix_test::LiveAllocations();
  {
    CListTestModel model;
    model.AddFilterProfile(ProfileWithItems());
    T_PLUGIN_FILTER_PROFILE* pProfiles = nullptr;
    unsigned int uiSize = 0;
    ASSERT_TRUE(model.CreateFilterProfile(&pProfiles, &uiSize));
    ASSERT_TRUE(model.CreateFilterProfile(&pProfiles, &uiSize));
    EXPECT_EQ(2u, model.GetHandedOutArrayCount());
  }
  EXPECT_TRUE(vantix_test::LiveAllocationsAre(before));
}

// --- Supported events --------------------------------------------------------------

const unsigned int kUnwritten = 0xDEADBEEFu;

struct EventSlots {
  EventSlots() {
    for (T_SUPPORT_EVENT_ID& slot : slots) slot.uiEventID = kUnwritten;
  }
  T_SUPPORT_EVENT_ID slots[4];
};

TEST(SupportEvents, DeviceAndChannelKindsInDeclaredOrder) {
  CMetadataModelVantix model;
  struct Expected {
    const char* sPluginID;
    unsigned int uiFirst;
    unsigned int uiSecond;
  };
  for (const Expected& expected : {Expected{"ID_VANTIX", 3600, 3601}, Expected{"ID_VANTIX_CH", 3902, 3903}}) {
    const T_PLUGIN_ID id = PluginID(expected.sPluginID);
    unsigned int uiSize = 0;
    ASSERT_TRUE(model.GetSupportEventSize(&id, &uiSize)) << expected.sPluginID;
    ASSERT_EQ(2u, uiSize);
    EventSlots events;
    ASSERT_TRUE(model.GetSupportEvent(&id, events.slots, uiSize));
    EXPECT_EQ(expected.uiFirst, events.slots[0].uiEventID);
    EXPECT_EQ(expected.uiSecond, events.slots[1].uiEventID);
    EXPECT_EQ(kUnwritten, events.slots[2].uiEventID);
  }
}

TEST(SupportEvents, CopiesAtMostWhatIsAskedAndWhatExists) {
  CMetadataModelVantix model;
  const T_PLUGIN_ID id = PluginID("ID_VANTIX");

  EventSlots one;
  ASSERT_TRUE(model.GetSupportEvent(&id, one.slots, 1));
  EXPECT_EQ(3600u, one.slots[0].uiEventID);
  EXPECT_EQ(kUnwritten, one.slots[1].uiEventID);

  EventSlots more;
  ASSERT_TRUE(model.GetSupportEvent(&id, more.slots, 4));
  EXPECT_EQ(3600u, more.slots[0].uiEventID);
  EXPECT_EQ(3601u, more.slots[1].uiEventID);
  EXPECT_EQ(kUnwritten, more.slots[2].uiEventID);
  EXPECT_EQ(kUnwritten, more.slots[3].uiEventID);
}

TEST(SupportEvents, UnknownOrCaseDifferentIdentifierIsRefused) {
  CMetadataModelVantix model;
  for (const char* sPluginID : {"id_vantix", "ID_Vantix_CH", "ID_VANTIX_", "ID_VANTI", ""}) {
    const T_PLUGIN_ID id = PluginID(sPluginID);
    unsigned int uiSize = 5;
    EXPECT_FALSE(model.GetSupportEventSize(&id, &uiSize)) << sPluginID;
    EXPECT_EQ(0u, uiSize) << sPluginID;
    EventSlots events;
    EXPECT_FALSE(model.GetSupportEvent(&id, events.slots, 2)) << sPluginID;
    EXPECT_EQ(kUnwritten, events.slots[0].uiEventID) << sPluginID;
  }
}

TEST(SupportEvents, NullPointersAreRefused) {
  CMetadataModelVantix model;
  const T_PLUGIN_ID id = PluginID("ID_VANTIX");
  unsigned int uiSize = 0;
  EventSlots events;
  EXPECT_FALSE(model.GetSupportEventSize(nullptr, &uiSize));
  EXPECT_FALSE(model.GetSupportEventSize(&id, nullptr));
  EXPECT_FALSE(model.GetSupportEvent(nullptr, events.slots, 2));
  EXPECT_FALSE(model.GetSupportEvent(&id, nullptr, 2));
}

TEST(SupportEvents, IdentifierReadOnlyUpToItsField) {
  // A host record without a terminating NUL is read as its 65 bytes.
  CListTestModel model;
  T_SUPPORT_EVENT event;
  event.strPluginID = std::string(65, 'K');
  event.vEventID = {7};
  model.AddSupportEvent(event);
  T_PLUGIN_ID id;
  memset(id.sPluginID, 'K', sizeof(id.sPluginID));
  unsigned int uiSize = 0;
  EXPECT_TRUE(model.GetSupportEventSize(&id, &uiSize));
  EXPECT_EQ(1u, uiSize);
}

}  // namespace
