// Finding system sounds by name in the XDG sound themes.
#include "sound/sound_theme.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

using testing::WriteWholeFile;

class SoundThemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", folder_.File("home").c_str(), 1);
    setenv("XDG_DATA_DIRS", (folder_.File("a") + ":" + folder_.File("b")).c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
  }
  std::string Put(const std::string& root, const std::string& theme, const std::string& file) {
    const std::string dir = folder_.File(root) + "/sounds/" + theme + "/stereo";
    std::filesystem::create_directories(dir);
    WriteWholeFile(dir + "/" + file, "x");
    return dir + "/" + file;
  }
  testing::TempFolder folder_;
};

TEST_F(SoundThemeTest, OnlyPlainNamesAreSoundNames) {
  EXPECT_TRUE(IsSoundName("service-login"));
  EXPECT_TRUE(IsSoundName("bell.2_x"));
  EXPECT_FALSE(IsSoundName(""));
  EXPECT_FALSE(IsSoundName("../etc/passwd"));
  EXPECT_FALSE(IsSoundName("/usr/share/a.wav"));
  EXPECT_FALSE(IsSoundName("C:\\WINDOWS\\MEDIA\\TADA.WAV"));
  EXPECT_FALSE(IsSoundName("two words"));
}

TEST_F(SoundThemeTest, SearchesDataFoldersInOrderAndFallsBackToFreedesktop) {
  EXPECT_EQ(FindThemeSound("service-login"), "");
  const std::string in_b = Put("b", "freedesktop", "service-login.oga");
  EXPECT_EQ(FindThemeSound("service-login"), in_b);
  const std::string in_home = Put("home", "freedesktop", "service-login.wav");
  EXPECT_EQ(FindThemeSound("service-login"), in_home);
  EXPECT_EQ(FindThemeSound("../freedesktop/stereo/service-login"), "");
}

TEST_F(SoundThemeTest, ChosenThemeAndItsParentComeFirst) {
  std::filesystem::create_directories(folder_.File("gtk-3.0"));
  WriteWholeFile(folder_.File("gtk-3.0/settings.ini"),
                 "[Settings]\ngtk-sound-theme-name = ocean\n");
  Put("a", "freedesktop", "bell.oga");
  const std::string parent = Put("a", "deep", "bell.ogg");
  std::filesystem::create_directories(folder_.File("a") + "/sounds/ocean");
  WriteWholeFile(folder_.File("a") + "/sounds/ocean/index.theme", "[Sound Theme]\nInherits=deep\n");
  EXPECT_EQ(FindThemeSound("bell"), parent);
  const std::string own = Put("b", "ocean", "bell.wav");
  EXPECT_EQ(FindThemeSound("bell"), own);
}

}  // namespace
}  // namespace morrowby
