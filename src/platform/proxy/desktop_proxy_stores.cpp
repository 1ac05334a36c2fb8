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

namespace norvax {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr std::string_view kKdeGroup = "[Proxy Settings]";

fs::path Home() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

fs::path ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return config && *config ? fs::path(config) : Home() / ".config";
}

std::string Trimmed(std::string_view text) {
  const auto start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return "";
  return std::string(text.substr(start, text.find_last_not_of(" \t") - start + 1));
}

std::string ToCp932(const std::string& utf8) {
  return Utf8ToCp932(utf8).value_or(Cp932ForDisplay(utf8));
}

// A file as its lines, each with its own line end, so that a change of some lines leaves
// every other byte as it was.
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> SplitLines(const std::string& data) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back({data.substr(start), ""});
      break;
    }
    std::size_t textEnd = end > start && data[end - 1] == '\r' ? end - 1 : end;
    lines.push_back({data.substr(start, textEnd - start), data.substr(textEnd, end + 1 - textEnd)});
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& line : lines) out += line.text + line.end;
  return out;
}

// Adds a line at index, ending the line before it first when it had no line end.
void InsertLine(std::vector<Line>& lines, std::size_t index, std::string text) {
  if (index > 0 && lines[index - 1].end.empty()) lines[index - 1].end = "\n";
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), Line{std::move(text), "\n"});
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

bool ReplaceText(const fs::path& path, const std::string& data) {
  // A symlinked file stays a link: the file it points to is replaced.
  std::error_code error;
  const fs::path target = fs::weakly_canonical(path, error);
  if (error) return false;
  try {
    ReplaceFileAtomically(target.string(), data);
    return true;
  } catch (const WriteError&) {
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

std::optional<std::string> ReadGSetting(const std::string& name) {
  auto [schemaId, key] = SchemaAndKey(name);
  GSettingsSchema* schema = LookUpSchema(schemaId);
  if (!schema) return std::nullopt;
  std::optional<std::string> out;
  if (g_settings_schema_has_key(schema, key.c_str())) {
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    GVariant* value = g_settings_get_value(settings, key.c_str());
    gchar* text = g_variant_print(value, FALSE);
    out = ToCp932(text);
    g_free(text);
    g_variant_unref(value);
    g_object_unref(settings);
  }
  g_settings_schema_unref(schema);
  return out;
}

// All values or none: each is checked (schema, key, type, writable) before any is set, and
// each schema's values are set in one change.
bool WriteGSettings(const std::vector<ProxySetting>& values) {
  struct Change {
    GSettings* settings;
    std::string key;
    GVariant* value;
  };
  std::vector<std::pair<std::string, GSettings*>> opened;
  std::vector<Change> changes;
  bool ok = true;
  for (const ProxySetting& setting : values) {
    auto [schemaId, key] = SchemaAndKey(setting.name);
    GSettings* settings = nullptr;
    for (const auto& [id, s] : opened) {
      if (id == schemaId) settings = s;
    }
    if (!settings) {
      GSettingsSchema* schema = LookUpSchema(schemaId);
      if (!schema) {
        ok = false;
        break;
      }
      settings = g_settings_new_full(schema, nullptr, nullptr);
      g_settings_schema_unref(schema);
      g_settings_delay(settings);
      opened.emplace_back(schemaId, settings);
    }
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    GVariant* value = nullptr;
    if (g_settings_schema_has_key(schema, key.c_str()) &&
        g_settings_is_writable(settings, key.c_str())) {
      GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key.c_str());
      value = g_variant_parse(g_settings_schema_key_get_value_type(schemaKey),
                              Cp932ToUtf8(setting.value).c_str(), nullptr, nullptr, nullptr);
      if (value && !g_settings_schema_key_range_check(schemaKey, value)) {
        g_variant_unref(value);
        value = nullptr;
      }
      g_settings_schema_key_unref(schemaKey);
    }
    g_settings_schema_unref(schema);
    if (!value) {
      ok = false;
      break;
    }
    changes.push_back({settings, key, g_variant_ref_sink(value)});
  }
  for (const Change& change : changes) {
    if (ok) g_settings_set_value(change.settings, change.key.c_str(), change.value);
    g_variant_unref(change.value);
  }
  for (const auto& [id, settings] : opened) {
    if (ok) g_settings_apply(settings);
    g_object_unref(settings);
  }
  if (ok) g_settings_sync();
  return ok;
}

// --- kioslaverc ---

fs::path KdeFile() { return ConfigFolder() / "kioslaverc"; }

// The line of key in the proxy group, or the line to add it at; false when missing.
bool FindKdeKey(const std::vector<Line>& lines, const std::string& key, std::size_t& index) {
  bool inGroup = false;
  std::optional<std::size_t> groupEnd;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string text = Trimmed(lines[i].text);
    if (text.starts_with('[')) {
      if (inGroup) break;
      inGroup = text == kKdeGroup;
      if (inGroup) groupEnd = i + 1;
      continue;
    }
    if (!inGroup) continue;
    if (!text.empty()) groupEnd = i + 1;
    const auto equals = text.find('=');
    if (equals != std::string::npos && Trimmed(text.substr(0, equals)) == key) {
      index = i;
      return true;
    }
  }
  index = groupEnd.value_or(lines.size());
  return false;
}

std::optional<std::string> KdeValue(const std::vector<Line>& lines, const std::string& key) {
  std::size_t i = 0;
  if (!FindKdeKey(lines, key, i)) return std::nullopt;
  return Trimmed(lines[i].text.substr(lines[i].text.find('=') + 1));
}

bool WriteKde(const std::vector<ProxySetting>& values) {
  std::error_code error;
  if (!fs::is_directory(ConfigFolder(), error)) return false;
  auto data = ReadText(KdeFile());
  if (!data) return false;
  auto lines = SplitLines(*data);
  for (const ProxySetting& setting : values) {
    const std::string line = setting.name + "=" + Cp932ToUtf8(setting.value);
    std::size_t i = 0;
    if (FindKdeKey(lines, setting.name, i)) {
      lines[i].text = line;
      continue;
    }
    bool hasGroup = false;
    for (const Line& l : lines) hasGroup = hasGroup || Trimmed(l.text) == kKdeGroup;
    if (!hasGroup) {
      if (!lines.empty() && !Trimmed(lines.back().text).empty())
        InsertLine(lines, lines.size(), "");
      InsertLine(lines, lines.size(), std::string(kKdeGroup));
      i = lines.size();
    }
    InsertLine(lines, i, line);
  }
  if (!ReplaceText(KdeFile(), JoinLines(lines))) return false;
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

std::optional<fs::path> FirefoxProfile() {
  const fs::path folder = Home() / ".mozilla" / "firefox";
  auto ini = ReadText(folder / "profiles.ini");
  if (!ini) return std::nullopt;
  auto profile = DefaultFirefoxProfile(*ini, folder);
  std::error_code error;
  if (!profile || !fs::is_directory(*profile, error)) return std::nullopt;
  return profile;
}

// The preference a user.js line sets, and the text of its value; nothing for other lines.
std::optional<std::pair<std::string, std::string>> UserPref(const std::string& line) {
  std::string text = Trimmed(line);
  constexpr std::string_view kStart = "user_pref(";
  if (!text.starts_with(kStart) || !text.ends_with(");")) return std::nullopt;
  text = Trimmed(text.substr(kStart.size(), text.size() - kStart.size() - 2));
  if (!text.starts_with('"')) return std::nullopt;
  const auto close = text.find('"', 1);
  if (close == std::string::npos) return std::nullopt;
  const std::string rest = Trimmed(text.substr(close + 1));
  if (!rest.starts_with(',')) return std::nullopt;
  return std::pair(text.substr(1, close - 1), Trimmed(rest.substr(1)));
}

// The last line that sets the preference (the one Firefox keeps).
std::optional<std::size_t> FindUserPref(const std::vector<Line>& lines, const std::string& name) {
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto pref = UserPref(lines[i].text);
    if (pref && pref->first == name) found = i;
  }
  return found;
}

bool WriteFirefox(const std::vector<ProxySetting>& values) {
  auto profile = FirefoxProfile();
  if (!profile) return false;
  const fs::path file = *profile / "user.js";
  auto data = ReadText(file);
  if (!data) return false;
  auto lines = SplitLines(*data);
  for (const ProxySetting& setting : values) {
    const std::string line =
        "user_pref(\"" + setting.name + "\", " + Cp932ToUtf8(setting.value) + ");";
    if (auto i = FindUserPref(lines, setting.name)) {
      lines[*i].text = line;
    } else {
      InsertLine(lines, lines.size(), line);
    }
  }
  return ReplaceText(file, JoinLines(lines));
}

}  // namespace

std::optional<fs::path> DefaultFirefoxProfile(const std::string& profilesIni,
                                              const fs::path& folder) {
  std::optional<std::string> installDefault, profileDefault;
  std::string section, path;
  bool isDefault = false;
  auto endSection = [&] {
    if (section.starts_with("Profile") && isDefault && !profileDefault) profileDefault = path;
    path.clear();
    isDefault = false;
  };
  for (const Line& line : SplitLines(profilesIni)) {
    const std::string text = Trimmed(line.text);
    if (text.starts_with('[') && text.ends_with(']')) {
      endSection();
      section = text.substr(1, text.size() - 2);
      continue;
    }
    const auto equals = text.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trimmed(text.substr(0, equals));
    const std::string value = Trimmed(text.substr(equals + 1));
    if (section.starts_with("Install") && key == "Default" && !installDefault) {
      installDefault = value;
    }
    if (key == "Path") path = value;
    if (key == "Default" && value == "1") isDefault = true;
  }
  endSection();
  const auto chosen = installDefault ? installDefault : profileDefault;
  if (!chosen || chosen->empty()) return std::nullopt;
  return folder / *chosen;  // an absolute path stays as it is
}

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

bool DesktopProxyStores::Read(ProxyStore store, const std::string& name,
                              std::optional<std::string>& value) {
  value.reset();
  if (store == ProxyStore::GSettings) {
    value = ReadGSetting(name);
    return true;
  }
  std::optional<fs::path> file = KdeFile();
  if (store == ProxyStore::Firefox) {
    auto profile = FirefoxProfile();
    if (!profile) return true;
    file = *profile / "user.js";
  }
  auto data = ReadText(*file);
  if (!data) return false;
  const auto lines = SplitLines(*data);
  if (store == ProxyStore::Kde) {
    if (auto text = KdeValue(lines, name)) value = ToCp932(*text);
  } else if (auto i = FindUserPref(lines, name)) {
    value = ToCp932(UserPref(lines[*i].text)->second);
  }
  return true;
}

bool DesktopProxyStores::Write(ProxyStore store, const std::vector<ProxySetting>& values) {
  switch (store) {
    case ProxyStore::GSettings:
      return WriteGSettings(values);
    case ProxyStore::Kde:
      return WriteKde(values);
    case ProxyStore::Firefox:
      return WriteFirefox(values);
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
