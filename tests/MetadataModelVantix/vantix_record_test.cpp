// What the model reads from a record and what the host receives for it.

#include <gtest/gtest.h>

#include <apr_errno.h>

#include "MetadataModelVantix/VantixRecord.h"

namespace {

TEST(CutCameraIDTest, TakesTheTextBetweenTheMarkersLessOneSeparator) {
  EXPECT_EQ("2", CutCameraID("CamID:2 Event:FaceMatched"));
  EXPECT_EQ("12", CutCameraID("CamID:12 Event"));
  EXPECT_EQ("12", CutCameraID("xx CamID:12_Event yy")) << "any one character separates";
  EXPECT_EQ("512", CutCameraID("Time:1 CamID:512 EventX\r\n"));
}

TEST(CutCameraIDTest, KeepsWhatTheHostMustNotMatch) {
  EXPECT_EQ("02", CutCameraID("CamID:02 Event")) << "a leading zero stays";
  EXPECT_EQ(" 2", CutCameraID("CamID: 2 Event")) << "a space inside stays";
  EXPECT_EQ("2 ", CutCameraID("CamID:2  Event")) << "only one separator is dropped";
}

TEST(CutCameraIDTest, EmptyWhenEventFollowsAfterOneCharacter) {
  EXPECT_EQ("", CutCameraID("CamID: Event"));
  EXPECT_EQ("", CutCameraID("CamID:xEvent"));
}

TEST(CutCameraIDTest, RunsToTheEndWhenEventIsMissingOrEarly) {
  EXPECT_EQ("7 Person:Ann\r\n", CutCameraID("CamID:7 Person:Ann\r\n"));
  EXPECT_EQ("3 x\r\n", CutCameraID("Event CamID:3 x\r\n")) << "Event before CamID:";
  EXPECT_EQ("Event:1", CutCameraID("CamID:Event:1")) << "Event directly behind CamID:";
  EXPECT_EQ("", CutCameraID("CamID:"));
}

TEST(CutCameraIDTest, EmptyWithoutTheCameraMarker) {
  EXPECT_EQ("", CutCameraID(""));
  EXPECT_EQ("", CutCameraID("camid:2 Event"));
  EXPECT_EQ("", CutCameraID("   \r\n"));
}

TEST(CutCameraIDTest, UsesTheFirstOccurrenceOfEachMarker) {
  EXPECT_EQ("1", CutCameraID("CamID:1 Event CamID:2 Event"));
}

TEST(RewriteRecordTest, EveryWordOnItsOwnLineAndAClosingEmptyLine) {
  EXPECT_EQ("CamID:2\r\nEvent:FaceMatched\r\nPerson:Ann\r\n\r\n",
            RewriteRecord("CamID:2 Event:FaceMatched Person:Ann\r\n"));
}

TEST(RewriteRecordTest, WhiteSpaceRunsCollapseAndTheEdgesDisappear) {
  EXPECT_EQ("a\r\nb\r\nc\r\n\r\n", RewriteRecord(" \t a \r\n\v\f b\t\tc \n"));
}

TEST(RewriteRecordTest, WhiteSpaceOnlyBecomesOneEmptyLine) {
  EXPECT_EQ("\r\n", RewriteRecord(" \t\r\n"));
  EXPECT_EQ("\r\n", RewriteRecord(""));
}

TEST(RewriteRecordTest, BytesAboveAsciiAreWordCharacters) {
  EXPECT_EQ("Ren\xC3\xA9\r\n\xFF\x80\r\n\r\n", RewriteRecord("Ren\xC3\xA9 \xFF\x80"));
}

TEST(ConnectionErrorTextTest, RefusedAndUnreachableHaveTheirOwnText) {
  const std::string kFailed = "Failed to connect to target Vantix server.";
  EXPECT_EQ(kFailed, ConnectionErrorText(730061));
  EXPECT_EQ(kFailed, ConnectionErrorText(730065));
  EXPECT_EQ(kFailed, ConnectionErrorText(APR_ECONNREFUSED));
  EXPECT_EQ(kFailed, ConnectionErrorText(APR_EHOSTUNREACH));
}

TEST(ConnectionErrorTextTest, AnyOtherStatusCarriesItsNumber) {
  EXPECT_EQ("Unknow error (error code: 70007)", ConnectionErrorText(70007));
  EXPECT_EQ("Unknow error (error code: -1)", ConnectionErrorText(-1));
  EXPECT_EQ("Unknow error (error code: 730062)", ConnectionErrorText(730062));
}

}  // namespace
