// The song list editor on a real window: the OK tidying in random and day mode, Add
// Opening Song's limit and slot choice, the song-file chooser, Open File, the Help
// window, and the limits of a slot's 80 characters.
#include "ui/song_list_editor.h"

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_test_support.h"

namespace morrowby {
namespace {

using testing::RunWindow;

class SongListEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ResetQuitRequest();
    ListModified = 0;
  }
  void TearDown() override {
    ResetSongListState();
    ListModified = 0;
  }

  void Run(const std::function<void(TDlg1*)>& act) { RunWindow(new TDlg1(nullptr), act); }

  static void Type(TDlg1* editor, int slot, const std::string& text) {
    editor->Box(slot)->SetValue(wxString::FromUTF8(text));  // as typed: the box sees it
  }
  static std::vector<std::string> Slots() {
    std::vector<std::string> out;
    for (int i = 0; i < kSlotCount; ++i) out.push_back(SongList.SlotText(i));
    return out;
  }
  static void FillSongs(int count) {
    for (int i = 0; i < count; ++i) SongList.SetSlotText(i, "/songs/" + std::to_string(i) + ".wav");
  }

  testing::TempFolder folder_;
  testing::PromptDouble prompts_;
};

TEST_F(SongListEditorTest, OkClosesUpTheSongsAndDropsLetterlessSlots) {
  Run([](TDlg1* editor) {
    Type(editor, 0, "/music/a.wav");
    Type(editor, 2, "123");
    Type(editor, 3, "/music/b.wav");
    editor->SendCommand(1);
  });
  EXPECT_EQ(Slots(), (std::vector<std::string>{"/music/a.wav", "/music/b.wav", "", "", "", "", "",
                                               "", "", ""}));
  EXPECT_EQ(SongList.SongCount, 2);
  EXPECT_EQ(ListModified, 1);
}

TEST_F(SongListEditorTest, DayModeShowsSevenDaysAndKeepsEachSongOnItsDay) {
  SongList.PlayMode = PlayMode::kDayOfWeek;
  SongList.SetSlotText(8, "/hidden/kept.wav");
  std::vector<bool> shown;
  std::string monday, saturday;
  Run([&](TDlg1* editor) {
    for (int i = 0; i < kSlotCount; ++i) shown.push_back(editor->Box(i)->IsShown());
    monday = testing::ControlText(editor, 127);
    saturday = testing::ControlText(editor, 137);
    EXPECT_EQ(testing::ScreenReaderName(editor->Box(1)), "Monday");
    EXPECT_EQ(testing::ScreenReaderName(editor->Box(6)), "Saturday");
    Type(editor, 0, "/music/a.wav");
    Type(editor, 2, "123");
    Type(editor, 3, "/music/b.wav");
    editor->SendCommand(1);
  });
  EXPECT_EQ(shown,
            (std::vector<bool>{true, true, true, true, true, true, true, false, false, false}));
  EXPECT_EQ(monday, "Monday");
  EXPECT_EQ(saturday, "Saturday");
  EXPECT_EQ(Slots(), (std::vector<std::string>{"/music/a.wav", "", "", "/music/b.wav", "", "", "",
                                               "", "/hidden/kept.wav", ""}));
  EXPECT_EQ(SongList.SongCount, 3);
}

TEST_F(SongListEditorTest, OtherModesNumberTenSlots) {
  std::vector<std::string> labels;
  Run([&](TDlg1* editor) {
    for (int i = 0; i < kSlotCount; ++i) {
      labels.push_back(testing::ControlText(editor, 125 + 2 * i));
      EXPECT_TRUE(editor->Box(i)->IsShown());
      EXPECT_EQ(testing::ScreenReaderName(editor->Box(i)), labels.back());
    }
  });
  EXPECT_EQ(labels, (std::vector<std::string>{"1.", "2.", "3.", "4.", "5.", "6.", "7.", "8.", "9.",
                                              "10."}));
}

TEST_F(SongListEditorTest, OkWithNothingChangedStillMarksTheListModified) {
  FillSongs(2);
  Run([](TDlg1* editor) { editor->SendCommand(1); });
  EXPECT_EQ(ListModified, 1);
  EXPECT_EQ(SongList.SongCount, 2);
}

TEST_F(SongListEditorTest, CancelKeepsTypedTextOutOfTheRecord) {
  FillSongs(1);
  Run([](TDlg1* editor) {
    Type(editor, 0, "/typed/over.wav");
    editor->SendCommand(2);
  });
  EXPECT_EQ(SongList.SlotText(0), "/songs/0.wav");
  EXPECT_EQ(ListModified, 0);
}

TEST_F(SongListEditorTest, NineSongsStillRunTheChooserIntoTheFreeSlot) {
  FillSongs(9);
  SongList.SetSlotText(4, "");  // the free place is slot 4, not the end
  SongList.SetSlotText(9, "/songs/9.wav");
  prompts_.Choose("/new/song.wav");
  std::string shown;
  Run([&](TDlg1* editor) {
    editor->SendCommand(123);
    shown = editor->Box(4)->GetValue().utf8_string();
  });
  EXPECT_EQ(shown, "/new/song.wav");
  EXPECT_EQ(SongList.SlotText(4), "/new/song.wav");
  EXPECT_EQ(SongList.SongCount, 10);
  EXPECT_EQ(LastChosenFile, "/new/song.wav");
  // Cancel kept the added song in memory but did not mark the list for saving.
  EXPECT_EQ(ListModified, 0);
}

TEST_F(SongListEditorTest, TenSongsShowTheLimitWithoutTheChooser) {
  FillSongs(9);
  TDlg1* owner = nullptr;
  Run([&](TDlg1* editor) {
    owner = editor;
    Type(editor, 9, "/typed/tenth.wav");  // typed songs count too
    editor->SendCommand(123);
  });
  EXPECT_TRUE(prompts_.asked.empty());
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "You already have the maximum of 10 Opening Songs set\n"
            "You must delete one before trying to add a new on!");
  EXPECT_EQ(prompts_.messages[0].caption, "Too Many Songs");
  EXPECT_EQ(prompts_.messages[0].icon, 0);
  EXPECT_EQ(prompts_.messages[0].owner, owner);
  EXPECT_EQ(SongList.SongCount, 10);
}

TEST_F(SongListEditorTest, DayModeAddsToTheFirstEmptyDayThenToTheHiddenSlots) {
  SongList.PlayMode = PlayMode::kDayOfWeek;
  for (int day = 1; day < 7; day += 2) SongList.SetSlotText(day, "/day.wav");
  prompts_.Choose("/sunday.wav");
  Run([](TDlg1* editor) { editor->SendCommand(SongListEditorIds::kAddSong); });
  EXPECT_EQ(SongList.SlotText(0), "/sunday.wav");

  // Every day taken: the song goes into the first hidden slot, which OK keeps.
  for (int day = 0; day < 7; ++day) SongList.SetSlotText(day, "/day.wav");
  prompts_.Choose("/eighth.wav");
  Run([](TDlg1* editor) {
    editor->SendCommand(SongListEditorIds::kAddSong);
    editor->SendCommand(kCmOk);
  });
  EXPECT_EQ(prompts_.asked.size(), 2u);
  EXPECT_EQ(SongList.SlotText(7), "/eighth.wav");
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(SongListEditorTest, TheChooserOffersMusicFilesAndAddsNothingWithoutAChoice) {
  TDlg1* owner = nullptr;
  prompts_.Cancel();
  Run([&](TDlg1* editor) {
    owner = editor;
    editor->SendCommand(SongListEditorIds::kAddSong);
  });
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_EQ(prompts_.asked[0].owner, owner);
  EXPECT_FALSE(prompts_.asked[0].options.save);
  // Its name as given, over every sound file a song may be, in both cases.
  const std::string filter = prompts_.asked[0].options.filter;
  EXPECT_EQ(filter.rfind("(Music Files*.WAV)|*.wav;*.WAV;", 0), 0u) << filter;
  for (const char* pattern : {";*.flac;*.FLAC;", ";*.ogg;*.OGG;", ";*.mp3;*.MP3;", ";*.aiff;*.AIFF;"})
    EXPECT_NE(filter.find(pattern), std::string::npos) << pattern;
  EXPECT_EQ(filter.substr(filter.find('|', filter.find('|') + 1)), "|All Files(*.*)|*.*");
  EXPECT_EQ(prompts_.asked[0].options.folder, "");
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(SongList.SongCount, 0);
  EXPECT_EQ(SongList.SlotText(0), "");
}

TEST_F(SongListEditorTest, APathLongerThanASlotIsRefusedNotCut) {
  const std::string longest = "/" + std::string(75, 'x') + ".wav";  // 80 characters
  prompts_.Choose(longest + "x");
  prompts_.Choose(longest);
  Run([](TDlg1* editor) {
    editor->SendCommand(123);
    editor->SendCommand(123);
  });
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].text.find("80 characters"), std::string::npos);
  EXPECT_EQ(SongList.SlotText(0), longest);
  EXPECT_EQ(SongList.SlotText(1), "");
  EXPECT_EQ(LastChosenFile, longest);
}

TEST_F(SongListEditorTest, ABoxGivesAllOfItsEightyCharactersAndTypingStopsThere) {
  const std::string eighty = "/" + std::string(75, 'k') + ".wav";
  std::string typed;
  Run([&](TDlg1* editor) {
    Type(editor, 0, eighty);
    editor->Box(1)->SetFocus();
    wxUIActionSimulator sim;
    sim.Text(("/" + std::string(84, 't')).c_str());
    testing::RunUntil([&] { return editor->Box(1)->GetValue().size() >= 80; }, 5000);
    typed = editor->Box(1)->GetValue().utf8_string();
    editor->SendCommand(1);
  });
  EXPECT_EQ(SongList.SlotText(0), eighty);
  EXPECT_EQ(typed, "/" + std::string(79, 't'));
  EXPECT_EQ(SongList.SlotText(1), typed);
}

TEST_F(SongListEditorTest, ABoxHoldsEightyBytesAndNeverCutsACharacter) {
  const std::string e = "\xC3\xA9";
  std::string path = "/m/";
  for (int i = 0; i < 36; ++i) path += e;
  path += ".wav";  // 79 bytes in 44 characters
  std::vector<std::string> seen;
  Run([&](TDlg1* editor) {
    wxTextCtrl* box = editor->Box(0);
    box->SetFocus();
    Type(editor, 0, path);
    box->SetInsertionPointEnd();
    box->WriteText(wxString::FromUTF8(e));  // two bytes, one too many: refused whole
    seen.push_back(box->GetValue().utf8_string());
    box->WriteText("x");  // the 80th byte
    seen.push_back(box->GetValue().utf8_string());
    box->WriteText("y");
    seen.push_back(box->GetValue().utf8_string());
    editor->SendCommand(1);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{path, path + "x", path + "x"}));
  EXPECT_EQ(SongList.SlotText(0), path + "x");
}

TEST_F(SongListEditorTest, OpenFileAsksBeforeTakingAFileThatIsNoSongList) {
  const std::string wav = folder_.File("tune.wav");
  const std::string content = "RIFF" + std::string(75584, '\x11');
  testing::WriteWholeFile(wav, content);
  const std::string old = folder_.File("old.dat");
  CurrentListPath = old;
  SongList.SetSlotText(0, "/kept/song.wav");
  prompts_.Choose(wav);
  prompts_.Choose(wav);
  prompts_.Reply(false);
  prompts_.Reply(true);
  TDlg1* owner = nullptr;
  std::vector<std::string> shown, current;
  Run([&](TDlg1* editor) {
    owner = editor;
    for (int i = 0; i < 2; ++i) {
      editor->SendCommand(111);
      shown.push_back(editor->Box(0)->GetValue().utf8_string().substr(0, 4));
      current.push_back(CurrentListPath);
    }
  });
  ASSERT_EQ(prompts_.questions.size(), 2u);
  const testing::PromptDouble::Question& q = prompts_.questions[0];
  EXPECT_EQ(q.owner, owner);
  EXPECT_NE(q.text.find(wav), std::string::npos) << q.text;
  EXPECT_NE(q.text.find("replace"), std::string::npos) << q.text;
  EXPECT_EQ(shown, (std::vector<std::string>{"/kep", "RIFF"}));
  EXPECT_EQ(current, (std::vector<std::string>{old, wav}));
  EXPECT_EQ(ReadSetting("CurFile", 81), wav);
  EXPECT_TRUE(testing::ReadWholeFile(wav) == content);
}

TEST_F(SongListEditorTest, OpenFileLoadsTheListAndMakesItCurrent) {
  const std::string list = folder_.File("other.dat");
  SongListRecord other;
  other.SetSlotText(0, "/other/first.wav");
  other.PlayMode = PlayMode::kSerial;
  const SongListImage image = EncodeSongList(other);
  testing::WriteWholeFile(list, std::string(image.begin(), image.end()));
  CurrentListPath = folder_.File("old.dat");
  prompts_.Choose(list);
  std::string shown;
  Run([&](TDlg1* editor) {
    Type(editor, 0, "/typed/lost.wav");
    editor->SendCommand(111);
    shown = editor->Box(0)->GetValue().utf8_string();
  });
  EXPECT_EQ(prompts_.asked[0].options.folder, folder_.path());
  EXPECT_EQ(std::string(prompts_.asked[0].options.filter),
            "Locations (*.dat)|*.dat|All files (*.*)|*.*");
  EXPECT_EQ(shown, "/other/first.wav");
  EXPECT_EQ(SongList.PlayMode, PlayMode::kSerial);
  EXPECT_EQ(CurrentListPath, list);
  EXPECT_EQ(ReadSetting("CurFile", 81), list);
}

TEST_F(SongListEditorTest, OpenFileCancelledOrUnreadableChangesNothing) {
  CurrentListPath = folder_.File("current.dat");
  prompts_.Cancel();
  prompts_.Choose(folder_.File("vanished.dat"));
  std::vector<std::string> shown;
  Run([&](TDlg1* editor) {
    Type(editor, 0, "/typed/kept.wav");
    editor->SendCommand(111);
    editor->SendCommand(111);
    shown.push_back(editor->Box(0)->GetValue().utf8_string());
  });
  EXPECT_EQ(shown, std::vector<std::string>{"/typed/kept.wav"});
  EXPECT_EQ(CurrentListPath, folder_.File("current.dat"));
  EXPECT_EQ(ReadSetting("CurFile", 81), "");
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].text.find("vanished.dat"), std::string::npos);
}

TEST_F(SongListEditorTest, HelpOpensOverTheEditorWhichStaysOpen) {
  Run([](TDlg1* editor) {
    const testing::HelpSeen seen = testing::PressHelp(editor, kSongEntryHelpResource);
    EXPECT_EQ(seen.parent, editor);
    EXPECT_TRUE(seen.opener_open);
    EXPECT_TRUE(editor->IsModal());
  });
}

}  // namespace
}  // namespace morrowby
