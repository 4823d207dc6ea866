// The program's windows as layer-shell surfaces, where GTK runs on a Wayland
// compositor that offers the protocol (app/display_choice.h decides). An ordinary
// Wayland window cannot choose its place, and a compositor centres, tiles or focuses
// it as it likes; a layer surface is anchored to the screen's edges, stays above the
// ordinary windows and takes the keyboard only when it asks. On X11 these calls do
// nothing and return false. UI thread only; call before the window is first shown.
#pragma once

#include <wx/toplevel.h>

namespace morrowby {

// True when the windows are on a Wayland compositor that offers layer surfaces.
bool LayerShellInUse();

// Makes `window` a surface of the top layer, its outer corner at the screen's top-left
// corner, above every ordinary window. It takes no keys when it appears, so typing
// goes on where it was; a left click in it gives it the keyboard (Escape cancels it).
// Call after its controls exist.
bool PinToCorner(wxTopLevelWindow* window);

}  // namespace morrowby
