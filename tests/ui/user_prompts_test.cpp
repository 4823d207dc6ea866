// Naming rules of the file dialogs: the default extension.
#include "ui/user_prompts.h"

#include <gtest/gtest.h>

namespace morrowby {
namespace {

TEST(UserPromptsTest, DefaultExtensionIsAddedOnlyToANameWithoutOne) {
  EXPECT_EQ(WithDefaultExtension("/lists/mine", "dat"), "/lists/mine.dat");
  EXPECT_EQ(WithDefaultExtension("/lists/mine.txt", "dat"), "/lists/mine.txt");
  EXPECT_EQ(WithDefaultExtension("/lists.d/mine", "dat"), "/lists.d/mine.dat");
  EXPECT_EQ(WithDefaultExtension("/lists/.hidden", "dat"), "/lists/.hidden.dat");
  EXPECT_EQ(WithDefaultExtension("/music/song", "*"), "/music/song");
  EXPECT_EQ(WithDefaultExtension("/music/song", ""), "/music/song");
}

}  // namespace
}  // namespace morrowby
