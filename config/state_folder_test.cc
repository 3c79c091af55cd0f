#include "config/state_folder.h"

#include <gtest/gtest.h>

namespace tillgate {
namespace {

TEST(StateFolder, TheFirstValueSetWins) {
  EXPECT_EQ(StateFolderFrom("/var/lib/tillgate", "/x/state", "/home/kassa"), "/var/lib/tillgate");
  EXPECT_EQ(StateFolderFrom("", "/x/state", "/home/kassa"), "/x/state/tillgate");
  EXPECT_EQ(StateFolderFrom(nullptr, "", "/home/kassa"), "/home/kassa/.local/state/tillgate");
  EXPECT_EQ(StateFolderFrom(nullptr, nullptr, nullptr), "tillgate-state");
}

}  // namespace
}  // namespace tillgate
