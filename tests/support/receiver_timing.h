#pragma once

#include "MetadataModelVantix/VantixReceiver.h"

namespace vantix_test {

// Receiver timing for tests: short receives and pauses, a failure window of
// a few passes, and no silent rebuild of a quiet connection.
inline CVantixReceiver::Timing QuickReceiverTiming() {
  CVantixReceiver::Timing timing;
  timing.llConnectTimeoutMS = 1000;
  timing.llRecvTimeoutMS = 50;
  timing.uiPauseMS = 10;
  timing.uiSilenceLimit = 1000000;
  timing.llFailureWindowMS = 300;
  return timing;
}

}  // namespace vantix_test
