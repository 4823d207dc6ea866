// GSettings keys read through the default backend, as sound/gsettings_key.h says.
#include "sound/gsettings_key.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "store/translation.h"

namespace morrowby {

bool ReadGSettingsKey(const char* schema_id, const char* key, const GVariantType* type,
                      GVariant** user, GVariant** by_default) {
  *user = *by_default = nullptr;
  gchar* database = g_build_filename(g_get_user_config_dir(), "dconf", "user", nullptr);
  struct stat st;
  const bool odd = stat(database, &st) == 0 && !S_ISREG(st.st_mode);
  if (odd) std::fprintf(stderr, Tr("morrowby: %s skipped: %s\n"), database, Tr("not a regular file"));
  g_free(database);
  if (odd) return false;
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) return false;
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, schema_id, TRUE);
  if (schema == nullptr) return false;
  const char* path = g_settings_schema_get_path(schema);
  const bool found = path != nullptr && g_settings_schema_has_key(schema, key);
  if (found) {
    GSettingsSchemaKey* schema_key = g_settings_schema_get_key(schema, key);
    const std::string where = std::string(path) + key;
    GSettingsBackend* backend = g_settings_backend_get_default();
    GSettingsBackendClass* backend_class = G_SETTINGS_BACKEND_GET_CLASS(backend);
    *user = backend_class->read_user_value != nullptr
                ? backend_class->read_user_value(backend, where.c_str(), type)
                : backend_class->read(backend, where.c_str(), type, FALSE);
    GVariant* fallback = g_settings_schema_key_get_default_value(schema_key);
    if (fallback != nullptr && g_variant_is_of_type(fallback, type)) *by_default = fallback;
    else if (fallback != nullptr) g_variant_unref(fallback);
    g_object_unref(backend);
    g_settings_schema_key_unref(schema_key);
  }
  g_settings_schema_unref(schema);
  return found;
}

}  // namespace morrowby
