// Test entry for the window tests: starts wx on the (Xvfb) display, then GoogleTest.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

namespace {
class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    fprintf(stderr, "cannot start the toolkit: is there a display?\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  return result;
}
