// scripts/demo in a shortened run on the tools of this build: records reach
// the channels of their camera and the host ends with success.

#include <gtest/gtest.h>

#include "tools/tool_command.h"

namespace vantix_test {
namespace {

TEST(DemoSmoke, ShortRunFeedsTheChannelsOfEachCamera) {
  const std::string arch = std::string(VANTIX_EMULATOR).empty() ? "x86_64" : "i386";
  // Port 0: the simulator takes a free port and the demo points the plug-in at it.
  const ChildProcess demo({"/bin/bash", VANTIX_SOURCE_DIR "/scripts/demo", "--build-dir", VANTIX_BINARY_DIR,
                           "--arch", arch, "--duration", "8", "--port", "0"},
                          90000);
  EXPECT_EQ(demo.ExitStatus(), 0) << demo.Stderr();
  const std::string out = demo.Stdout();
  EXPECT_GT(CountOccurrences(out, "record channel 1: CamID:1\\r\\nEvent:FaceMatched\\r\\n"), 0u) << out;
  EXPECT_GT(CountOccurrences(out, "record channel 2: CamID:2\\r\\nEvent:FaceMatched\\r\\n"), 0u);
  EXPECT_EQ(CountOccurrences(out, "record channel 1: CamID:2") + CountOccurrences(out, "record channel 3"),
            0u);
}

}  // namespace
}  // namespace vantix_test
