// The three desktops asked at once: GNOME's setting read from dconf here, KDE and Xfce
// asked over the session bus with replies on a main context of this object's own.
#include "app/do_not_disturb.h"

#include <gio/gio.h>

#include "app/desktop_notice.h"
#include "sound/gsettings_key.h"

namespace morrowby {
namespace {

// GNOME's switch: banners off is its Do Not Disturb.
bool GnomeQuiet() {
  GVariant *user, *by_default;
  if (!ReadGSettingsKey("org.gnome.desktop.notifications", "show-banners", G_VARIANT_TYPE_BOOLEAN,
                        &user, &by_default))
    return false;
  GVariant* value = user != nullptr ? user : by_default;
  const bool quiet = value != nullptr && !g_variant_get_boolean(value);
  if (user != nullptr) g_variant_unref(user);
  if (by_default != nullptr) g_variant_unref(by_default);
  return quiet;
}

// A reply's one boolean, seen through its variant wrapper; false for anything else.
bool ReplyTrue(GDBusConnection* bus, GAsyncResult* result) {
  GVariant* reply = g_dbus_connection_call_finish(bus, result, nullptr);
  if (reply == nullptr) return false;
  GVariant* boxed = nullptr;
  g_variant_get(reply, "(v)", &boxed);
  const bool on = boxed != nullptr && g_variant_is_of_type(boxed, G_VARIANT_TYPE_BOOLEAN) &&
                  g_variant_get_boolean(boxed);
  if (boxed != nullptr) g_variant_unref(boxed);
  g_variant_unref(reply);
  return on;
}

constexpr int kCallTimeoutMs = 1000;  // a bound for GIO; On() sets the caller's own

}  // namespace

DoNotDisturbQuestion::DoNotDisturbQuestion()
    : context_(g_main_context_new()), cancellable_(g_cancellable_new()) {
  quiet_ = GnomeQuiet();
  if (quiet_ || !SessionBusThere()) return;
  g_main_context_push_thread_default(context_);
  ++pending_;
  g_bus_get(G_BUS_TYPE_SESSION, cancellable_, &OnBus, this);
  g_main_context_pop_thread_default(context_);
}

DoNotDisturbQuestion::~DoNotDisturbQuestion() {
  // What is still out is cancelled, and its callbacks run here, before this goes.
  g_cancellable_cancel(cancellable_);
  while (pending_ > 0 && g_main_context_iteration(context_, TRUE)) {
  }
  g_object_unref(cancellable_);
  g_main_context_unref(context_);
}

void DoNotDisturbQuestion::OnBus(GObject*, GAsyncResult* result, gpointer self) {
  auto* me = static_cast<DoNotDisturbQuestion*>(self);
  GDBusConnection* bus = g_bus_get_finish(result, nullptr);
  if (bus != nullptr && !g_cancellable_is_cancelled(me->cancellable_)) {
    // The replies come to the thread-default context of the call: this object's own.
    g_main_context_push_thread_default(me->context_);
    me->pending_ += 2;
    g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.freedesktop.Notifications", "Inhibited"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs,
                           me->cancellable_, &OnInhibited, me);
    g_dbus_connection_call(bus, "org.xfce.Xfconf", "/org/xfce/Xfconf", "org.xfce.Xfconf",
                           "GetProperty", g_variant_new("(ss)", "xfce4-notifyd", "/do-not-disturb"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs,
                           me->cancellable_, &OnXfconf, me);
    g_main_context_pop_thread_default(me->context_);
  }
  if (bus != nullptr) g_object_unref(bus);
  me->Answered(false);
}

void DoNotDisturbQuestion::OnInhibited(GObject* source, GAsyncResult* result, gpointer self) {
  static_cast<DoNotDisturbQuestion*>(self)->Answered(ReplyTrue(G_DBUS_CONNECTION(source), result));
}

void DoNotDisturbQuestion::OnXfconf(GObject* source, GAsyncResult* result, gpointer self) {
  static_cast<DoNotDisturbQuestion*>(self)->Answered(ReplyTrue(G_DBUS_CONNECTION(source), result));
}

void DoNotDisturbQuestion::Answered(bool quiet) {
  --pending_;
  quiet_ = quiet_ || quiet;
}

bool DoNotDisturbQuestion::On(std::chrono::steady_clock::time_point deadline) {
  while (pending_ > 0 && !quiet_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // What has come in is taken without waiting; then a wait bounded by the deadline.
    if (g_main_context_iteration(context_, FALSE)) continue;
    if (left.count() <= 0) break;
    GSource* timer = g_timeout_source_new(static_cast<guint>(left.count()));
    g_source_set_callback(timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context_);
    g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  return quiet_;
}

}  // namespace morrowby
