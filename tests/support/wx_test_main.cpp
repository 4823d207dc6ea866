// Test entry for the window tests: starts wx on the (Xvfb) display, then GoogleTest.
// The runtime folder is one of the run's own, so that the one-Setup lock of a test
// never meets a real Setup window or another test run; settings stay in memory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
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
  char runtime[] = "/tmp/morrowby-ui-tests-XXXXXX";
  if (mkdtemp(runtime) != nullptr) setenv("XDG_RUNTIME_DIR", runtime, 1);
  // What the toolkit remembers (the file chooser's size, say) stays in this process.
  setenv("GSETTINGS_BACKEND", "memory", 1);
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    fprintf(stderr, "cannot start the toolkit: is there a display?\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return result;
}
