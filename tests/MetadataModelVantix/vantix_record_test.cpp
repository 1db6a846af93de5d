// What the model reads from a received block and from a record, and the texts it makes of them.

#include <apr_errno.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "MetadataModelVantix/VantixReceiver.h"
#include "MetadataModelVantix/VantixRecord.h"

namespace {

TEST(BlockFilter, DropsExactlyTheBlocksWithALineFeedBeforeTheLastByte) {
  const std::pair<const char*, bool> kCases[] = {
      {"", false},        {"CamID:1 Event:face\r\n", false}, {"\n", false},     {"a\r\rb\r", false},
      {"one\ntwo", true}, {"one\r\ntwo\r\n", true},          {"one\n\n", true}, {"\nrest", true}};
  for (const auto& c : kCases) {
    std::string text = c.first;
    EXPECT_EQ(c.second, IsRedundantEvent(&text[0])) << '"' << c.first << '"';
  }
  EXPECT_FALSE(IsRedundantEvent(nullptr));
}

TEST(CameraCut, FromBehindCamIDToOneCharacterBeforeEvent) {
  const std::pair<const char*, const char*> kCases[] = {
      {"CamID:2 Event:FaceMatched", "2"},
      {"xx CamID:12_Event yy", "12"},
      {"CamID: 2 Event", " 2"},
      {"CamID:2  Event", "2 "},  // only one separator is left out
      {"CamID: Event", ""},
      {"CamID:xEvent", ""},
      {"CamID:Event:1", "Event:1"},  // "Event" right behind: to the end
      {"CamID:7 Person\r\n", "7 Person\r\n"},
      {"Event CamID:3 x", "3 x"},  // both searches start at the beginning
      {"CamID:1 Event CamID:2 Event", "1"},
      {"CamID:", ""},
      {"camid:2 Event", ""}};
  for (const auto& c : kCases) EXPECT_EQ(c.second, CutCameraID(c.first)) << '"' << c.first << '"';
}

TEST(RecordRewrite, EveryWordOnALineOfItsOwnAndOneEmptyLine) {
  const std::pair<const char*, const char*> kCases[] = {
      {"CamID:2 Event:FaceMatched Person:Ann\r\n", "CamID:2\r\nEvent:FaceMatched\r\nPerson:Ann\r\n\r\n"},
      {" \t a \r\n\v\f b\t\tc \n", "a\r\nb\r\nc\r\n\r\n"},
      {"a\x08"
       "b\x0E",
       "a\x08"
       "b\x0E\r\n\r\n"},  // just outside the white space
      {"Ren\xC3\xA9 \xFF\x80", "Ren\xC3\xA9\r\n\xFF\x80\r\n\r\n"},
      {" \t\r\n", "\r\n"},
      {"", "\r\n"}};
  for (const auto& c : kCases) EXPECT_EQ(c.second, RewriteRecord(c.first)) << '"' << c.first << '"';
}

TEST(ConnectionError, RefusedAndUnreachableHaveTheirOwnTextAnyOtherStatusItsNumber) {
  const std::string kFailed = "Failed to connect to target Vantix server.";
  const std::pair<int, std::string> kCases[] = {{730061, kFailed},
                                                {730065, kFailed},
                                                {APR_ECONNREFUSED, kFailed},
                                                {APR_EHOSTUNREACH, kFailed},
                                                {70007, "Unknow error (error code: 70007)"},
                                                {730062, "Unknow error (error code: 730062)"}};
  for (const auto& c : kCases) EXPECT_EQ(c.second, ConnectionErrorText(c.first)) << c.first;
}

}  // namespace
