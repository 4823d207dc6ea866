// One key of a GSettings schema (a GNOME setting), read once from the settings backend
// itself: a GSettings object would also watch the key, starting a D-Bus worker thread
// that one look-up has no use for. Only where the schema and the key are installed
// (asking for a missing schema would abort the program), and never from a dconf
// database that is not a regular file (dconf maps it without a look: a pipe there
// would hold the read for ever). Main thread only.
#pragma once

#include <glib.h>

namespace morrowby {

// The user's value of `key` (nullptr when the user set none) in `*user`, and the
// schema's default in `*by_default`, each of `type`; the caller unrefs them. False,
// with both nullptr, when the key cannot be read (told on stderr for a dconf database
// that is not a regular file).
bool ReadGSettingsKey(const char* schema_id, const char* key, const GVariantType* type,
                      GVariant** user, GVariant** by_default);

}  // namespace morrowby
