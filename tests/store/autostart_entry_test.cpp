// The log-in entry: switched on and off, and never a file of anyone else's touched,
// nor a link followed, in a folder that other programs share.
#include "store/autostart_entry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

using testing::FileExists;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

class AutostartEntryTest : public ::testing::Test {
 protected:
  AutostartEntryTest() { std::filesystem::create_directories(folder_.File("autostart")); }
  testing::TempFolder folder_;
  const std::string entry_ = folder_.File("autostart/morrowby.desktop");
};

TEST_F(AutostartEntryTest, OnWritesTheEntryOnceAndOffRemovesIt) {
  std::filesystem::remove(folder_.File("autostart"));  // the folder is made when missing
  SwitchOutcome outcome;
  std::string existing;
  ASSERT_TRUE(TurnAutostartOn("\"/opt/my apps/morrowby\"", &outcome, &existing).ok);
  EXPECT_EQ(outcome, SwitchOutcome::kDone);
  const std::string text = ReadWholeFile(entry_);
  EXPECT_NE(text.find("\nExec=\"/opt/my apps/morrowby\"\n"), std::string::npos) << text;
  EXPECT_TRUE(IsOwnAutostartEntry(text));

  // The user's own change (a delay) survives a second "on".
  WriteWholeFile(entry_, text + "X-GNOME-Autostart-Delay=5\n");
  ASSERT_TRUE(TurnAutostartOn("morrowby", &outcome, &existing).ok);
  EXPECT_EQ(outcome, SwitchOutcome::kAlready);
  EXPECT_EQ(ReadWholeFile(entry_), text + "X-GNOME-Autostart-Delay=5\n");

  ASSERT_TRUE(TurnAutostartOff(&outcome).ok);
  EXPECT_EQ(outcome, SwitchOutcome::kDone);
  EXPECT_FALSE(FileExists(entry_));
  ASSERT_TRUE(TurnAutostartOff(&outcome).ok);
  EXPECT_EQ(outcome, SwitchOutcome::kAlready);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.File("autostart")));  // no temporary left
}

TEST_F(AutostartEntryTest, WhatElseHoldsTheNameIsNeitherFollowedNorReplacedNorRemoved) {
  const std::string target = folder_.File("target.desktop");
  const std::string ours = "[Desktop Entry]\nName=Morrowby\nExec=morrowby\n";
  struct Case {
    const char* what;
    std::function<void()> plant;
    std::function<void()> expect_kept;
  };
  const Case cases[] = {
      {"a link to an entry like ours",
       [&] {
         WriteWholeFile(target, ours);
         ASSERT_EQ(symlink(target.c_str(), entry_.c_str()), 0);
       },
       [&] {
         EXPECT_TRUE(std::filesystem::is_symlink(entry_));
         EXPECT_EQ(ReadWholeFile(target), ours);
       }},
      {"a dangling link", [&] { ASSERT_EQ(symlink(target.c_str(), entry_.c_str()), 0); },
       [&] {
         EXPECT_TRUE(std::filesystem::is_symlink(entry_));
         EXPECT_FALSE(FileExists(target));
       }},
      {"the user's own entry", [&] { WriteWholeFile(entry_, "[Desktop Entry]\nName=Morrowby\nExec=morrowby --setup\n"); },
       [&] { EXPECT_EQ(ReadWholeFile(entry_), "[Desktop Entry]\nName=Morrowby\nExec=morrowby --setup\n"); }},
      {"a FIFO, never waited on", [&] { ASSERT_EQ(mkfifo(entry_.c_str(), 0600), 0); },
       [&] { EXPECT_TRUE(std::filesystem::is_fifo(entry_)); }},
      {"a folder", [&] { std::filesystem::create_directory(entry_); },
       [&] { EXPECT_TRUE(std::filesystem::is_directory(entry_)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.plant();
    SwitchOutcome outcome;
    std::string existing;
    const FileResult on = TurnAutostartOn("morrowby", &outcome, &existing);
    EXPECT_FALSE(on.ok);
    EXPECT_FALSE(on.reason.empty());
    c.expect_kept();
    const FileResult off = TurnAutostartOff(&outcome);
    EXPECT_FALSE(off.ok);
    EXPECT_FALSE(off.reason.empty());
    c.expect_kept();
    std::filesystem::remove_all(entry_);
    std::filesystem::remove(target);
  }
}

TEST(AutostartEntryText, OnlyAnEntryRunningMorrowbyAloneIsOurs) {
  const struct {
    const char* text;
    bool ours;
  } cases[] = {
      {"[Desktop Entry]\nName=Morrowby\nExec=morrowby\n", true},
      {"[Desktop Entry]\r\nName = Morrowby\r\nExec = \"/home/ann/src/build/morrowby\"\r\n", true},
      {"# made by make autostart\n[Desktop Entry]\nType=Application\nExec=/usr/local/bin/morrowby\n"
       "Name=Morrowby\nX-GNOME-Autostart-Delay=5\n", true},
      {"[Desktop Entry]\nName=Morrowby\nExec=morrowby --say-time\n", false},
      {"[Desktop Entry]\nName=Morrowby\nExec=\"/usr/bin/morrowby\" --setup\n", false},
      {"[Desktop Entry]\nName=Morrowby\nExec=/usr/bin/morrowbyx\n", false},
      {"[Desktop Entry]\nName=Morrowby\nExec=sh -c morrowby\n", false},
      {"[Desktop Entry]\nName=Morrowby\nExec=bin/morrowby\n", false},
      {"[Desktop Entry]\nName=My greeter\nExec=morrowby\n", false},
      {"[Desktop Entry]\nName=Morrowby\n[Desktop Action x]\nExec=morrowby\n", false},
      {"Name=Morrowby\nExec=morrowby\n", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOwnAutostartEntry(c.text), c.ours) << c.text;
}

TEST(AutostartEntryText, ExecNamesTheProgramOrRefusesWhatItCannotCarry) {
  std::string exec;
  ASSERT_TRUE(ExecValueFor("/usr/bin/morrowby", true, &exec));
  EXPECT_EQ(exec, "morrowby");
  ASSERT_TRUE(ExecValueFor("/home/ann/my src/build/morrowby", false, &exec));
  EXPECT_EQ(exec, "\"/home/ann/my src/build/morrowby\"");
  ASSERT_TRUE(ExecValueFor("/home/zoë/morrowby", false, &exec));
  for (const char* path : {"build/morrowby", "/a\"b/morrowby", "/a$HOME/morrowby", "/a`b`/morrowby",
                           "/a\\b/morrowby", "/100%/morrowby", "/a\nb/morrowby", "/caf\xe9/morrowby"})
    EXPECT_FALSE(ExecValueFor(path, false, &exec)) << path;
}

}  // namespace
}  // namespace morrowby
