// The windows of fixed text: each one closes with its Close button, "Tech info" does
// nothing, and the About window names this release.
#include "ui/help_windows.h"

#include <gtest/gtest.h>

#include <regex>

#include "resources/dialog_layouts.h"
#include "tests/ui/window_test_support.h"

namespace morrowby {
namespace {

using testing::RunningWindow;

class HelpWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetQuitRequest(); }
};

TEST_F(HelpWindowsTest, EachWindowClosesWithItsCloseButton) {
  for (int resource : {kAboutResource, kProgramDetailsResource, kSongEntryHelpResource,
                       kSelectionModesResource, kInitialSettingUpResource}) {
    bool shown = false;
    testing::WhenReady([resource] { return RunningWindow(resource) != nullptr; },
                       [&] {
                         TDialog* window = RunningWindow(resource);
                         shown = window->IsShownOnScreen();
                         testing::ClickWithMouse(window->FindWindow(2));
                       });
    ShowHelpWindow(nullptr, resource);
    EXPECT_TRUE(shown) << resource;
  }
}

TEST_F(HelpWindowsTest, TechInfoDoesNothing) {
  bool open_after_click = false;
  testing::WhenReady([] { return RunningWindow(kProgramDetailsResource) != nullptr; },
                     [&] {
                       TDialog* window = RunningWindow(kProgramDetailsResource);
                       testing::ClickWithMouse(window->FindWindow(104));
                       open_after_click = window->IsModal();
                       window->SendCommand(2);
                     });
  ShowHelpWindow(nullptr, kProgramDetailsResource);
  EXPECT_TRUE(open_after_click);
}

TEST_F(HelpWindowsTest, AboutNamesTheReleaseAndWhereToFindIt) {
  std::string maker, address;
  testing::WhenReady([] { return RunningWindow(kAboutResource) != nullptr; },
                     [&] {
                       TDialog* window = RunningWindow(kAboutResource);
                       maker = testing::ControlText(window, 102);
                       address = window->FindWindow(106)->GetLabel().utf8_string();
                       window->SendCommand(2);
                     });
  ShowHelpWindow(nullptr, kAboutResource);
  EXPECT_TRUE(std::regex_search(maker, std::regex("Morrowby developers, [A-Z][a-z]+ [0-9]{4}, "
                                                  "version [0-9]+\\.[0-9]+")))
      << maker;
  EXPECT_NE(address.find("\nWhere a current E-mail address can also be found."), std::string::npos);
}

}  // namespace
}  // namespace morrowby
