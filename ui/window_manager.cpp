// Window-manager hints through GTK and GDK: focus on mapping, the X input model,
// placement after mapping, activation.
#include "ui/window_manager.h"

#include <gtk/gtk.h>

#include <algorithm>
#ifdef GDK_WINDOWING_X11
#include <X11/Xatom.h>
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

// Whether the window's _NET_WM_STATE, as the manager keeps it, holds `state`.
bool HasState(Display* display, Window xid, Atom state) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom property = XInternAtom(display, "_NET_WM_STATE", False);
  if (XGetWindowProperty(display, xid, property, 0, 64, False, XA_ATOM, &type, &format, &count,
                         &after, &data) != Success || data == nullptr)
    return false;
  bool found = false;
  const auto* atoms = reinterpret_cast<const Atom*>(data);
  for (unsigned long i = 0; i < count && format == 32; ++i) found = found || atoms[i] == state;
  XFree(data);
  return found;
}

// Managers mark a new window they do not focus as asking for the user's attention
// (KWin always, Mutter where it overlaps the focused window, fearing it is hidden
// below), which a task bar shows by flashing. A window that appears without the focus
// on purpose, above the others, takes that mark back whenever it is set.
gboolean WithdrawAttention(GtkWidget* widget, GdkEventProperty* event, gpointer) {
  GdkWindow* gdk = gtk_widget_get_window(widget);
  if (gdk == nullptr || !GDK_IS_X11_WINDOW(gdk) ||
      event->atom != gdk_atom_intern_static_string("_NET_WM_STATE"))
    return FALSE;
  Display* display = GDK_WINDOW_XDISPLAY(gdk);
  const Atom attention = XInternAtom(display, "_NET_WM_STATE_DEMANDS_ATTENTION", False);
  if (!HasState(display, GDK_WINDOW_XID(gdk), attention)) return FALSE;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = GDK_WINDOW_XID(gdk);
  message.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = 0;  // remove
  message.xclient.data.l[1] = static_cast<long>(attention);
  message.xclient.data.l[3] = 1;  // from an application
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  return FALSE;
}

// "Not to be focused on mapping" (a user time of 0) said on the window itself as well
// as on the toolkit's separate user-time window, which some managers (IceWM) never
// look at.
void NoUserTimeYet(GdkWindow* gdk) {
  if (!GDK_IS_X11_WINDOW(gdk)) return;
  Display* display = GDK_WINDOW_XDISPLAY(gdk);
  const long zero = 0;
  XChangeProperty(display, GDK_WINDOW_XID(gdk), XInternAtom(display, "_NET_WM_USER_TIME", False),
                  XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&zero),
                  1);
}

guint32 launch_time = 0;  // UI thread only

// A window mapped with no input of ours yet carries the launch time, which the
// toolkit would leave unset; a manager may take an unset time as "do not focus".
void MarkUserTime(GtkWindow* gtk) {
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(gtk));
  const guint32 time = LastInputTime();
  if (gdk != nullptr && GDK_IS_X11_WINDOW(gdk) && time != GDK_CURRENT_TIME)
    gdk_x11_window_set_user_time(gdk, time);
}

// Whether a manager runs that activates windows on request; with none, nothing will
// give a new window the focus, and waiting for it would be in vain.
bool ManagerActivates(GtkWidget* widget) {
  GdkScreen* screen = gtk_widget_get_screen(widget);
  return GDK_IS_X11_SCREEN(screen) &&
         gdk_x11_screen_supports_net_wm_hint(screen,
                                             gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW"));
}

bool OnX11(GtkWidget* widget) {
  GdkWindow* gdk = gtk_widget_get_window(widget);
  return gdk != nullptr && GDK_IS_X11_WINDOW(gdk);
}
#else
bool OnX11(GtkWidget*) { return false; }
gboolean WithdrawAttention(GtkWidget*, GdkEventProperty*, gpointer) { return FALSE; }
void NoUserTimeYet(GdkWindow*) {}
void DropTakeFocus(GdkWindow*) {}
void MarkUserTime(GtkWindow*) {}
bool ManagerActivates(GtkWidget*) { return false; }
#endif

// How long the window that goes waits for its successor's focus at most.
constexpr guint kSuccessionWaitMs = 1000;

// The window that goes when its successor has the focus; owned by the successor's
// widget (object data), so it dies with it.
struct Succession {
  GtkWidget* leaving;
  guint wait = 0;
};

void HideLeaving(Succession* s) {
  if (s->leaving != nullptr) gtk_widget_hide(s->leaving);
  s->leaving = nullptr;
  if (s->wait != 0) g_source_remove(s->wait), s->wait = 0;
}

void ForgetSuccession(gpointer data) {
  auto* s = static_cast<Succession*>(data);
  if (s->wait != 0) g_source_remove(s->wait);
  delete s;
}

constexpr char kSuccessionKey[] = "morrowby-succession";

Succession* SuccessionOf(GtkWidget* widget) {
  return static_cast<Succession*>(g_object_get_data(G_OBJECT(widget), kSuccessionKey));
}

gboolean OnSuccessorFocused(GtkWidget* widget, GdkEvent*, gpointer) {
  if (Succession* s = SuccessionOf(widget)) HideLeaving(s);
  return FALSE;
}

gboolean OnSuccessionWaitOver(gpointer data) {
  if (Succession* s = SuccessionOf(GTK_WIDGET(data))) {
    s->wait = 0;
    HideLeaving(s);
  }
  return G_SOURCE_REMOVE;
}

gboolean OnActivatingMap(GtkWidget* widget, GdkEvent*, gpointer) {
  // Once: presenting a window maps it again where the display is Wayland's, and
  // there a compositor activates a new window by its own rules anyway.
  g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&OnActivatingMap),
                                       nullptr);
  if (OnX11(widget))
    gtk_window_present_with_time(GTK_WINDOW(widget), LastInputTime());
  Succession* s = SuccessionOf(widget);
  if (s == nullptr || s->leaving == nullptr) return FALSE;
  if (!ManagerActivates(widget) || gtk_window_has_toplevel_focus(GTK_WINDOW(widget))) {
    HideLeaving(s);
  } else if (s->wait == 0) {
    s->wait = g_timeout_add_full(G_PRIORITY_DEFAULT, kSuccessionWaitMs, &OnSuccessionWaitOver,
                                 g_object_ref(widget), g_object_unref);
  }
  return FALSE;
}

void OnLeftDown(wxMouseEvent& event) {
  event.Skip();  // the click goes on to the control
  auto* window = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(
      static_cast<wxWindow*>(event.GetEventObject())));
  if (window == nullptr) return;
  // Asked as of the click, which no focus-stealing prevention refuses; with no manager
  // to give the focus on a click, the window takes it itself.
  GtkWindow* gtk = GtkOf(window);
  if (!gtk_window_has_toplevel_focus(gtk))
    gtk_window_present_with_time(gtk, gtk_get_current_event_time());
}

// The toolkit's modal run marks the window modal for the manager as well, which would
// make it block the program's other windows, the Setup window that follows it among
// them; the run's own modality (the toolkit's grab) is all the program needs.
void DropModalHint(GObject* object, GParamSpec*, gpointer) {
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(object));
  if (gdk != nullptr) gdk_window_set_modal_hint(gdk, FALSE);
}

// A window that is never focused would be drawn in the toolkit's backdrop look, where
// a button's label is greyed as if it were disabled.
// The look is mended once the toolkit has passed the state on to the window's
// controls (which it does after this signal), and before the window is next drawn.
gboolean DropBackdrop(gpointer widget) {
  gtk_widget_unset_state_flags(GTK_WIDGET(widget), GTK_STATE_FLAG_BACKDROP);
  return G_SOURCE_REMOVE;
}

void OnStateFlagsChanged(GtkWidget* widget, GtkStateFlags, gpointer) {
  if (gtk_widget_get_state_flags(widget) & GTK_STATE_FLAG_BACKDROP)
    g_idle_add_full(G_PRIORITY_HIGH_IDLE, &DropBackdrop, g_object_ref(widget), g_object_unref);
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

// After the toolkit's own sizing on map (a file chooser takes the size it last had,
// on whatever screen that was): no larger than the monitor's work area, and inside it.
void OnMappedFit(GtkWidget* widget, gpointer) {
  GdkWindow* gdk = gtk_widget_get_window(widget);
  GdkMonitor* monitor = gdk != nullptr ? gdk_display_get_monitor_at_window(gtk_widget_get_display(widget), gdk) : nullptr;
  if (monitor == nullptr) return;
  GdkRectangle area, frame;
  gdk_monitor_get_workarea(monitor, &area);
  gdk_window_get_frame_extents(gdk, &frame);
  GtkWindow* gtk = GTK_WINDOW(widget);
  int width, height;
  gtk_window_get_size(gtk, &width, &height);
  // What the frame (or a client-side shadow) adds around the window's own size.
  const int extra_w = std::max(0, frame.width - width), extra_h = std::max(0, frame.height - height);
  const int fit_w = std::min(width, area.width - extra_w), fit_h = std::min(height, area.height - extra_h);
  if (fit_w != width || fit_h != height) gtk_window_resize(gtk, fit_w, fit_h);
  const int x = std::max(area.x, std::min(frame.x, area.x + area.width - (fit_w + extra_w)));
  const int y = std::max(area.y, std::min(frame.y, area.y + area.height - (fit_h + extra_h)));
  if (x != frame.x || y != frame.y) gtk_window_move(gtk, x, y);
}

}  // namespace

void FitOnScreen(wxTopLevelWindow* window) {
  g_signal_connect_after(window->GetHandle(), "map", G_CALLBACK(OnMappedFit), nullptr);
}

void NeverTakeFocus(wxTopLevelWindow* window) {
  GtkWindow* gtk = GtkOf(window);
  // Not focused on mapping (_NET_WM_USER_TIME 0), and no input hint.
  gtk_window_set_focus_on_map(gtk, FALSE);
  gtk_window_set_accept_focus(gtk, FALSE);
  // Realized now, so that the protocols can be changed before the window is mapped.
  // (This also spares the first showing a wait for the frame's size: a window of no
  // size would otherwise be asked to shrink below nothing when the frame is known.)
  gtk_widget_realize(GTK_WIDGET(gtk));
  DropTakeFocus(gtk_widget_get_window(GTK_WIDGET(gtk)));
}

void OfferBesideWork(wxTopLevelWindow* window) {
  GtkWindow* gtk = GtkOf(window);
  // Mapped with _NET_WM_USER_TIME 0, which managers take as "do not focus"; the input
  // hint stays on, so that a window switcher can still reach it.
  gtk_window_set_focus_on_map(gtk, FALSE);
  // A window of its own, not a dialog: managers place a dialog that stands alone in
  // the screen's middle (Xfwm4), or keep it on the task bar whatever it asks (Mutter).
  gtk_window_set_type_hint(gtk, GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_window_set_skip_taskbar_hint(gtk, TRUE);
  gtk_window_set_skip_pager_hint(gtk, TRUE);
  // A window that belongs to one never mapped (the main window) is one that managers
  // hide with it, or mark as waiting for the user.
  gtk_window_set_transient_for(gtk, nullptr);
  gtk_widget_add_events(GTK_WIDGET(gtk), GDK_PROPERTY_CHANGE_MASK);
  gtk_widget_realize(GTK_WIDGET(gtk));
  NoUserTimeYet(gtk_widget_get_window(GTK_WIDGET(gtk)));

  gdk_window_set_modal_hint(gtk_widget_get_window(GTK_WIDGET(gtk)), FALSE);
  g_signal_connect(gtk, "notify::modal", G_CALLBACK(DropModalHint), nullptr);
  g_signal_connect(gtk, "property-notify-event", G_CALLBACK(WithdrawAttention), nullptr);
  window->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
  for (wxWindow* child : window->GetChildren()) child->Bind(wxEVT_LEFT_DOWN, &OnLeftDown);
}

void NameWindow(wxTopLevelWindow* window, const wxString& name) {
  GtkWidget* widget = GTK_WIDGET(GtkOf(window));
  // The display server's window's own name, not the toolkit's title, which is the
  // caption and stays as it was.
  gtk_widget_realize(widget);
  gdk_window_set_title(gtk_widget_get_window(widget), name.utf8_str());
}

void KeepActiveLook(wxTopLevelWindow* window) {
  g_signal_connect(GtkOf(window), "state-flags-changed", G_CALLBACK(OnStateFlagsChanged),
                   nullptr);
}

void KeepPlacement(wxTopLevelWindow* window, const wxPoint& where) {
  // USPosition (and PPosition): without them managers place a new window by rules of
  // their own, most often in the screen's middle, and only the move once it is mapped
  // would bring it here, a frame too late.
  GdkGeometry unused{};
  gtk_window_set_geometry_hints(GtkOf(window), nullptr, &unused,
                                GdkWindowHints(GDK_HINT_POS | GDK_HINT_USER_POS));
  g_signal_connect_data(window->GetHandle(), "map-event", G_CALLBACK(OnMapped),
                        new Placement{where.x, where.y}, ForgetPlacement, GConnectFlags(0));
}

void ActivateWindow(wxTopLevelWindow* window) {
  GtkWindow* gtk = GtkOf(window);
  gtk_window_present_with_time(gtk, LastInputTime());
}

void NoteLaunchTime(wxTopLevelWindow* window) {
#ifdef GDK_WINDOWING_X11
  GtkWidget* widget = GTK_WIDGET(GtkOf(window));
  gtk_widget_realize(widget);
  GdkWindow* gdk = gtk_widget_get_window(widget);
  if (gdk != nullptr && GDK_IS_X11_WINDOW(gdk)) launch_time = gdk_x11_get_server_time(gdk);
#else
  (void)window;
#endif
}

void ActivateOnMap(wxTopLevelWindow* window, wxTopLevelWindow* leaving) {
  GtkWindow* gtk = GtkOf(window);
  gtk_widget_realize(GTK_WIDGET(gtk));
  MarkUserTime(gtk);
  if (leaving != nullptr) {
    g_object_set_data_full(G_OBJECT(gtk), kSuccessionKey,
                           new Succession{GTK_WIDGET(GtkOf(leaving))}, &ForgetSuccession);
    g_signal_connect(gtk, "focus-in-event", G_CALLBACK(OnSuccessorFocused), nullptr);
  }
  g_signal_connect(gtk, "map-event", G_CALLBACK(OnActivatingMap), nullptr);
}

uint32_t LastInputTime() {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return GDK_CURRENT_TIME;
  const guint32 time = gdk_x11_display_get_user_time(display);
  if (time != 0) return time;
  return launch_time != 0 ? launch_time : GDK_CURRENT_TIME;
#else
  return GDK_CURRENT_TIME;
#endif
}

}  // namespace morrowby
