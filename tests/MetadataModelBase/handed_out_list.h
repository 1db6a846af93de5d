#pragma once

// One kind of array that a model hands to the host (a property list or a
// filter profile set), driven through its Create... and Release...
// operations, with the checks that every kind must pass on its way back.

#include <cstring>
#include <initializer_list>

#include <gtest/gtest.h>

#include "MetadataModelBase/PluginModelBase.h"
#include "live_allocations.h"

template <typename Record>
class CHandedOutList {
 public:
  typedef bool (CMetadataModelBase1::*CreateFn)(Record**, unsigned int*);
  typedef bool (CMetadataModelBase1::*ReleaseFn)(Record**, unsigned int);

  CHandedOutList(CMetadataModelBase1& model, CreateFn create, ReleaseFn release)
      : m_model(model), m_create(create), m_release(release) {}

  // Creates a list into pList and uiSize.
  ::testing::AssertionResult Create() {
    if (!(m_model.*m_create)(&pList, &uiSize)) return ::testing::AssertionFailure() << "create refused";
    if (pList == nullptr) return ::testing::AssertionFailure() << "create handed out null";
    return ::testing::AssertionSuccess();
  }

  // Gives pList back with the count given; a successful release nulls it.
  ::testing::AssertionResult Release(unsigned int uiCount) {
    if (!(m_model.*m_release)(&pList, uiCount)) return ::testing::AssertionFailure() << "release refused";
    if (pList != nullptr) return ::testing::AssertionFailure() << "caller's pointer not nulled";
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult Release() { return Release(uiSize); }

  bool ReleaseOther(Record** ppList, unsigned int uiCount) { return (m_model.*m_release)(ppList, uiCount); }
  size_t Outstanding() const { return m_model.GetHandedOutArrayCount(); }

  Record* pList = nullptr;
  unsigned int uiSize = 0;

 private:
  CMetadataModelBase1& m_model;
  CreateFn m_create;
  ReleaseFn m_release;
};

// Pointers the model did not hand out, or no longer holds, are refused
// without anything being freed; a null array is accepted with the count 0.
template <typename Record>
void ExpectForeignAndReleasedPointersRefused(CHandedOutList<Record>& list) {
  ASSERT_TRUE(list.Create());
  ASSERT_GE(list.uiSize, 1u);
  Record firstBefore;
  memcpy(&firstBefore, &list.pList[0], sizeof(Record));

  Record foreign[2];
  memset(foreign, 0, sizeof(foreign));
  Record* pForeign = foreign;
  EXPECT_FALSE(list.ReleaseOther(&pForeign, 2));
  EXPECT_EQ(foreign, pForeign);
  Record* pInside = list.pList + 1;  // the model's own array, not at its start
  EXPECT_FALSE(list.ReleaseOther(&pInside, list.uiSize - 1));
  EXPECT_EQ(list.pList + 1, pInside);
  // Freeing a record's content would have nulled its pointers.
  EXPECT_EQ(0, memcmp(&firstBefore, &list.pList[0], sizeof(Record)));
  EXPECT_EQ(1u, list.Outstanding());

  Record* pCopy = list.pList;
  EXPECT_TRUE(list.Release());
  EXPECT_FALSE(list.ReleaseOther(&pCopy, list.uiSize));
  EXPECT_EQ(0u, list.Outstanding());

  EXPECT_FALSE(list.ReleaseOther(nullptr, 0));
  Record* pNull = nullptr;
  EXPECT_TRUE(list.ReleaseOther(&pNull, 0));
  EXPECT_FALSE(list.ReleaseOther(&pNull, 1));
}

// A release frees exactly what its create allocated, with the count the
// create returned and with any other count.
template <typename Record>
void ExpectReleaseFreesExactlyWhatWasMade(CHandedOutList<Record>& list,
                                          std::initializer_list<unsigned int> wrongCounts) {
  const long before = vantix_test::LiveAllocations();
  ASSERT_TRUE(list.Create());
  EXPECT_TRUE(list.Release());
  EXPECT_TRUE(vantix_test::LiveAllocationsAre(before));
  for (unsigned int uiWrongCount : wrongCounts) {
    ASSERT_TRUE(list.Create());
    ASSERT_NE(uiWrongCount, list.uiSize);
    EXPECT_TRUE(list.Release(uiWrongCount));
    EXPECT_TRUE(vantix_test::LiveAllocationsAre(before)) << "count " << uiWrongCount;
  }
  EXPECT_EQ(0u, list.Outstanding());
}
