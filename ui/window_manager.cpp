// Window-manager hints through GTK and GDK: focus on mapping, the X input model,
// placement after mapping, activation.
#include "ui/window_manager.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

namespace morrowby {
namespace {

GtkWindow* GtkOf(wxTopLevelWindow* window) { return GTK_WINDOW(window->GetHandle()); }

#ifdef GDK_WINDOWING_X11
// Takes WM_TAKE_FOCUS out of the window's protocols. With its input hint off as well,
// the window is of the "no input" kind, which managers never pick when they look for
// a window to focus (a window that keeps WM_TAKE_FOCUS is still offered the focus,
// and marked active, even though it refuses it).
void DropTakeFocus(GdkWindow* gdk) {
  if (!GDK_IS_X11_WINDOW(gdk)) return;
  Display* display = GDK_WINDOW_XDISPLAY(gdk);
  const Window xid = GDK_WINDOW_XID(gdk);
  const Atom take_focus = XInternAtom(display, "WM_TAKE_FOCUS", False);
  Atom* protocols = nullptr;
  int count = 0;
  if (XGetWMProtocols(display, xid, &protocols, &count) == 0) return;
  int kept = 0;
  for (int i = 0; i < count; ++i)
    if (protocols[i] != take_focus) protocols[kept++] = protocols[i];
  if (kept != count) XSetWMProtocols(display, xid, protocols, kept);
  XFree(protocols);
}

guint32 LastUserTime(GtkWindow* gtk) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(gtk));
  if (!GDK_IS_X11_DISPLAY(display)) return GDK_CURRENT_TIME;
  const guint32 time = gdk_x11_display_get_user_time(display);
  return time != 0 ? time : GDK_CURRENT_TIME;
}
#else
void DropTakeFocus(GdkWindow*) {}
guint32 LastUserTime(GtkWindow*) { return GDK_CURRENT_TIME; }
#endif

void AppearWithoutFocus(GtkWindow* gtk) {
  // Not focused on mapping (_NET_WM_USER_TIME 0), and no input hint until clicked.
  gtk_window_set_focus_on_map(gtk, FALSE);
  gtk_window_set_accept_focus(gtk, FALSE);
}

void OnLeftDown(wxMouseEvent& event) {
  event.Skip();  // the click goes on to the control
  auto* window = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(
      static_cast<wxWindow*>(event.GetEventObject())));
  if (window == nullptr) return;
  GtkWindow* gtk = GtkOf(window);
  if (gtk_window_get_accept_focus(gtk)) return;
  gtk_window_set_accept_focus(gtk, TRUE);
  gtk_window_present_with_time(gtk, gtk_get_current_event_time());
}

struct Placement {
  int x;
  int y;
};

gboolean OnMapped(GtkWidget* widget, GdkEvent*, gpointer data) {
  const auto* where = static_cast<const Placement*>(data);
  GdkRectangle frame;
  gdk_window_get_frame_extents(gtk_widget_get_window(widget), &frame);
  // Moving a mapped window places its frame: the manager keeps the outer corner at
  // the asked position (north-west gravity).
  if (frame.x != where->x || frame.y != where->y)
    gtk_window_move(GTK_WINDOW(widget), where->x, where->y);
  return FALSE;
}

void ForgetPlacement(gpointer data, GClosure*) { delete static_cast<Placement*>(data); }

}  // namespace

void NeverTakeFocus(wxTopLevelWindow* window) {
  GtkWindow* gtk = GtkOf(window);
  AppearWithoutFocus(gtk);
  // Realized now, so that the protocols can be changed before the window is mapped.
  // (This also spares the first showing a wait for the frame's size: a window of no
  // size would otherwise be asked to shrink below nothing when the frame is known.)
  gtk_widget_realize(GTK_WIDGET(gtk));
  DropTakeFocus(gtk_widget_get_window(GTK_WIDGET(gtk)));
}

void TakeFocusWhenClicked(wxTopLevelWindow* window) {
  AppearWithoutFocus(GtkOf(window));
  window->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
  for (wxWindow* child : window->GetChildren()) child->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
}

void KeepPlacement(wxTopLevelWindow* window, const wxPoint& where) {
  g_signal_connect_data(window->GetHandle(), "map-event", G_CALLBACK(OnMapped),
                        new Placement{where.x, where.y}, ForgetPlacement, GConnectFlags(0));
}

void ActivateWindow(wxTopLevelWindow* window) {
  GtkWindow* gtk = GtkOf(window);
  gtk_window_present_with_time(gtk, LastUserTime(gtk));
}

}  // namespace morrowby
