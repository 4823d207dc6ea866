// Notifications sent with one call each, bounded by a timeout, and the memory of the
// faults shown.
#include "app/desktop_notice.h"

#include <gio/gio.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "store/atomic_file.h"
#include "store/paths.h"

namespace morrowby {
namespace {

constexpr int kServerWaitMs = 1500;
constexpr std::size_t kMaxMemoryBytes = 64 * 1024;

// Servers that read the body as markup would take a path's '&' or '<' for it.
bool ServerReadsMarkup(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"),
      G_DBUS_CALL_FLAGS_NONE, kServerWaitMs, nullptr, nullptr);
  if (reply == nullptr) return false;
  GVariantIter* caps = nullptr;
  const gchar* cap = nullptr;
  bool markup = false;
  g_variant_get(reply, "(as)", &caps);
  while (g_variant_iter_next(caps, "&s", &cap)) markup = markup || g_strcmp0(cap, "body-markup") == 0;
  g_variant_iter_free(caps);
  g_variant_unref(reply);
  return markup;
}

std::string Memory(const std::vector<UserFault>& faults) {
  std::string text;
  for (const UserFault& f : faults) text += f.summary + "\t" + f.body + "\n";
  return text;
}

}  // namespace

bool SessionBusThere() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime == '/' &&
         access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

bool ShowDesktopNotice(const UserFault& notice) {
  if (!SessionBusThere()) return false;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return false;
  gchar* escaped = g_markup_escape_text(notice.body.c_str(), -1);
  const std::string body = ServerReadsMarkup(bus) ? escaped : notice.body;
  g_free(escaped);
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("org.morrowby.morrowby"));
  g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susssasa{sv}i)", "Morrowby", 0u, "morrowby", notice.summary.c_str(),
                    body.c_str(), nullptr, &hints, -1),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kServerWaitMs, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
  g_object_unref(bus);
  return reply != nullptr;
}

std::string ShownFaultsPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/morrowby/shown-faults";
  const char* home = std::getenv("HOME");
  const passwd* pw = home == nullptr || home[0] != '/' ? getpwuid(getuid()) : nullptr;
  if (pw != nullptr) home = pw->pw_dir;
  if (home == nullptr || home[0] != '/') return "";
  return std::string(home) + "/.local/state/morrowby/shown-faults";
}

void ShowFaultsOnce(const std::vector<UserFault>& faults) {
  const std::string path = ShownFaultsPath();
  std::string before;
  if (!path.empty()) ReadFileWhole(path, kMaxMemoryBytes, &before);
  const std::string now = Memory(faults);
  if (now == before) return;
  std::vector<UserFault> shown;
  for (const UserFault& fault : faults) {
    // Those the last greeting showed are not shown again.
    if (before.find(Memory({fault})) != std::string::npos || ShowDesktopNotice(fault)) shown.push_back(fault);
  }
  // Remembered only once shown, so that a greeting with no server to show them tries again.
  const std::string remembered = Memory(shown);
  if (path.empty() || remembered == before) return;
  if (MakeFolders(FolderOf(path)).ok) ReplaceFile(path, remembered);
}

}  // namespace morrowby
