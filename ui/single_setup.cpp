// The lock file, the socket and the raise.
#include "ui/single_setup.h"

#include <fcntl.h>
#include <gdk/gdk.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "store/paths.h"
#include "ui/window_manager.h"

namespace morrowby {
namespace {

constexpr int kAnswerWaitMs = 2000;
constexpr int kConnectTries = 20;  // 50 ms apart: the holder may not listen yet

// Whether `folder` is a folder of this user's that no one else may enter, in a parent
// from which no one else can take it away (one that only its owner may write, or a
// sticky one such as /tmp). Made when it is missing and its parent is there.
bool PrivateFolderAt(const std::string& folder) {
  const uid_t uid = getuid();
  struct stat parent, st;
  const std::string above = folder.substr(0, folder.find_last_of('/'));
  if (stat(above.empty() ? "/" : above.c_str(), &parent) != 0 || !S_ISDIR(parent.st_mode) ||
      (parent.st_uid != uid && parent.st_uid != 0) ||
      ((parent.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (parent.st_mode & S_ISVTX) == 0))
    return false;
  mkdir(folder.c_str(), 0700);
  return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0;
}

// The folder for the lock and the socket: the first private one of the runtime
// folder's, /tmp's and the configuration folder's. Any other user may make
// /tmp/morrowby-<uid> first, and a session may name a runtime folder that is not
// there: each is then passed over, never taken as no rule at all. "" when none is.
std::string PrivateFolder() {
  std::vector<std::string> candidates;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') candidates.push_back(std::string(runtime) + "/morrowby");
  candidates.push_back("/tmp/morrowby-" + std::to_string(getuid()));
  const std::string config = ConfigFolder();
  if (!config.empty()) candidates.push_back(config + "/morrowby");
  for (const std::string& folder : candidates)
    if (PrivateFolderAt(folder)) return folder;
  return "";
}

bool SocketAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size());
  return true;
}

// What lets the window manager raise the holder's window for this run: the
// launcher's start-up id, else the time of this run's last user input, or of its
// launch (the holder's own times are older than the input that started this run).
std::string ActivationOfThisRun() {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_display_get_default();
  if (display != nullptr && GDK_IS_X11_DISPLAY(display)) {
    const gchar* id = gdk_x11_display_get_startup_notification_id(display);
    if (id != nullptr && *id != '\0') return std::string("id ") + id;
  }
#endif
  return "time " + std::to_string(LastInputTime());
}

void Raise(GtkWindow* window, const std::string& request) {
  if (request.compare(0, 3, "id ") == 0) {
    // Completes the requester's start-up notification and activates with its time.
    gtk_window_set_startup_id(window, request.substr(3).c_str());
    return;
  }
  guint32 time = GDK_CURRENT_TIME;
  if (request.compare(0, 5, "time ") == 0) time = static_cast<guint32>(std::strtoul(request.c_str() + 5, nullptr, 10));
  gtk_window_present_with_time(window, time != 0 ? time : GDK_CURRENT_TIME);
}

}  // namespace

struct SingleSetup::Parts {
  std::string folder;
  int lock_fd = -1;
  State state = kHeldElsewhere;
  int listen_fd = -1;
  guint watch = 0;
  wxTopLevelWindow* window = nullptr;

  std::string SocketPath() const { return folder + "/setup.socket"; }

  static gboolean OnRequest(gint fd, GIOCondition, gpointer data) {
    auto* self = static_cast<Parts*>(data);
    const int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return G_SOURCE_CONTINUE;
    // The requester writes one short line and waits for the answer.
    char buffer[512];
    std::string request;
    pollfd ready{client, POLLIN, 0};
    while (request.find('\n') == std::string::npos && poll(&ready, 1, 500) > 0) {
      const ssize_t n = read(client, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
      if (request.size() > 4096) break;
    }
    request = request.substr(0, request.find('\n'));
    if (self->window != nullptr) Raise(GTK_WINDOW(self->window->GetHandle()), request);
    (void)!write(client, "raised\n", 7);
    close(client);
    return G_SOURCE_CONTINUE;
  }
};

SingleSetup::SingleSetup() : parts_(std::make_unique<Parts>()) {
  parts_->folder = PrivateFolder();
  if (parts_->folder.empty()) {
    parts_->state = kNoPrivateFolder;
    return;
  }
  const std::string lock = parts_->folder + "/setup.lock";
  parts_->lock_fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (parts_->lock_fd < 0) {
    parts_->state = kNoPrivateFolder;
    return;
  }
  parts_->state = flock(parts_->lock_fd, LOCK_EX | LOCK_NB) == 0 ? kOwned : kHeldElsewhere;
  if (parts_->state != kOwned) return;
  // Holding the lock, any socket there is a dead holder's.
  sockaddr_un address;
  if (!SocketAddress(parts_->SocketPath(), &address)) return;
  unlink(parts_->SocketPath().c_str());
  parts_->listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (parts_->listen_fd >= 0 &&
      (bind(parts_->listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
       listen(parts_->listen_fd, 8) != 0)) {
    close(parts_->listen_fd);
    parts_->listen_fd = -1;
  }
}

SingleSetup::~SingleSetup() {
  if (parts_->watch != 0) g_source_remove(parts_->watch);
  if (parts_->listen_fd >= 0) {
    unlink(parts_->SocketPath().c_str());
    close(parts_->listen_fd);
  }
  if (parts_->lock_fd >= 0) close(parts_->lock_fd);  // the lock goes with it
}

SingleSetup::State SingleSetup::state() const { return parts_->state; }

void SingleSetup::RaiseOnRequest(wxTopLevelWindow* window) {
  parts_->window = window;
  if (parts_->listen_fd >= 0 && parts_->watch == 0)
    parts_->watch = g_unix_fd_add(parts_->listen_fd, G_IO_IN, &Parts::OnRequest, parts_.get());
}

void SingleSetup::AskHolderToRaise() {
  sockaddr_un address;
  if (!SocketAddress(parts_->SocketPath(), &address)) return;
  const std::string request = ActivationOfThisRun() + "\n";
  for (int attempt = 0; attempt < kConnectTries; ++attempt) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      (void)!write(fd, request.data(), request.size());
      pollfd answer{fd, POLLIN, 0};
      poll(&answer, 1, kAnswerWaitMs);
      close(fd);
      return;
    }
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace morrowby
