// The application object.
#include "app/app.h"

#include "app/main_window.h"

namespace morrowby {

TApp::TApp(Greeting& greeting) : greeting_(greeting) {
  SetClassName("Daychime");
  SetAppName("morrowby");
  // GTK takes the window class (WM_CLASS) from the display name.
  SetAppDisplayName("Daychime");
}

bool TApp::OnInit() {
  auto* window = new TWndw(greeting_);
  SetTopWindow(window);
  window->Show();
  window->SetupWindow();
  return true;
}

}  // namespace morrowby
