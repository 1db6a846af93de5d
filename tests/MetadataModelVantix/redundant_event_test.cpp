#include <gtest/gtest.h>

#include <string>

#include "MetadataModelVantix/VantixReceiver.h"

namespace {

struct FilterCase {
  const char* sText;
  bool bRedundant;
};

class RedundantEventTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(RedundantEventTest, DropsExactlyTheBlocksWithALineFeedBeforeTheLastByte) {
  std::string text = GetParam().sText;
  EXPECT_EQ(GetParam().bRedundant, IsRedundantEvent(&text[0])) << "text: \"" << GetParam().sText << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    BlockShapes, RedundantEventTest,
    ::testing::Values(FilterCase{"", false}, FilterCase{"CamID:1 Event:face", false},
                      FilterCase{"CamID:1 Event:face\n", false}, FilterCase{"CamID:1 Event:face\r\n", false},
                      FilterCase{"\n", false}, FilterCase{"\r", false}, FilterCase{"one\ntwo", true},
                      FilterCase{"one\r\ntwo\r\n", true}, FilterCase{"one\n\n", true}, FilterCase{"\n\n", true},
                      FilterCase{"\nrest", true}, FilterCase{"a\r\rb\r", false}));

TEST(RedundantEventNullTest, NullTextIsNotRedundant) { EXPECT_FALSE(IsRedundantEvent(nullptr)); }

}  // namespace
