// On a 32-bit host the records have the target's own sizes, the ones its callers pass: 28 bytes
// for the disk request with one buffer, 24 for BITMAP, 60 for SHELLEXECUTEINFO. A 64-bit host's
// records are larger and the callers pass sizeof; the wire never depends on either.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

TEST(RecordSizes, MatchTheTargetOnA32BitHost) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit host";
  EXPECT_EQ(sizeof(SG_REQ), 28u);
  EXPECT_EQ(sizeof(BITMAP), 24u);
  EXPECT_EQ(sizeof(SHELLEXECUTEINFO), 60u);
}

}  // namespace
