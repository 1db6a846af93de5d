// A source-specific multicast membership on the default interface, which the
// caller asks for with a null interface: the same as the wildcard address,
// whatever the system grants.

#include <gtest/gtest.h>

#include "support/loopback.h"
#include "utility/sysutils/apr/apr_socket.h"

namespace {

using vantix_test::kLoopbackIP;

const char kSourceSpecificGroup[] = "232.1.2.3";

TEST(AprMCastDefaultInterfaceTest, NullInterfaceIsTheWildcardInSourceSpecificMemberships) {
  SysUtils::AprMCastSocket wildcard;
  SysUtils::AprMCastSocket defaulted;
  const bool bJoined = wildcard.join(kSourceSpecificGroup, "0.0.0.0", kLoopbackIP);
  EXPECT_EQ(bJoined, defaulted.join(kSourceSpecificGroup, nullptr, kLoopbackIP));
  EXPECT_EQ(wildcard.leave(), defaulted.leave());
}

}  // namespace
