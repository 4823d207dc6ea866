// The application object.
#include "app/app.h"

#include "app/main_window.h"
#include "store/translation.h"
#include "ui/shown_text.h"

namespace morrowby {

TApp::TApp(int hand_over_fd) : hand_over_fd_(hand_over_fd) {
  SetClassName("Daychime");
  SetAppName("morrowby");
  // GTK takes the window class (WM_CLASS) from the display name.
  SetAppDisplayName("Daychime");
}

bool TApp::OnInit() {
  UseUserLanguageInWindows(CatalogueFolder());
  auto* window = new TWndw(hand_over_fd_);
  SetTopWindow(window);  // never shown: see TWndw
  window->SetupWindow();
  return true;
}

}  // namespace morrowby
