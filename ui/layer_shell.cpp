// Layer surfaces through gtk-layer-shell. After the first click the launch window
// takes the keyboard "on demand": it has it from that click on, and gives it up when
// the user clicks elsewhere. Compositors of the protocol's versions before 4 know
// only the exclusive kind, held until the window closes two seconds later at most.
#include "ui/layer_shell.h"

#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

namespace morrowby {
namespace {

GtkWindow* GtkOf(wxTopLevelWindow* window) { return GTK_WINDOW(window->GetHandle()); }

// Anchored to the top and left edges, at `x`, `y` from them; other surfaces' reserved
// zones (a panel's) do not push it aside, so the corner is the screen's own.
void Anchor(GtkWindow* gtk, GtkLayerShellLayer layer, int x, int y) {
  gtk_layer_init_for_window(gtk);
  gtk_layer_set_namespace(gtk, "morrowby");
  gtk_layer_set_layer(gtk, layer);
  gtk_layer_set_anchor(gtk, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
  gtk_layer_set_anchor(gtk, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
  gtk_layer_set_margin(gtk, GTK_LAYER_SHELL_EDGE_LEFT, x);
  gtk_layer_set_margin(gtk, GTK_LAYER_SHELL_EDGE_TOP, y);
  gtk_layer_set_exclusive_zone(gtk, -1);
  gtk_layer_set_keyboard_mode(gtk, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
}

void OnLeftDown(wxMouseEvent& event) {
  event.Skip();  // the click goes on to the control
  wxWindow* top = wxGetTopLevelParent(static_cast<wxWindow*>(event.GetEventObject()));
  if (top == nullptr) return;
  GtkWindow* gtk = GTK_WINDOW(top->GetHandle());
  if (gtk_layer_get_keyboard_mode(gtk) != GTK_LAYER_SHELL_KEYBOARD_MODE_NONE) return;
  constexpr guint kOnDemandSince = 4;
  gtk_layer_set_keyboard_mode(gtk, gtk_layer_get_protocol_version() >= kOnDemandSince
                                       ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND
                                       : GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
}

}  // namespace

bool LayerShellInUse() {
#ifdef GDK_WINDOWING_WAYLAND
  // Asked of GDK's own list of the compositor's globals: gtk_layer_is_supported()
  // would print a warning where the answer is no.
  GdkDisplay* display = gdk_display_get_default();
  return GDK_IS_WAYLAND_DISPLAY(display) &&
         gdk_wayland_display_query_registry(display, "zwlr_layer_shell_v1");
#else
  return false;
#endif
}

bool PinToCorner(wxTopLevelWindow* window) {
  if (!LayerShellInUse()) return false;
  Anchor(GtkOf(window), GTK_LAYER_SHELL_LAYER_TOP, 0, 0);
  window->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
  for (wxWindow* child : window->GetChildren()) child->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
  return true;
}

}  // namespace morrowby
