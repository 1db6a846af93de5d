#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "channel_test_model.h"
#include "support/stream_capture.h"

namespace {

using channel_test::ChannelTestModel;
using channel_test::kTestKind;
using channel_test::MakeID;
using channel_test::ReadChannelList;
using vantix_test::CountOccurrences;
using vantix_test::StreamCapture;

const unsigned long long kDevice = 0x1A;

class ChannelsTest : public ::testing::Test {
 protected:
  void SetUp() override { model.SetDeviceID(kDevice); }

  bool Add(unsigned long long parent, unsigned long long id, const std::string& kind = kTestKind) {
    const T_PLUGIN_ID pluginID = MakeID(kind);
    return model.AddChannel(parent, id, &pluginID);
  }
  std::string KindOf(unsigned long long id) {
    T_PLUGIN_ID pluginID = MakeID("untouched");
    if (!model.GetChannelPluginID(id, &pluginID)) return "<not found>";
    return std::string(pluginID.sPluginID);
  }
  unsigned int CountUnder(unsigned long long parent) {
    unsigned int count = 0xDEAD;
    EXPECT_TRUE(model.GetChannelCount(parent, &count));
    return count;
  }

  ChannelTestModel model;
};

// --- Positions and counts ------------------------------------------------------

TEST_F(ChannelsTest, FreshModelHasNoChannelsAndKnowsOnlyTheDeviceAsParent) {
  EXPECT_EQ(0u, CountUnder(kDevice));
  unsigned int count = 99;
  EXPECT_FALSE(model.GetChannelCount(0x77, &count));
  EXPECT_EQ(0u, count);
}

TEST_F(ChannelsTest, PositionsFollowAddOrderAndCloseUpAfterMiddleDelete) {
  ASSERT_TRUE(Add(kDevice, 0x100));
  ASSERT_TRUE(Add(kDevice, 0x200));
  ASSERT_TRUE(Add(kDevice, 0x300));
  EXPECT_EQ(3u, CountUnder(kDevice));
  const unsigned long long ids[] = {0x100, 0x200, 0x300};
  for (unsigned int i = 0; i < 3; ++i) {
    unsigned int idx = 99;
    EXPECT_TRUE(model.GetChannelIndex(kDevice, ids[i], &idx));
    EXPECT_EQ(i, idx);
    unsigned long long id = 0;
    EXPECT_TRUE(model.GetChannelID(kDevice, i, &id));
    EXPECT_EQ(ids[i], id);
  }

  EXPECT_TRUE(model.DeleteChannel(kDevice, 0x200));
  EXPECT_EQ(2u, CountUnder(kDevice));
  unsigned int idx = 99;
  EXPECT_TRUE(model.GetChannelIndex(kDevice, 0x300, &idx));
  EXPECT_EQ(1u, idx);
  idx = 99;
  EXPECT_FALSE(model.GetChannelIndex(kDevice, 0x200, &idx));
  EXPECT_EQ(99u, idx);
  unsigned long long id = 7;
  EXPECT_FALSE(model.GetChannelID(kDevice, 2, &id));
  EXPECT_EQ(7u, id);
  EXPECT_FALSE(model.DeleteChannel(kDevice, 0x200));
  EXPECT_FALSE(model.DeleteChannel(0x999, 0x100));
  EXPECT_EQ(2u, CountUnder(kDevice));
}

TEST_F(ChannelsTest, SetChannelIDRenumbersInRangeOnlyAndKeepsTheRest) {
  ASSERT_TRUE(Add(kDevice, 0x10));
  ASSERT_TRUE(Add(0x10, 0x11));
  ASSERT_TRUE(model.SetChannelEnable(0x10, false));

  EXPECT_FALSE(model.SetChannelID(kDevice, 1, 0x20));
  EXPECT_FALSE(model.SetChannelID(0x999, 0, 0x20));
  EXPECT_EQ(kTestKind, KindOf(0x10));

  EXPECT_TRUE(model.SetChannelID(kDevice, 0, 0x20));
  EXPECT_EQ("<not found>", KindOf(0x10));
  EXPECT_EQ(kTestKind, KindOf(0x20));
  bool enabled = true;
  EXPECT_TRUE(model.IsChannelEnable(0x20, &enabled));
  EXPECT_FALSE(enabled);
  EXPECT_EQ(1u, CountUnder(0x20));
  EXPECT_EQ(2u, ReadChannelList(model, 0x20).size());
}

// --- Adding ----------------------------------------------------------------------

TEST_F(ChannelsTest, AddPrintsParentChildAndSizeInUpperCaseHex) {
  StreamCapture out(stdout);
  ASSERT_TRUE(Add(kDevice, 0x2B));
  ASSERT_TRUE(Add(kDevice, 0xABCDEF0123456789ull));
  EXPECT_EQ(
      "[MDS Channel]:[1A] CID: [2B] Size:[1]\n"
      "[MDS Channel]:[1A] CID: [ABCDEF0123456789] Size:[2]\n",
      out.Stop());
}

TEST_F(ChannelsTest, DuplicateAddPrintsAlreadyExistsAndChangesNothing) {
  ASSERT_TRUE(Add(kDevice, 0xFE));
  StreamCapture out(stdout);
  EXPECT_TRUE(Add(kDevice, 0xFE, "OTHER_KIND"));
  EXPECT_EQ("[MDS Channel] CID: [FE] already exists\n", out.Stop());
  EXPECT_EQ(1u, CountUnder(kDevice));
  EXPECT_EQ(kTestKind, KindOf(0xFE));
  EXPECT_EQ(2u, ReadChannelList(model, 0xFE).size());
}

TEST_F(ChannelsTest, AddUnderUnknownParentFailsSilently) {
  StreamCapture out(stdout);
  EXPECT_FALSE(Add(0x999, 0x1));
  EXPECT_EQ("", out.Stop());
  EXPECT_EQ(0u, CountUnder(kDevice));
}

TEST_F(ChannelsTest, NewChannelGetsTheKindsDefaultsInTemplateOrder) {
  ASSERT_TRUE(Add(kDevice, 0x5));
  const std::vector<T_PLUGIN_UI_CONFIG> config = ReadChannelList(model, 0x5);
  ASSERT_EQ(2u, config.size());
  EXPECT_STREQ("ModelVantixCH", config[0].sPluginID);
  EXPECT_STREQ("0", config[0].sValue);
  EXPECT_STREQ("TestLabel", config[1].sPluginID);
  EXPECT_STREQ("cam", config[1].sValue);
}

TEST_F(ChannelsTest, KindWithoutTemplatesGetsEmptyConfigAndIsNotAddedToTheTemplates) {
  const size_t kinds = model.ChannelKindCount();
  ASSERT_TRUE(Add(kDevice, 0x5, "NO_TEMPLATES"));
  EXPECT_EQ("NO_TEMPLATES", KindOf(0x5));
  EXPECT_TRUE(ReadChannelList(model, 0x5).empty());
  EXPECT_EQ(kinds, model.ChannelKindCount());
}

TEST_F(ChannelsTest, EmptyKindIsReportedAndLeavesTheKindAsItWas) {
  ASSERT_TRUE(Add(kDevice, 0x5));
  const T_PLUGIN_ID empty = MakeID("");

  StreamCapture err(stderr);
  EXPECT_TRUE(model.SetChannelPluginID(0x5, &empty));
  EXPECT_TRUE(model.AddChannel(kDevice, 0x6, &empty));
  const std::string text = err.Stop();
  EXPECT_EQ(2u, CountOccurrences(text, "## ASSERT fail: file=MetadataModelBase/MetadataChannel line="));

  EXPECT_EQ(kTestKind, KindOf(0x5));
  EXPECT_EQ("", KindOf(0x6));
  EXPECT_TRUE(ReadChannelList(model, 0x6).empty());
  EXPECT_FALSE(model.SetChannelPluginID(0x999, &empty));
}

TEST_F(ChannelsTest, UnterminatedHostKindIsReadNoFurtherThanItsField) {
  struct {
    T_PLUGIN_ID id;
    char after[8];
  } host;
  memset(host.id.sPluginID, 'x', sizeof(host.id.sPluginID));
  memcpy(host.after, "TAIL", 5);

  // A kind of exactly the field's 65 bytes is found only when the read stops
  // at the end of the field.
  model.DeclareKind(std::string(65, 'x'), 3);
  EXPECT_TRUE(model.CanAddNewChannel(3, &host.id));
  EXPECT_FALSE(model.CanAddNewChannel(4, &host.id));

  ASSERT_TRUE(model.AddChannel(kDevice, 0x5, &host.id));
  ASSERT_TRUE(Add(kDevice, 0x6));
  ASSERT_TRUE(model.SetChannelPluginID(0x6, &host.id));
  // Both carry the 65-byte kind and the new channel got its defaults; the
  // copy back to the host is cut to 64 bytes and terminated.
  EXPECT_EQ(std::string(64, 'x'), KindOf(0x5));
  EXPECT_EQ(std::string(64, 'x'), KindOf(0x6));
  const std::vector<T_PLUGIN_UI_CONFIG> config = ReadChannelList(model, 0x5);
  ASSERT_EQ(1u, config.size());
  EXPECT_STREQ("Any", config[0].sPluginID);
  EXPECT_STREQ("default", config[0].sValue);
}

// --- The tree ----------------------------------------------------------------------

// device
// +- 0x10 "a"
// |  +- 0x99 "a.child"
// |     +- 0x40 "a.grandchild"
// +- 0x20 "b"
// |  +- 0x20 "b.child"
// +- 0x99 "c"
class ChannelTreeTest : public ChannelsTest {
 protected:
  void SetUp() override {
    ChannelsTest::SetUp();
    ASSERT_TRUE(Add(kDevice, 0x10, "a"));
    ASSERT_TRUE(Add(0x10, 0x99, "a.child"));
    ASSERT_TRUE(Add(0x99, 0x40, "a.grandchild"));
    ASSERT_TRUE(Add(kDevice, 0x20, "b"));
    ASSERT_TRUE(Add(0x20, 0x20, "b.child"));
    ASSERT_TRUE(Add(kDevice, 0x99, "c"));
  }
};

TEST_F(ChannelTreeTest, SearchIsPreOrderAndTheFirstMatchWins) {
  EXPECT_EQ("a.grandchild", KindOf(0x40));
  // A parent comes before its own children.
  EXPECT_EQ("b", KindOf(0x20));
  // A channel's subtree comes before its later siblings.
  EXPECT_EQ("a.child", KindOf(0x99));
}

TEST_F(ChannelTreeTest, NestedChannelsAreCountedEnabledAndRenamed) {
  EXPECT_EQ(3u, CountUnder(kDevice));
  EXPECT_EQ(1u, CountUnder(0x10));
  EXPECT_EQ(1u, CountUnder(0x99));
  EXPECT_EQ(0u, CountUnder(0x40));

  EXPECT_TRUE(model.SetChannelEnable(0x40, false));
  bool enabled = true;
  EXPECT_TRUE(model.IsChannelEnable(0x40, &enabled));
  EXPECT_FALSE(enabled);
  const T_PLUGIN_ID renamed = MakeID("renamed");
  EXPECT_TRUE(model.SetChannelPluginID(0x40, &renamed));
  EXPECT_EQ("renamed", KindOf(0x40));

  enabled = true;
  EXPECT_FALSE(model.IsChannelEnable(0x777, &enabled));
  EXPECT_TRUE(enabled);
  EXPECT_FALSE(model.SetChannelEnable(0x777, false));
}

TEST_F(ChannelTreeTest, DeletingAParentRemovesItsWholeSubtree) {
  EXPECT_TRUE(model.DeleteChannel(kDevice, 0x10));
  EXPECT_EQ("<not found>", KindOf(0x40));
  unsigned int count = 5;
  EXPECT_FALSE(model.GetChannelCount(0x10, &count));
  EXPECT_EQ(0u, count);
  // The other 0x99 is found now that the first one is gone.
  EXPECT_EQ("c", KindOf(0x99));
  EXPECT_EQ(2u, CountUnder(kDevice));
}

TEST_F(ChannelTreeTest, DeleteAndIndexSeeDirectChildrenOnly) {
  unsigned int idx = 7;
  EXPECT_FALSE(model.GetChannelIndex(kDevice, 0x40, &idx));
  EXPECT_EQ(7u, idx);
  EXPECT_FALSE(model.DeleteChannel(kDevice, 0x40));
  EXPECT_TRUE(model.DeleteChannel(0x99, 0x40));
  EXPECT_EQ(0u, CountUnder(0x99));
}

TEST_F(ChannelsTest, DeviceIdentifierNamesTheDeviceBeforeAnyChannel) {
  ASSERT_TRUE(Add(kDevice, kDevice));
  ASSERT_TRUE(Add(kDevice, 0x2));
  EXPECT_EQ(2u, CountUnder(kDevice));
  // After renumbering the device, the old number names the channel.
  ASSERT_TRUE(model.SetDeviceID(0x55));
  EXPECT_EQ(0u, CountUnder(kDevice));
  EXPECT_EQ(2u, CountUnder(0x55));
}

// --- Limits and null pointers ------------------------------------------------------

TEST(VantixChannelsTest, CanAddNewChannelComparesWithTheDeclaredMaximum) {
  CMetadataModelVantix model;
  const T_PLUGIN_ID kind = MakeID("ID_VANTIX_CH");
  EXPECT_TRUE(model.CanAddNewChannel(0, &kind));
  EXPECT_TRUE(model.CanAddNewChannel(1024, &kind));
  EXPECT_FALSE(model.CanAddNewChannel(1025, &kind));
  EXPECT_FALSE(model.CanAddNewChannel(0xFFFFFFFFu, &kind));
  const T_PLUGIN_ID unknown = MakeID("ID_VANTIX");
  EXPECT_TRUE(model.CanAddNewChannel(0, &unknown));
  EXPECT_FALSE(model.CanAddNewChannel(1, &unknown));
}

TEST(VantixChannelsTest, NewChannelStartsEnabledWithCameraZero) {
  CMetadataModelVantix model;
  model.SetDeviceID(kDevice);
  StreamCapture out(stdout);
  const T_PLUGIN_ID kind = MakeID("ID_VANTIX_CH");
  ASSERT_TRUE(model.AddChannel(kDevice, 0x2B, &kind));
  EXPECT_EQ("[MDS Channel]:[1A] CID: [2B] Size:[1]\n", out.Stop());
  bool enabled = false;
  EXPECT_TRUE(model.IsChannelEnable(0x2B, &enabled));
  EXPECT_TRUE(enabled);
  const std::vector<T_PLUGIN_UI_CONFIG> config = ReadChannelList(model, 0x2B);
  ASSERT_EQ(1u, config.size());
  EXPECT_STREQ("ModelVantixCH", config[0].sPluginID);
  EXPECT_STREQ("0", config[0].sValue);
}

TEST_F(ChannelsTest, NullHostPointersAreRefused) {
  ASSERT_TRUE(Add(kDevice, 0x5));
  EXPECT_FALSE(model.GetChannelCount(kDevice, nullptr));
  EXPECT_FALSE(model.GetChannelIndex(kDevice, 0x5, nullptr));
  EXPECT_FALSE(model.GetChannelID(kDevice, 0, nullptr));
  EXPECT_FALSE(model.GetChannelPluginID(0x5, nullptr));
  EXPECT_FALSE(model.SetChannelPluginID(0x5, nullptr));
  EXPECT_FALSE(model.IsChannelEnable(0x5, nullptr));
  EXPECT_FALSE(model.CanAddNewChannel(0, nullptr));
  EXPECT_FALSE(model.AddChannel(kDevice, 0x6, nullptr));
  EXPECT_EQ(1u, CountUnder(kDevice));
  EXPECT_EQ(kTestKind, KindOf(0x5));
}

// --- Concurrency ---------------------------------------------------------------------

// Writers add, reconfigure, disable and delete channels of their own
// identifier ranges while a reader walks the device's list; every list the
// reader sees must be whole, and the end state must match what the writers
// did.
TEST_F(ChannelsTest, ConcurrentChangesKeepEveryChannelConsistent) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  const int kMaxRounds = 400;
  std::atomic<bool> writing{true};
  std::atomic<int> tornLists{0};

  // Each writer alone touches its identifiers, so it knows which are present.
  struct Writer {
    unsigned long long base;
    std::set<unsigned long long> present;
    size_t newAdds = 0;
    size_t duplicateAdds = 0;
  };
  Writer writers[2];
  writers[0].base = 0x1000;
  writers[1].base = 0x2000;

  StreamCapture out(stdout);
  auto write = [&](Writer& w) {
    for (int round = 0; round < kMaxRounds && std::chrono::steady_clock::now() < deadline; ++round) {
      const unsigned long long id = w.base + static_cast<unsigned long long>(round % 8);
      ++(w.present.count(id) ? w.duplicateAdds : w.newAdds);
      EXPECT_TRUE(Add(kDevice, id));
      w.present.insert(id);
      T_PLUGIN_UI_CONFIG records[2] = {channel_test::MakeRecord("ModelVantixCH", std::to_string(round % 600)),
                                       channel_test::MakeRecord("TestLabel", "w" + std::to_string(w.base))};
      model.SetChannelConfigList(id, records, 2);
      EXPECT_TRUE(model.SetChannelEnable(id, round % 2 == 0));
      if (round % 3 == 0) {
        EXPECT_TRUE(model.DeleteChannel(kDevice, id));
        w.present.erase(id);
      }
    }
  };
  auto read = [&] {
    while (writing) {
      unsigned int count = 0;
      model.GetChannelCount(kDevice, &count);
      for (unsigned int i = 0; i < count; ++i) {
        unsigned long long id = 0;
        if (!model.GetChannelID(kDevice, i, &id)) continue;
        T_PLUGIN_UI_CONFIG records[3];
        memset(records, 0, sizeof(records));
        if (!model.GetChannelConfigList(id, records, 3)) continue;
        const std::string label = records[1].sValue;
        const bool whole = std::string(records[0].sPluginID) == "ModelVantixCH" &&
                           std::string(records[1].sPluginID) == "TestLabel" && records[2].sPluginID[0] == '\0' &&
                           (label == "cam" || label == "w" + std::to_string(id & ~0xFFFull)) &&
                           atoi(records[0].sValue) <= 512;
        if (!whole) ++tornLists;
      }
    }
  };

  std::thread reader(read);
  std::thread first(write, std::ref(writers[0]));
  std::thread second(write, std::ref(writers[1]));
  first.join();
  second.join();
  writing = false;
  reader.join();
  const std::string printed = out.Stop();

  EXPECT_EQ(0, tornLists.load());
  EXPECT_EQ(writers[0].newAdds + writers[1].newAdds, CountOccurrences(printed, "[MDS Channel]:[1A] CID: ["));
  EXPECT_EQ(writers[0].duplicateAdds + writers[1].duplicateAdds, CountOccurrences(printed, "already exists"));
  std::set<unsigned long long> expected = writers[0].present;
  expected.insert(writers[1].present.begin(), writers[1].present.end());
  std::set<unsigned long long> found;
  unsigned int count = 0;
  ASSERT_TRUE(model.GetChannelCount(kDevice, &count));
  for (unsigned int i = 0; i < count; ++i) {
    unsigned long long id = 0;
    ASSERT_TRUE(model.GetChannelID(kDevice, i, &id));
    found.insert(id);
  }
  EXPECT_EQ(expected.size(), count);
  EXPECT_EQ(expected, found);
}

}  // namespace
