#pragma once

#include "MetadataModelVantix/VantixReceiver.h"

namespace vantix_test {

// Short receives, pauses and failure window; no silent rebuild of a quiet connection.
inline CVantixReceiver::Timing QuickReceiverTiming() {
  return CVantixReceiver::Timing{1000, 50, 10, 1000000, 300};
}

}  // namespace vantix_test
