#include "utility/sysutils/apr/apr_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "utility/sysutils/apr/apr_pool.h"

namespace {

using SysUtils::AprPool;
using SysUtils::AprRoot;

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// Must stay the first test of this program: it makes the first use of the
// root.
TEST(AprRootTest, ConcurrentFirstUsersShareOneInstance) {
  testing::internal::CaptureStdout();
  std::vector<AprRoot*> seen(4, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = AprRoot::instance(); });
  }
  for (std::thread& t : threads) t.join();
  std::string out = testing::internal::GetCapturedStdout();

  ASSERT_NE(nullptr, seen[0]);
  for (AprRoot* root : seen) EXPECT_EQ(seen[0], root);
  EXPECT_EQ(1, CountOf(out, "APR Application Instance initiating ...\n"));
  EXPECT_EQ(1, CountOf(out, "APR Application Instance init done ...\n"));
  EXPECT_NE(nullptr, AprRoot::instance()->getRootPool());
}

TEST(AprPoolTest, IsAChildOfTheRootPool) {
  AprPool pool(1048576);
  ASSERT_NE(nullptr, pool.guts());
  EXPECT_EQ(AprRoot::instance()->getRootPool(), apr_pool_parent_get(pool.guts()));
}

apr_status_t CountCleanup(void* counter) {
  ++*static_cast<int*>(counter);
  return APR_SUCCESS;
}

TEST(AprPoolTest, ClearAndDestructionRunTheCleanUps) {
  int cleanups = 0;
  {
    AprPool pool(1048576);
    char* block = static_cast<char*>(pool.alloc(64));
    ASSERT_NE(nullptr, block);
    block[63] = 'x';
    apr_pool_cleanup_register(pool.guts(), &cleanups, CountCleanup,
                              apr_pool_cleanup_null);
    pool.clear();
    EXPECT_EQ(1, cleanups);
    apr_pool_cleanup_register(pool.guts(), &cleanups, CountCleanup,
                              apr_pool_cleanup_null);
  }
  EXPECT_EQ(2, cleanups);
}

TEST(AprRootTrackingTest, UntrackSucceedsOnlyForTrackedPointers) {
  AprRoot* root = AprRoot::instance();
  int object = 0;
  EXPECT_FALSE(root->isTracked(&object));
  EXPECT_FALSE(root->untrackObject(&object));

  root->trackObject(&object);
  EXPECT_TRUE(root->isTracked(&object));
  EXPECT_TRUE(root->untrackObject(&object));
  EXPECT_FALSE(root->isTracked(&object));
  EXPECT_FALSE(root->untrackObject(&object));
}

TEST(AprRootTrackingTest, ObjectsAreTrackedIndependently) {
  AprRoot* root = AprRoot::instance();
  int first = 0, second = 0;
  root->trackObject(&first);
  root->trackObject(&second);
  EXPECT_TRUE(root->untrackObject(&first));
  EXPECT_TRUE(root->isTracked(&second));
  EXPECT_TRUE(root->untrackObject(&second));
}

// Two threads releasing the same objects: each is released exactly once.
TEST(AprRootTrackingTest, ConcurrentUntrackReleasesEachObjectOnce) {
  AprRoot* root = AprRoot::instance();
  std::vector<int> objects(500);
  for (int& o : objects) root->trackObject(&o);

  std::atomic<int> released{0};
  auto untrackAll = [&] {
    for (int& o : objects) {
      if (root->untrackObject(&o)) ++released;
    }
  };
  std::thread a(untrackAll), b(untrackAll);
  a.join();
  b.join();
  EXPECT_EQ(static_cast<int>(objects.size()), released.load());
  for (int& o : objects) EXPECT_FALSE(root->isTracked(&o));
}

}  // namespace
