// One whole run through the Setup windows in process: the launch button clicked, a
// song added in the editor, the list saved where the user chooses, and Close ending
// the program.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/tglbtn.h>

#include "app/main_window.h"
#include "store/settings.h"
#include "store/song_list_file.h"
#include "tests/app/hand_over_pipe.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_test_support.h"
#include "ui/launch_window.h"
#include "ui/song_list_editor.h"

namespace morrowby {
namespace {

using testing::RunningWindow;
using testing::WhenReady;

class SetupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSongListState();
    ResetQuitRequest();
    LaunchWindow = nullptr;
    ListModified = 0;
  }
  void TearDown() override {
    ResetSongListState();
    ResetQuitRequest();
    LaunchWindow = nullptr;
  }

  testing::TempFolder folder_;
  testing::HandOverPipe pipe_;
  testing::PromptDouble prompts_;
};

TEST_F(SetupFlowTest, AddASongSaveItWhereChosenAndClose) {
  const std::string list = folder_.File("morning.dat");
  prompts_.Choose("/music/morning.wav");  // the song-file chooser
  prompts_.Choose(list);                  // Save As
  bool offered_after_editor = false;
  WhenReady([] { return LaunchWindow != nullptr && LaunchWindow->IsModal(); },
            [] { testing::ClickWithMouse(LaunchWindow->FindWindow(101)); });
  WhenReady([] { return RunningWindow(kSetupResource) != nullptr; },
            [&] {
              TDialog* setup = RunningWindow(kSetupResource);
              WhenReady([] { return RunningWindow(kSongListEditorResource) != nullptr; },
                        [] {
                          TDialog* editor = RunningWindow(kSongListEditorResource);
                          editor->SendCommand(123);
                          testing::ClickWithMouse(editor->FindWindow(1));
                        });
              setup->SendCommand(101);
              offered_after_editor = setup->FindWindow(105)->IsShown();
              setup->SendCommand(105);
              testing::ClickWithMouse(setup->FindWindow(1));
            });

  pipe_.SendState();
  pipe_.SendEnd();
  auto* window = new TWndw(pipe_.ReadFd());
  window->Show();
  window->SetupWindow();
  wxTheApp->MainLoop();
  window->Destroy();
  wxTheApp->Yield(true);

  EXPECT_TRUE(offered_after_editor);
  EXPECT_TRUE(QuitRequested());
  const std::string file = testing::ReadWholeFile(list);
  ASSERT_EQ(file.size(), kSongListBytes);
  EXPECT_EQ(file.substr(0, 19), std::string("/music/morning.wav") + '\0');
  EXPECT_EQ(file[kSongCountOffset], 1);
  EXPECT_EQ(ReadSetting("CurFile", 81), list);
}

}  // namespace
}  // namespace morrowby
