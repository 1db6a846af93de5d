// scripts/demo in a shortened run on the tools of this build: records reach
// the channels of their camera and the host shuts down cleanly.

#include <gtest/gtest.h>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

TEST(DemoSmoke, ShortRunFeedsTheChannelsOfEachCamera) {
  const std::string arch = std::string(VANTIX_EMULATOR).empty() ? "x86_64" : "i386";
  // Port 0: the simulator takes a free port and the demo points the plug-in at it.
  const ToolResult result = RunProgram({"/bin/bash", VANTIX_SOURCE_DIR "/scripts/demo", "--build-dir",
                                        VANTIX_BINARY_DIR, "--arch", arch, "--duration", "8", "--port", "0"},
                                       90000);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_GT(Count(result.out, "record channel 1: CamID:1\\r\\nEvent:FaceMatched\\r\\n"), 0u) << result.out;
  EXPECT_GT(Count(result.out, "record channel 2: CamID:2\\r\\nEvent:FaceMatched\\r\\n"), 0u);
  EXPECT_EQ(Count(result.out, "record channel 1: CamID:2") + Count(result.out, "record channel 3"), 0u);
  EXPECT_TRUE(HasSummaryRow(result.out, "ReleasePluginModel", "ok"));
}

}  // namespace
}  // namespace vantix_test
