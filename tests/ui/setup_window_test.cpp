// The Setup window on a real window: its clean and offer-to-save states after each
// editor, Save and Save As with their failures and cancels, and Close.
#include "ui/setup_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>

#include <cstdlib>
#include <memory>

#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"
#include "tests/ui/window_test_support.h"
#include "ui/setup_opener.h"
#include "ui/single_setup.h"
#include "ui/song_list_editor.h"

namespace morrowby {
namespace {

using testing::RunningWindow;
using testing::RunWindow;

class SetupWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ResetQuitRequest();
    ListModified = 0;
    SongList.SetSlotText(0, "/music/first.wav");
    SongList.SongCount = 1;
  }
  void TearDown() override {
    ResetSongListState();
    ResetQuitRequest();
    ListModified = 0;
  }

  void Run(const std::function<void(TDlg2*)>& act) { RunWindow(new TDlg2(nullptr), act); }

  // Ends the next window of `resource` with `command` as soon as it runs.
  static void Answer(int resource, int command) {
    testing::WhenReady([resource] { return RunningWindow(resource) != nullptr; },
                       [resource, command] { RunningWindow(resource)->SendCommand(command); });
  }
  // The editor left with OK: the state in which Save and Save As are offered.
  static void EditSongs(TDlg2* setup) {
    Answer(kSongListEditorResource, 1);
    setup->SendCommand(101);
  }
  static bool Offering(TDlg2* setup) {
    return setup->FindWindow(104)->IsShown() && setup->FindWindow(105)->IsShown();
  }
  static std::string Prompt(TDlg2* setup) { return testing::ControlText(setup, 106); }

  testing::TempFolder folder_;
  testing::PromptDouble prompts_;
  const std::string list_ = folder_.File("list.dat");
};

TEST_F(SetupWindowTest, OpensCleanAndTheEditorsOkOffersSaveWithThePrompt) {
  bool offering_at_start = true;
  std::string prompt_at_start = "x";
  Run([&](TDlg2* setup) {
    offering_at_start = Offering(setup);
    prompt_at_start = Prompt(setup);
    EditSongs(setup);
    EXPECT_TRUE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "Do you wish to save the changes to the Song List ?");
    EXPECT_EQ(ListModified, 0);
  });
  EXPECT_FALSE(offering_at_start);
  EXPECT_EQ(prompt_at_start, "");
}

TEST_F(SetupWindowTest, EditorCancelAndDateWordsLeaveTheWindowClean) {
  Run([](TDlg2* setup) {
    Answer(kSongListEditorResource, 2);
    setup->SendCommand(101);
    Answer(kDateWordsResource, 2);
    setup->SendCommand(103);
    EXPECT_FALSE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "");
  });
}

// The toolkit makes a label the label of the next control, and a window opened over
// this one counts as one: a screen reader would be sent to it, gone once closed.
TEST_F(SetupWindowTest, ItsLabelsNeverLabelAWindowOpenedOverIt) {
  bool checked = false;
  GtkWidget* labelled = nullptr;
  Run([&](TDlg2* setup) {
    testing::WhenReady(
        [] {
          TDialog* editor = RunningWindow(kSongListEditorResource);
          return editor != nullptr && editor->IsShownOnScreen();
        },
        [&, setup] {
          wxTheApp->ProcessIdle();  // where the toolkit pairs labels and controls
          labelled = gtk_label_get_mnemonic_widget(GTK_LABEL(setup->FindWindow(106)->GetHandle()));
          checked = true;
          RunningWindow(kSongListEditorResource)->SendCommand(2);
        });
    setup->SendCommand(101);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(labelled, nullptr);
}

TEST_F(SetupWindowTest, SetModeOffersSaveEvenWhenCancelledAndKeepsThePrompt) {
  Run([](TDlg2* setup) {
    Answer(kPlayModeResource, 2);
    setup->SendCommand(102);
    EXPECT_TRUE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "");
    setup->SendCommand(104);  // no list file: Save asks where, and is cancelled
    EditSongs(setup);
    Answer(kPlayModeResource, 2);
    setup->SendCommand(102);
    EXPECT_EQ(Prompt(setup), "Do you wish to save the changes to the Song List ?");
  });
}

TEST_F(SetupWindowTest, SaveWritesTheCurrentListAndCleansUp) {
  CurrentListPath = list_;
  Run([](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(104);
    EXPECT_FALSE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "");
  });
  const std::string file = testing::ReadWholeFile(list_);
  ASSERT_EQ(file.size(), kSongListBytes);
  EXPECT_EQ(file.substr(0, 16), "/music/first.wav");
  EXPECT_TRUE(prompts_.asked.empty());
}

TEST_F(SetupWindowTest, SaveWithNoListFileAsksWhereTheListGoes) {
  const std::string chosen = folder_.File("new.dat");
  prompts_.Choose(chosen);
  Run([](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(104);
    EXPECT_FALSE(Offering(setup));
  });
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_TRUE(prompts_.asked[0].options.save);
  EXPECT_EQ(testing::ReadWholeFile(chosen).size(), kSongListBytes);
  EXPECT_EQ(CurrentListPath, chosen);
  EXPECT_EQ(ReadSetting("CurFile", 81), chosen);
}

TEST_F(SetupWindowTest, AFailedSaveIsReportedAndSaveStaysOffered) {
  testing::WriteWholeFile(list_, "old content");
  chmod(list_.c_str(), 0444);
  CurrentListPath = list_;
  TDlg2* owner = nullptr;
  Run([&](TDlg2* setup) {
    owner = setup;
    EditSongs(setup);
    setup->SendCommand(104);
    EXPECT_TRUE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "Do you wish to save the changes to the Song List ?");
  });
  ASSERT_EQ(prompts_.messages.size(), 1u);
  const testing::PromptDouble::Message& m = prompts_.messages[0];
  EXPECT_EQ(m.owner, owner);
  EXPECT_EQ(m.caption, "ERROR");
  EXPECT_EQ(m.icon, wxICON_EXCLAMATION);
  EXPECT_NE(m.text.find(list_), std::string::npos);
  EXPECT_GT(m.text.size(), list_.size() + 40);  // the system's reason is there too
  EXPECT_EQ(testing::ReadWholeFile(list_), "old content");
  EXPECT_EQ(SongList.SlotText(0), "/music/first.wav");
}

TEST_F(SetupWindowTest, SaveWritesAWritableListInAReadOnlyFolder) {
  const std::string locked = folder_.File("locked");
  mkdir(locked.c_str(), 0755);
  CurrentListPath = locked + "/list.dat";
  testing::WriteWholeFile(CurrentListPath, std::string(818, 'o'));
  chmod(CurrentListPath.c_str(), 0666);
  chmod(locked.c_str(), 0555);
  chmod(folder_.path().c_str(), 0755);
  Run([](TDlg2* setup) {
    EditSongs(setup);
    testing::AsUnprivilegedUser user;
    ASSERT_TRUE(user.ok()) << user.why();
    setup->SendCommand(104);
    EXPECT_FALSE(Offering(setup));
  });
  EXPECT_TRUE(prompts_.messages.empty());
  const std::string file = testing::ReadWholeFile(CurrentListPath);
  ASSERT_EQ(file.size(), kSongListBytes);
  EXPECT_EQ(file.substr(0, 16), "/music/first.wav");
}

TEST_F(SetupWindowTest, SaveAsSaysSoWhenTheNewListCannotBeMadeCurrent) {
  CurrentListPath = list_;
  ASSERT_TRUE(WriteSetting("CurFile", list_).ok);
  chmod(folder_.File("TOLVERA.INI").c_str(), 0444);
  const std::string chosen = folder_.File("elsewhere.dat");
  prompts_.Choose(chosen);
  Run([this](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(105);
    EXPECT_TRUE(Offering(setup));  // so that the user may save it elsewhere
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].owner, setup);
  });
  EXPECT_EQ(testing::ReadWholeFile(chosen).size(), kSongListBytes);
  const testing::PromptDouble::Message& m = prompts_.messages[0];
  EXPECT_EQ(m.caption, "ERROR");
  EXPECT_EQ(m.icon, wxICON_EXCLAMATION);
  EXPECT_NE(m.text.find(chosen), std::string::npos) << m.text;
  EXPECT_EQ(CurrentListPath, chosen);
  EXPECT_EQ(ReadSetting("CurFile", 81), list_);
}

TEST_F(SetupWindowTest, AFailedSaveAsKeepsTheCurrentListFile) {
  CurrentListPath = list_;
  ASSERT_TRUE(WriteSetting("CurFile", list_).ok);
  prompts_.Choose(folder_.File("no/such/folder.dat"));
  Run([](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(105);
    EXPECT_TRUE(Offering(setup));
  });
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].text.find("no/such/folder.dat"), std::string::npos);
  EXPECT_EQ(CurrentListPath, list_);
  EXPECT_EQ(ReadSetting("CurFile", 81), list_);
}

TEST_F(SetupWindowTest, SaveAsCancelledWritesAndChangesNothing) {
  CurrentListPath = list_;
  ASSERT_TRUE(WriteSetting("CurFile", list_).ok);
  prompts_.Cancel();
  Run([](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(105);
    EXPECT_TRUE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "Do you wish to save the changes to the Song List ?");
  });
  EXPECT_FALSE(testing::FileExists(list_));
  EXPECT_EQ(CurrentListPath, list_);
  EXPECT_EQ(ReadSetting("CurFile", 81), list_);
  EXPECT_TRUE(prompts_.messages.empty());
}

// The chosen file is another list, its serial position no turn of this one's: it
// receives the record as it is.
TEST_F(SetupWindowTest, SaveAsWritesTheChosenFileAndMakesItCurrent) {
  CurrentListPath = list_;
  LastChosenFile = "/music/songs/last.wav";
  const std::string chosen = folder_.File("elsewhere.dat");
  std::string other(818, '\0');
  other[kSerialPositionOffset] = 5;
  testing::WriteWholeFile(chosen, other);
  SongList.SerialPosition = 2;
  prompts_.Choose(chosen);
  TDlg2* owner = nullptr;
  Run([&](TDlg2* setup) {
    owner = setup;
    EditSongs(setup);
    setup->SendCommand(105);
    EXPECT_FALSE(Offering(setup));
    EXPECT_EQ(Prompt(setup), "");
  });
  ASSERT_EQ(prompts_.asked.size(), 1u);
  const FileDialogOptions& options = prompts_.asked[0].options;
  EXPECT_EQ(prompts_.asked[0].owner, owner);
  EXPECT_TRUE(options.save);
  EXPECT_EQ(std::string(options.filter), "Location Files (*.dat)|*.dat|Text Files (*.txt)|*.txt");
  EXPECT_EQ(options.folder, "/music/songs");
  EXPECT_EQ(std::string(options.default_extension), "dat");
  const std::string written = testing::ReadWholeFile(chosen);
  ASSERT_EQ(written.size(), kSongListBytes);
  EXPECT_EQ(written[kSerialPositionOffset], 2);
  EXPECT_EQ(SongList.SerialPosition, 2);
  EXPECT_FALSE(testing::FileExists(list_));
  EXPECT_EQ(CurrentListPath, chosen);
  EXPECT_EQ(LastChosenFile, chosen);
  EXPECT_EQ(ReadSetting("CurFile", 81), chosen);
}

TEST_F(SetupWindowTest, SaveAsRefusesAPathTooLongToKeep) {
  CurrentListPath = list_;
  const std::string too_long = folder_.path() + "/" + std::string(90, 'n') + ".dat";
  prompts_.Choose(too_long);
  Run([](TDlg2* setup) {
    EditSongs(setup);
    setup->SendCommand(105);
    EXPECT_TRUE(Offering(setup));
  });
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].text.find("80 characters"), std::string::npos);
  EXPECT_FALSE(testing::FileExists(too_long));
  EXPECT_EQ(CurrentListPath, list_);
  EXPECT_EQ(LastChosenFile, "");
}

TEST_F(SetupWindowTest, CloseEndsTheProgramAndEscapeOnlyTheWindow) {
  Run([](TDlg2* setup) { testing::ClickWithMouse(setup->FindWindow(1)); });
  EXPECT_TRUE(QuitRequested());
  ResetQuitRequest();
  Run([](TDlg2* setup) {
    setup->FindWindow(101)->SetFocus();
    testing::PressKey(WXK_ESCAPE);
    testing::RunUntil([&] { return !setup->IsModal(); }, 5000);
    EXPECT_FALSE(setup->IsModal());
  });
  EXPECT_FALSE(QuitRequested());
}

// Two editors of one file would each save their own stale copy over the other's.
// The rule holds for user nobody too when another user (root here) made
// /tmp/morrowby-<uid> first, with the runtime folder unset or missing; and where no
// folder of the user's alone is left, no Setup opens at all, and the user is told.
TEST_F(SetupWindowTest, WhileOneSetupIsOpenNoSecondOpensAndAfterwardsOneDoes) {
  {
    SingleSetup open_elsewhere;
    ASSERT_EQ(open_elsewhere.state(), SingleSetup::kOwned);
    OpenSetupWindow(nullptr);  // asks the holder, which cannot answer from here, and ends
  }
  bool opened = false;
  testing::WhenReady([] { return RunningWindow(kSetupResource) != nullptr; }, [&] {
    opened = true;
    RunningWindow(kSetupResource)->SendCommand(kCmCancel);
  });
  OpenSetupWindow(nullptr);
  EXPECT_TRUE(opened);

  const std::string taken = "/tmp/morrowby-65534";
  const bool planted = mkdir(taken.c_str(), 0700) == 0;
  const std::unique_ptr<const std::string, void (*)(const std::string*)> unplant(
      planted ? &taken : nullptr, [](const std::string* folder) { rmdir(folder->c_str()); });
  struct stat st;
  ASSERT_TRUE(planted || (stat(taken.c_str(), &st) == 0 && st.st_uid != 65534u))
      << taken << " is nobody's own: it cannot stand for another user's";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string kept_runtime = runtime != nullptr ? runtime : "";
  const std::string config = folder_.File("nobody-config");
  mkdir(config.c_str(), 0700);
  ASSERT_EQ(chown(config.c_str(), 65534, 65534), 0);
  chmod(folder_.path().c_str(), 0755);
  for (const char* missing_runtime : {static_cast<const char*>(nullptr), "/nonexistent/runtime"}) {
    if (missing_runtime != nullptr) setenv("XDG_RUNTIME_DIR", missing_runtime, 1);
    else unsetenv("XDG_RUNTIME_DIR");
    for (const std::string& own_config : {config, folder_.path()}) {
      setenv("XDG_CONFIG_HOME", own_config.c_str(), 1);
      testing::AsUnprivilegedUser user;
      ASSERT_TRUE(user.ok()) << user.why();
      SingleSetup first, second;
      if (own_config == config) {
        EXPECT_EQ(first.state(), SingleSetup::kOwned);
        EXPECT_EQ(second.state(), SingleSetup::kHeldElsewhere);
        continue;
      }
      // The configuration folder is root's: nowhere is left for the lock.
      EXPECT_EQ(first.state(), SingleSetup::kNoPrivateFolder);
      // A window that opens all the same is closed at once; the watch ends with the call.
      auto returned = std::make_shared<bool>(false);
      bool opened_unguarded = false;
      testing::WhenReady(
          [returned] { return *returned || RunningWindow(kSetupResource) != nullptr; },
          [&opened_unguarded, returned] {
            if (*returned) return;
            opened_unguarded = true;
            RunningWindow(kSetupResource)->SendCommand(kCmCancel);
          });
      OpenSetupWindow(nullptr);
      *returned = true;
      EXPECT_FALSE(opened_unguarded);
      ASSERT_FALSE(prompts_.messages.empty());
      EXPECT_NE(prompts_.messages.back().text.find("only one Setup window"), std::string::npos);
    }
  }
  EXPECT_EQ(prompts_.messages.size(), 2u);
  if (runtime != nullptr) setenv("XDG_RUNTIME_DIR", kept_runtime.c_str(), 1);
  setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
}

}  // namespace
}  // namespace morrowby
