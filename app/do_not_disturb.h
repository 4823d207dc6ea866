// Whether the desktop's Do Not Disturb is on, for the hourly chime, which keeps quiet
// then: GNOME's (org.gnome.desktop.notifications show-banners off), KDE's (Inhibited on
// the notification server, org.freedesktop.Notifications) and Xfce's (xfce4-notifyd's
// /do-not-disturb in xfconf). The questions go out at once, over the session bus and
// without starting any service; the answers come in while the caller opens the sound
// device. Main thread only; GIO's own worker thread carries the messages.
#pragma once

#include <chrono>

#include <gio/gio.h>

namespace morrowby {

class DoNotDisturbQuestion {
 public:
  // Sends the questions (none where there is no session bus to ask).
  DoNotDisturbQuestion();
  ~DoNotDisturbQuestion();
  DoNotDisturbQuestion(const DoNotDisturbQuestion&) = delete;
  DoNotDisturbQuestion& operator=(const DoNotDisturbQuestion&) = delete;

  // True when a desktop says Do Not Disturb is on. Answers still out are waited for
  // until `deadline` at the latest; a desktop that has not answered by then counts
  // as not asking for quiet.
  bool On(std::chrono::steady_clock::time_point deadline);

 private:
  static void OnBus(GObject* source, GAsyncResult* result, gpointer self);
  static void OnInhibited(GObject* source, GAsyncResult* result, gpointer self);
  static void OnXfconf(GObject* source, GAsyncResult* result, gpointer self);
  void Answered(bool quiet);

  GMainContext* context_;
  GCancellable* cancellable_;
  int pending_ = 0;
  bool quiet_ = false;
};

}  // namespace morrowby
