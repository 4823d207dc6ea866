// TOLVERA.INI: reading with room, writing without losing anything else in the file,
// and never letting a value smuggle in new keys or sections.
#include "store/settings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace morrowby {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

class SettingsTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
  std::string ini() const { return folder_.File("TOLVERA.INI"); }
};

TEST_F(SettingsTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(ReadSetting("CurFile", 81), "");
  WriteWholeFile(ini(), "[Other]\nCurFile=/x\n");
  EXPECT_EQ(ReadSetting("CurFile", 81), "");
  WriteWholeFile(ini(), "[Morrowby]\nHomePath=/x\n");
  EXPECT_EQ(ReadSetting("CurFile", 81), "");
}

TEST_F(SettingsTest, SectionAndKeyMatchWithoutCase) {
  WriteWholeFile(ini(), "[MORROWBY]\nhomepath=/home/ann\n");
  EXPECT_EQ(ReadSetting("HomePath", 81), "/home/ann");
  EXPECT_EQ(ReadSetting("Homepath", 81), "/home/ann");
}

TEST_F(SettingsTest, LongValueIsCutToRoomLessOne) {
  WriteWholeFile(ini(), "[Morrowby]\nDateLine=yyyyyyyyyyyyyyyyyyyy\n");
  EXPECT_EQ(ReadSetting("DateLine", 13), "yyyyyyyyyyyy");
  EXPECT_EQ(ReadSetting("DateLine", 1), "");
}

TEST_F(SettingsTest, WriteCreatesFolderFileSectionAndKeepsEmptyValue) {
  const std::string nested = folder_.File("deeper/config");
  setenv("XDG_CONFIG_HOME", nested.c_str(), 1);
  ASSERT_TRUE(WriteSetting("DateLine", "").ok);
  EXPECT_EQ(ReadWholeFile(nested + "/TOLVERA.INI"), "[Morrowby]\nDateLine=\n");
}

TEST_F(SettingsTest, RewritingAKeyKeepsOneLineAndEverythingElse) {
  WriteWholeFile(ini(),
                 "; kept comment\n[Other]\nA=1\n\n[Morrowby]\n; about the list\nCurFile=/old.dat\n"
                 "Extra=kept\n");
  ASSERT_TRUE(WriteSetting("curfile", "/new.dat").ok);
  const std::string text = ReadWholeFile(ini());
  EXPECT_NE(text.find("; kept comment"), std::string::npos);
  EXPECT_NE(text.find("[Other]\nA=1"), std::string::npos);
  EXPECT_NE(text.find("; about the list"), std::string::npos);
  EXPECT_NE(text.find("Extra=kept"), std::string::npos);
  EXPECT_EQ(text.find("/old.dat"), std::string::npos);
  EXPECT_EQ(text.find("CurFile"), text.rfind("CurFile"));
  EXPECT_EQ(ReadSetting("CurFile", 81), "/new.dat");
}

TEST_F(SettingsTest, CommentsAfterTheLastKeySurviveAWrite) {
  WriteWholeFile(ini(), "[Morrowby]\nCurFile=/x.dat\n[Other]\nColour=blue\n; keep me\n# and me\n");
  ASSERT_TRUE(WriteSetting("HomePath", "/home").ok);
  ASSERT_TRUE(WriteSetting("HomePath", "/elsewhere").ok);
  const std::string text = ReadWholeFile(ini());
  EXPECT_NE(text.find("; keep me\n# and me\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("; keep me"), text.rfind("; keep me"));
  EXPECT_EQ(ReadSetting("Colour", 81), "");  // still in [Other], not ours
}

TEST_F(SettingsTest, LineBreakInValueCannotCreateKeysOrSections) {
  ASSERT_TRUE(WriteSetting("CurFile", "/a.dat").ok);
  EXPECT_FALSE(WriteSetting("CurFile", "/b.dat\n[Evil]\nDateLine=yyyyyyyyyyy").ok);
  EXPECT_FALSE(WriteSetting("CurFile", "/b.dat\rDateLine=y").ok);
  EXPECT_EQ(ReadSetting("CurFile", 81), "/a.dat");
  EXPECT_EQ(ReadSetting("DateLine", 13), "");
  // Brackets and equals signs inside a value are just characters.
  ASSERT_TRUE(WriteSetting("CurFile", "/x=[y]/z.dat").ok);
  EXPECT_EQ(ReadSetting("CurFile", 81), "/x=[y]/z.dat");
  EXPECT_EQ(ReadWholeFile(ini()).find("[y]\n"), std::string::npos);
}

TEST_F(SettingsTest, ValuesComeBackExactly) {
  for (const std::string v : {" /lead", "/trail ", "/in side/", "/x;y#z", "/\xC3\xA9t\xC3\xA9",
                              "\"/quoted\"", "\"", "/tab\t"}) {
    ASSERT_TRUE(WriteSetting("CurFile", v).ok) << v;
    EXPECT_EQ(ReadSetting("CurFile", 81), v);
  }
}

// A write is an edit of one line: whatever else the file holds, in whatever form, is
// kept byte for byte, and the key that counts (the last) is the one rewritten.
TEST_F(SettingsTest, AWriteChangesOnlyTheLineOfItsKey) {
  struct Edit {
    std::string before, key, value, after;
  };
  const std::string others =
      "; other programs' lines\n[Paths]\nPath=/a\nPath=/b\nno equals sign\nBody=<<<END\n"
      "  indented line\nEND\ncontinued \\\n  on the next line\nQuoted=\"kept\"\n\n";
  const Edit edits[] = {
      {others + "[Morrowby]\nCurFile=/old.dat\nDateLine=yn\n", "CurFile", "/new.dat",
       others + "[Morrowby]\nCurFile=/new.dat\nDateLine=yn\n"},
      {"[Morrowby]\nCurFile=/x\n\n[Other]\nA=1\n", "HomePath", "/h",
       "[Morrowby]\nCurFile=/x\nHomePath=/h\n\n[Other]\nA=1\n"},
      {"[Other]\nA=1", "HomePath", "/h", "[Other]\nA=1\n[Morrowby]\nHomePath=/h\n"},
      {"\xEF\xBB\xBF[Morrowby]\r\nCurFile=/old\r\n", "DateLine", "yn",
       "\xEF\xBB\xBF[Morrowby]\r\nCurFile=/old\r\nDateLine=yn\r\n"},
      {"[Morrowby]\rCurFile=/old\r", "CurFile", "/new", "[Morrowby]\rCurFile=/new\r"},
      {"[morrowby]\nCurFile=/a\n[Other]\n[ MORROWBY ]\n  curfile = \"/b\"  \n; tail\n", "CurFile", "/c",
       "[morrowby]\nCurFile=/a\n[Other]\n[ MORROWBY ]\n  curfile = /c\n; tail\n"},
      {"[Morrowby]\n; about it\nCurFile=/x\n; closing comment\n", "DateLine", "y",
       "[Morrowby]\n; about it\nCurFile=/x\nDateLine=y\n; closing comment\n"},
      {"Loose=1\n[Morrowby]", "CurFile", " /blank", "Loose=1\n[Morrowby]\nCurFile=\" /blank\"\n"},
  };
  for (const Edit& edit : edits) {
    WriteWholeFile(ini(), edit.before);
    ASSERT_TRUE(WriteSetting(edit.key, edit.value).ok) << edit.before;
    EXPECT_EQ(ReadWholeFile(ini()), edit.after) << edit.before;
    EXPECT_EQ(ReadSetting(edit.key, 81), edit.value) << edit.before;
  }
  EXPECT_EQ(ReadSetting("Path", 81), "");  // another section's
}

TEST_F(SettingsTest, DamagedFilesStillReadAndRewrite) {
  WriteWholeFile(ini(), "\xEF\xBB\xBF[Morrowby]\r\nCurFile=/crlf.dat\r\n[Morrowby]\r\nDateLine=yn\r\n");
  EXPECT_EQ(ReadSetting("CurFile", 81), "/crlf.dat");
  EXPECT_EQ(ReadSetting("DateLine", 13), "yn");
  WriteWholeFile(ini(), "HomePath=/no/section\nnonsense line\n" + std::string(100000, 'x') + "\n");
  EXPECT_EQ(ReadSetting("HomePath", 81), "");
  ASSERT_TRUE(WriteSetting("HomePath", "/here").ok);
  EXPECT_EQ(ReadSetting("HomePath", 81), "/here");
  // The parser stops at a NUL byte; what follows it must not be lost by a rewrite.
  const std::string nul("[Morrowby]\nCurFile=/a.dat\n\0[Other]\nKept=yes\n", 44);
  WriteWholeFile(ini(), nul);
  EXPECT_EQ(ReadSetting("CurFile", 81), "/a.dat");
  EXPECT_FALSE(WriteSetting("CurFile", "/b.dat").ok);
  EXPECT_EQ(ReadWholeFile(ini()), nul);
}

TEST_F(SettingsTest, AFileOfSeveralMegabytesIsReadAtOnceAndKeptWholeButTheChangedKey) {
  // Millions of lines that carry nothing, in the section itself: each is passed over
  // on its own, never searched to the end of the text (the alarm ends a run that hangs).
  std::string mute = "[Morrowby]\n";
  while (mute.size() < 4000000) mute += "x\n[x\n";
  WriteWholeFile(ini(), mute + "CurFile=/deep.dat\n");
  alarm(60);
  EXPECT_EQ(ReadSetting("CurFile", 81), "/deep.dat");
  alarm(0);

  // Repeated keys among them: every one of them stays.
  std::string other = "[Other]\n";
  for (int i = 0; other.size() < 5000000; ++i)
    other += (i % 2 == 0 ? "Key=" : "Key" + std::to_string(i) + "=") + std::string(60, 'v') + "\n";
  const std::string last = "\n\n[Last]\nEnd=here\n";
  WriteWholeFile(ini(), other + "\n\n[Morrowby]\nCurFile=/old.dat\n" + last);
  ASSERT_TRUE(WriteSetting("CurFile", "/new.dat").ok);
  EXPECT_TRUE(ReadWholeFile(ini()) == other + "\n\n[Morrowby]\nCurFile=/new.dat\n" + last)
      << "the file is now " << ReadWholeFile(ini()).size() << " bytes";
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNeverWritten) {
  const std::string text = "[Morrowby]\nCurFile=/kept.dat\n[Other]\nColour=blue\n";
  WriteWholeFile(ini(), text);
  chmod(ini().c_str(), 0222);  // writable, but not readable
  chmod(folder_.path().c_str(), 0777);
  FileResult written = FileResult::Done();
  {
    testing::AsUnprivilegedUser user;
    ASSERT_TRUE(user.ok()) << user.why();
    written = WriteSetting("DateLine", "yyyyyyyyyyy");
    RecordHomePath();
  }
  EXPECT_FALSE(written.ok);
  EXPECT_FALSE(written.reason.empty());
  EXPECT_EQ(ReadWholeFile(ini()), text);
}

// No HOME, no XDG_CONFIG_HOME and a user the password database does not know (a
// container's arbitrary uid): there is no configuration folder, and no shared one
// such as /tmp stands in, where another user could plant the file or a link.
TEST_F(SettingsTest, WithoutAHomeTheSettingsNeverGoToASharedFolder) {
  const uid_t stranger = 4243;
  ASSERT_EQ(getpwuid(stranger), nullptr);
  const char* home = std::getenv("HOME");
  const std::string kept_home = home != nullptr ? home : "";
  unsetenv("HOME");
  unsetenv("XDG_CONFIG_HOME");
  std::string path, read;
  FileResult written, recorded;
  {
    testing::AsUnprivilegedUser user(stranger);
    ASSERT_TRUE(user.ok()) << user.why();
    path = SettingsFilePath();
    written = WriteSetting("CurFile", "/mine.dat");
    recorded = RecordHomePath();
    read = ReadSetting("CurFile", 81);
  }
  if (home != nullptr) setenv("HOME", kept_home.c_str(), 1);
  EXPECT_EQ(path, "");
  EXPECT_FALSE(written.ok);
  EXPECT_NE(written.reason.find("no configuration folder"), std::string::npos) << written.reason;
  EXPECT_FALSE(recorded.ok);
  EXPECT_EQ(read, "");
}

TEST_F(SettingsTest, ReadOnlyFileIsLeftAsItWas) {
  WriteWholeFile(ini(), "[Morrowby]\nCurFile=/kept.dat\n");
  chmod(ini().c_str(), 0444);
  const FileResult written = WriteSetting("CurFile", "/other.dat");
  EXPECT_FALSE(written.ok);
  EXPECT_FALSE(written.reason.empty());
  EXPECT_EQ(ReadSetting("CurFile", 81), "/kept.dat");
}

TEST_F(SettingsTest, WriteLeavesNoTemporaryFilesAndNeverTakesTheUsersFiles) {
  // The user's own files beside the settings; another program's temporary is still
  // being written.
  for (const char* name : {"TOLVERA.INI.Ab12Zz", "TOLVERA.INI.Backup", "TOLVERA.INI.241208"})
    WriteWholeFile(folder_.File(name), "[Morrowby]\nDateLine=y");
  const std::string live = ini() + ".live00";
  const int live_fd = open(live.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(live_fd, 0);
  ASSERT_EQ(flock(live_fd, LOCK_EX), 0);
  WriteWholeFile(ini() + ".notes", "mine");
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteSetting("DateLine", std::string(i + 1, 'y')).ok);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"TOLVERA.INI", "TOLVERA.INI.241208", "TOLVERA.INI.Ab12Zz",
                                            "TOLVERA.INI.Backup", "TOLVERA.INI.live00",
                                            "TOLVERA.INI.notes"}));
  close(live_fd);
}

TEST_F(SettingsTest, RecordHomePathStoresTheWorkingFolderInItsOwnCase) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  RecordHomePath();  // first run: no file yet
  EXPECT_EQ(ReadWholeFile(ini()), std::string("[Morrowby]\nHomePath=") + cwd + "\n");
  WriteWholeFile(ini(), "[Morrowby]\nHOMEPATH=/SOMEWHERE/ELSE\nCurFile=/l.dat\n");
  RecordHomePath();
  EXPECT_EQ(ReadSetting("HomePath", 81), std::string(cwd).substr(0, 80));
  EXPECT_EQ(ReadSetting("CurFile", 81), "/l.dat");
}

}  // namespace
}  // namespace morrowby
