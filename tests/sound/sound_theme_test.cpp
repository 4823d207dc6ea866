// Finding system sounds by name in the XDG sound themes.
#include "sound/sound_theme.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

using testing::WriteWholeFile;

class SoundThemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", folder_.File("home").c_str(), 1);
    setenv("XDG_DATA_DIRS", (folder_.File("a") + ":" + folder_.File("b")).c_str(), 1);
    setenv("XDG_CONFIG_DIRS", folder_.File("etc").c_str(), 1);
    // The machine's own GSettings values stay out of these tests.
    setenv("GSETTINGS_BACKEND", "memory", 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
    unsetenv("XDG_CONFIG_DIRS");
  }
  void Config(const std::string& file, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(folder_.File(file)).parent_path());
    WriteWholeFile(folder_.File(file), text);
  }
  void Inherits(const std::string& theme, const std::string& parents) {
    std::filesystem::create_directories(folder_.File("a") + "/sounds/" + theme);
    WriteWholeFile(folder_.File("a") + "/sounds/" + theme + "/index.theme",
                   "[Sound Theme]\nName=" + theme + "\nInherits=" + parents + "\n");
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

TEST_F(SoundThemeTest, ChosenThemeThenEachParentThenFreedesktop) {
  Config("gtk-3.0/settings.ini", "[Settings]\ngtk-sound-theme-name = ocean\n");
  Put("a", "freedesktop", "bell.oga");
  Inherits("ocean", "deep, shallow");
  Inherits("deep", "ocean");  // a loop ends
  Inherits("shallow", "pond");
  const std::string grandparent = Put("b", "pond", "bell.oga");
  EXPECT_EQ(FindThemeSound("bell"), grandparent);
  const std::string second = Put("a", "shallow", "bell.oga");
  EXPECT_EQ(FindThemeSound("bell"), second);
  const std::string first = Put("a", "deep", "bell.ogg");
  EXPECT_EQ(FindThemeSound("bell"), first);
  const std::string own = Put("b", "ocean", "bell.wav");
  EXPECT_EQ(FindThemeSound("bell"), own);
  EXPECT_EQ(FindThemeSound("bell", ""), folder_.File("a") + "/sounds/freedesktop/stereo/bell.oga");
}

TEST_F(SoundThemeTest, ChoiceOrderGnomeKdeGtkThenTheSystemDefault) {
  ThemeChoices c;
  EXPECT_EQ(ChosenTheme(c), "");
  c.gsettings_default = "Yaru";
  EXPECT_EQ(ChosenTheme(c), "Yaru");
  c.gtk = "gtk-one";
  EXPECT_EQ(ChosenTheme(c), "gtk-one");
  c.kde = "kde-one";
  EXPECT_EQ(ChosenTheme(c), "kde-one");
  c.gsettings = "../escape";  // not a theme name: passed over
  EXPECT_EQ(ChosenTheme(c), "kde-one");
  c.gsettings = "gnome-one";
  EXPECT_EQ(ChosenTheme(c), "gnome-one");
}

TEST_F(SoundThemeTest, KdeAndGtkChoicesFromUserThenSystemConfig) {
  Config("etc/kdeglobals", "[Sounds]\nTheme=kde-system\n");
  Config("etc/gtk-3.0/settings.ini", "[Settings]\ngtk-sound-theme-name=gtk-system\n");
  ThemeChoices c = ReadThemeChoices();
  EXPECT_EQ(c.kde, "kde-system");
  EXPECT_EQ(c.gtk, "gtk-system");
  // The key only counts in its own section.
  Config("kdeglobals", "[General]\nTheme=Breeze\n[Sounds]\nEnable=true\nTheme = ocean\n");
  Config("gtk-3.0/settings.ini", "[Settings]\ngtk-theme-name=Adwaita\n");
  c = ReadThemeChoices();
  EXPECT_EQ(c.kde, "ocean");
  EXPECT_EQ(c.gtk, "gtk-system");
  EXPECT_EQ(c.gsettings, "");  // the memory backend holds no choice
  // A pipe or an endless device in the user's place is skipped, not waited on or
  // read without end (the alarm ends a run that hangs).
  std::filesystem::remove(folder_.File("kdeglobals"));
  std::filesystem::remove(folder_.File("gtk-3.0/settings.ini"));
  ASSERT_EQ(mkfifo(folder_.File("gtk-3.0/settings.ini").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", folder_.File("kdeglobals").c_str()), 0);
  alarm(30);
  c = ReadThemeChoices();
  alarm(0);
  EXPECT_EQ(c.kde, "kde-system");
  EXPECT_EQ(c.gtk, "gtk-system");
}

// GSettings reads its schemas and backend once per process, so each case runs in a
// fresh one, with a schema folder of the test's own: GNOME's choice from a keyfile
// backend; and a pipe where dconf keeps its database, which must hold up neither a
// song given by its path (it needs no theme) nor the look-up of a theme sound.
TEST_F(SoundThemeTest, GnomeChoiceFromGSettingsBeforeAnyWindowAndNeverAWaitOnDconf) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string schemas = folder_.File("schemas");
  std::filesystem::create_directories(schemas);
  WriteWholeFile(schemas + "/org.gnome.desktop.sound.gschema.xml",
                 "<schemalist><schema id='org.gnome.desktop.sound' path='/org/gnome/desktop/sound/'>"
                 "<key name='theme-name' type='s'><default>'freedesktop'</default></key>"
                 "</schema></schemalist>");
  ASSERT_EQ(std::system(("glib-compile-schemas " + schemas).c_str()), 0);
  Config("glib-2.0/settings/keyfile", "[org/gnome/desktop/sound]\ntheme-name='ocean'\n");
  Config("kdeglobals", "[Sounds]\nTheme=kde-one\n");
  EXPECT_EXIT(
      {
        setenv("GSETTINGS_SCHEMA_DIR", schemas.c_str(), 1);
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
        std::fprintf(stderr, "chosen=%s.\n", ChosenTheme(ReadThemeChoices()).c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "chosen=ocean\\.");
  std::filesystem::create_directories(folder_.File("dconf"));
  ASSERT_EQ(mkfifo(folder_.File("dconf/user").c_str(), 0600), 0);
  Put("a", "freedesktop", "bell.oga");
  EXPECT_EXIT(
      {
        setenv("GSETTINGS_SCHEMA_DIR", schemas.c_str(), 1);
        setenv("GSETTINGS_BACKEND", "dconf", 1);
        alarm(30);
        std::fprintf(stderr, "path=%s.\n", FindThemeSound("/music/song.wav").c_str());
        std::fprintf(stderr, "found=%s.\n", FindThemeSound("bell").c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "path=\\..*found=[^\n]*/a/sounds/freedesktop/stereo/bell\\.oga\\.");
}

}  // namespace
}  // namespace morrowby
