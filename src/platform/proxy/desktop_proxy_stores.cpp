#include "platform/proxy/desktop_proxy_stores.h"

#include <gio/gio.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/store/ini_file.h"
#include "platform/store/proxy_files.h"

namespace norvax {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr const char* kHiddenFromFirefox =
    " を書き加えても Firefox が読みません（閉じていないコメントなどのため）";

fs::path Home() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

fs::path ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return config && *config ? fs::path(config) : Home() / ".config";
}

std::string ToCp932(const std::string& utf8) {
  return Utf8ToCp932(utf8).value_or(Cp932ForDisplay(utf8));
}

// The contents of a file: "" when it is missing, nothing when it cannot be read.
std::optional<std::string> ReadText(const fs::path& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return error ? std::nullopt : std::optional<std::string>("");
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream data;
  data << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return data.str();
}

// Why a file cannot be read.
std::string Unreadable(const fs::path& path) {
  return Cp932ForDisplay(path.string()) + Sjis(" を読めません");
}

// Replaces the file with data; false, with why, when it cannot.
bool ReplaceText(const fs::path& path, const std::string& data, std::string& why) {
  // A symlinked file stays a link: the file it points to is replaced.
  std::error_code error;
  const fs::path target = fs::weakly_canonical(path, error);
  try {
    if (!error) {
      ReplaceFileAtomically(target.string(), data);
      return true;
    }
    throw WriteError(path.string());
  } catch (const WriteError& e) {
    why = e.Message();
    return false;
  }
}

// --- GSettings ---

GSettingsSchema* LookUpSchema(const std::string& id) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  return source ? g_settings_schema_source_lookup(source, id.c_str(), TRUE) : nullptr;
}

// "schema key" as its two parts.
std::pair<std::string, std::string> SchemaAndKey(const std::string& name) {
  const auto space = name.find(' ');
  if (space == std::string::npos) return {name, ""};
  return {name.substr(0, space), name.substr(space + 1)};
}

// The value as the key's GVariant (floating); nothing when the key cannot hold it.
GVariant* GSettingsValue(GSettingsSchemaKey* key, const ProxyValue& value) {
  GVariant* out = nullptr;
  if (const bool* b = std::get_if<bool>(&value)) {
    out = g_variant_new_boolean(*b);
  } else if (const int* i = std::get_if<int>(&value)) {
    out = g_variant_new_int32(*i);
  } else if (const std::string* s = std::get_if<std::string>(&value)) {
    out = g_variant_new_string(Cp932ToUtf8(*s).c_str());
  } else if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
    for (const std::string& item : *list) {
      g_variant_builder_add(&builder, "s", Cp932ToUtf8(item).c_str());
    }
    out = g_variant_builder_end(&builder);
  }
  if (out && (!g_variant_is_of_type(out, g_settings_schema_key_get_value_type(key)) ||
              !g_settings_schema_key_range_check(key, out))) {
    g_variant_unref(g_variant_ref_sink(out));
    return nullptr;
  }
  return out;
}

bool GSettingsHolds(const ProxySetting& setting) {
  auto [schemaId, key] = SchemaAndKey(setting.name);
  GSettingsSchema* schema = LookUpSchema(schemaId);
  if (!schema) return false;
  bool held = false;
  if (g_settings_schema_has_key(schema, key.c_str())) {
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key.c_str());
    if (GVariant* wanted = GSettingsValue(schemaKey, setting.value)) {
      g_variant_ref_sink(wanted);
      GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
      GVariant* current = g_settings_get_value(settings, key.c_str());
      held = g_variant_equal(current, wanted);
      g_variant_unref(current);
      g_object_unref(settings);
      g_variant_unref(wanted);
    }
    g_settings_schema_key_unref(schemaKey);
  }
  g_settings_schema_unref(schema);
  return held;
}

// All values or none: each is checked (schema, key, type, writable) before any is set.
// Then they are set in their order, each run of values of one schema in one change.
bool WriteGSettings(const std::vector<ProxySetting>& values, std::string& why) {
  struct Change {
    GSettings* settings;
    std::string key;
    GVariant* value;
  };
  std::vector<std::pair<std::string, GSettings*>> runs;
  std::vector<Change> changes;
  for (const ProxySetting& setting : values) {
    auto [schemaId, key] = SchemaAndKey(setting.name);
    if (runs.empty() || runs.back().first != schemaId) {
      GSettingsSchema* schema = LookUpSchema(schemaId);
      if (!schema) {
        why = schemaId + Sjis(" がありません");
        break;
      }
      runs.emplace_back(schemaId, g_settings_new_full(schema, nullptr, nullptr));
      g_settings_schema_unref(schema);
      g_settings_delay(runs.back().second);
    }
    GSettings* settings = runs.back().second;
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    GVariant* value = nullptr;
    if (g_settings_schema_has_key(schema, key.c_str()) &&
        g_settings_is_writable(settings, key.c_str())) {
      GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key.c_str());
      value = GSettingsValue(schemaKey, setting.value);
      g_settings_schema_key_unref(schemaKey);
    }
    g_settings_schema_unref(schema);
    if (!value) {
      why = setting.name + Sjis(" に書き込めません");
      break;
    }
    changes.push_back({settings, key, g_variant_ref_sink(value)});
  }
  const bool ok = why.empty();
  for (const Change& change : changes) {
    if (ok) g_settings_set_value(change.settings, change.key.c_str(), change.value);
    g_variant_unref(change.value);
  }
  for (const auto& [id, settings] : runs) {
    if (ok) g_settings_apply(settings);
    g_object_unref(settings);
  }
  if (ok) g_settings_sync();
  return ok;
}

// --- kioslaverc ---

fs::path KdeFile() { return ConfigFolder() / "kioslaverc"; }

// The kioslaverc files KDE reads, in turn: the system's (the last folder of
// XDG_CONFIG_DIRS first), then the user's, whose text is given.
std::vector<KdeConfigFile> KdeFiles(const std::string& userText) {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string list = dirs && *dirs ? dirs : "/etc/xdg";
  std::vector<KdeConfigFile> files;
  for (std::size_t start = 0; start <= list.size();) {
    const auto end = std::min(list.find(':', start), list.size());
    const fs::path file = fs::path(list.substr(start, end - start)) / "kioslaverc";
    // A system file that is missing or cannot be read counts for nothing, as in KDE.
    if (auto text = ReadText(file); end > start && text) {
      files.insert(files.begin(), {Cp932ForDisplay(file.string()), *text});
    }
    start = end + 1;
  }
  files.push_back({Cp932ForDisplay(KdeFile().string()), userText});
  return files;
}

bool WriteKde(const std::vector<ProxySetting>& values, std::string& why) {
  std::error_code error;
  if (!fs::is_directory(ConfigFolder(), error)) {
    why = Cp932ForDisplay(ConfigFolder().string()) + Sjis(" がありません");
    return false;
  }
  auto data = ReadText(KdeFile());
  if (!data) {
    why = Unreadable(KdeFile());
    return false;
  }
  const auto files = KdeFiles(*data);
  for (const ProxySetting& setting : values) {
    const KdeProxyEntry entry = ReadKdeProxyEntry(files, setting.name);
    if (!entry.lockedIn.empty()) {
      why = entry.lockedIn + ": " + Cp932ForDisplay(entry.lockedBy) + Sjis(" のため変更できません");
      return false;
    }
  }
  for (const ProxySetting& setting : values) {
    *data = SetKdeProxyValue(*data, setting.name, KioslavercValue(setting.value));
  }
  if (!ReplaceText(KdeFile(), *data, why)) return false;
  // KIO's programs read the file again on this signal (as KDE's own settings do after a
  // change); browsers watch the file themselves.
  if (std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
      g_dbus_connection_emit_signal(bus, nullptr, "/KIO/Scheduler", "org.kde.KIO.Scheduler",
                                    "reparseSlaveConfiguration", g_variant_new("(s)", ""), nullptr);
      g_dbus_connection_flush_sync(bus, nullptr, nullptr);
      g_object_unref(bus);
    }
  }
  return true;
}

// --- user.js ---

// The folder Firefox keeps its profiles in, as Firefox itself chooses it: the old
// ~/.mozilla/firefox while that folder is there (or MOZ_LEGACY_HOME=1 asks for it), else
// $XDG_CONFIG_HOME/mozilla/firefox (Firefox 147 and later make their profiles there).
fs::path FirefoxFolder() {
  const fs::path legacy = Home() / ".mozilla" / "firefox";
  const char* force = std::getenv("MOZ_LEGACY_HOME");
  std::error_code error;
  if ((force && *force == '1') || fs::is_directory(legacy, error)) return legacy;
  return ConfigFolder() / "mozilla" / "firefox";
}

// The folder of the default profile; nothing, with why, when there is none.
std::optional<fs::path> FirefoxProfile(std::string& why) {
  const fs::path folder = FirefoxFolder();
  auto ini = ReadText(folder / "profiles.ini");
  if (!ini) {
    why = Unreadable(folder / "profiles.ini");
    return std::nullopt;
  }
  auto profile = DefaultFirefoxProfile(*ini, folder);
  std::error_code error;
  if (!profile || !fs::is_directory(*profile, error)) {
    why = Cp932ForDisplay(folder.string()) + Sjis(" に Firefox のプロファイルがありません");
    return std::nullopt;
  }
  return profile;
}

std::optional<fs::path> FirefoxProfile() {
  std::string why;
  return FirefoxProfile(why);
}

bool WriteFirefox(const std::vector<ProxySetting>& values, std::string& why) {
  auto profile = FirefoxProfile(why);
  if (!profile) return false;
  const fs::path file = *profile / "user.js";
  auto data = ReadText(file);
  if (!data) {
    why = Unreadable(file);
    return false;
  }
  for (const ProxySetting& setting : values) {
    auto literal = UserPrefLiteral(setting.value);
    auto changed = literal ? SetUserPref(*data, setting.name, *literal) : std::nullopt;
    if (!changed) {
      // A value no preference holds, or a file whose end would hide a new line from Firefox.
      why = Cp932ForDisplay(file.string()) + ": " + setting.name +
            Sjis(literal ? kHiddenFromFirefox : " に書き込めません");
      return false;
    }
    *data = *changed;
  }
  return ReplaceText(file, *data, why);
}

}  // namespace

std::string DesktopProxyStores::CurrentDesktop() {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  return desktop ? ToCp932(desktop) : "";
}

bool DesktopProxyStores::Present(ProxyStore store) {
  std::error_code error;
  switch (store) {
    case ProxyStore::GSettings:
      if (GSettingsSchema* schema = LookUpSchema(kProxySchema)) {
        g_settings_schema_unref(schema);
        return true;
      }
      return false;
    case ProxyStore::Kde:
      return fs::exists(KdeFile(), error) || fs::exists(ConfigFolder() / "kdeglobals", error);
    case ProxyStore::Firefox:
      return FirefoxProfile().has_value();
  }
  return false;
}

bool DesktopProxyStores::Holds(ProxyStore store, const ProxySetting& setting, bool& held) {
  held = false;
  if (store == ProxyStore::GSettings) {
    held = GSettingsHolds(setting);
    return true;
  }
  fs::path file = KdeFile();
  if (store == ProxyStore::Firefox) {
    auto profile = FirefoxProfile();
    if (!profile) return true;
    file = *profile / "user.js";
  }
  auto data = ReadText(file);
  if (!data) return false;
  if (store == ProxyStore::Kde) {
    held = ReadKdeProxyEntry(KdeFiles(*data), setting.name).value == KioslavercValue(setting.value);
  } else {
    auto literal = UserPrefLiteral(setting.value);
    held = literal && UserPrefValue(*data, setting.name) == literal;
  }
  return true;
}

bool DesktopProxyStores::Write(ProxyStore store, const std::vector<ProxySetting>& values,
                               std::string& why) {
  switch (store) {
    case ProxyStore::GSettings:
      return WriteGSettings(values, why);
    case ProxyStore::Kde:
      return WriteKde(values, why);
    case ProxyStore::Firefox:
      return WriteFirefox(values, why);
  }
  return false;
}

bool DesktopProxyStores::FirefoxRunning() {
  auto profile = FirefoxProfile();
  if (!profile) return false;
  // A running Firefox holds the link "lock" -> "address:+pid" in its profile.
  std::error_code error;
  const std::string target = fs::read_symlink(*profile / "lock", error).string();
  const auto plus = target.rfind('+');
  if (error || plus == std::string::npos) return false;
  const long pid = std::strtol(target.c_str() + plus + 1, nullptr, 10);
  return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace norvax
