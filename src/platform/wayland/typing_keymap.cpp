#include "platform/wayland/typing_keymap.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <memory>

namespace norvax {
namespace {

constexpr std::uint32_t kMinKeycode = 9;
constexpr std::uint32_t kMaxKeycode = 255;
constexpr std::uint32_t kTabKeycode = 23;  // the evdev codes of TAB and ENTER, + 8
constexpr std::uint32_t kEnterKeycode = 36;
constexpr std::string_view kName = "norvax-typing";

bool IsAscii(std::uint32_t keysym) { return keysym >= 0x20 && keysym <= 0x7E; }

std::string SymbolName(std::uint32_t keysym) {
  char name[64];
  xkb_keysym_get_name(keysym, name, sizeof name);
  return name;
}

}  // namespace

TypingKeymaps::TypingKeymaps() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
  SetUserLayout({});
}

TypingKeymaps::~TypingKeymaps() {
  if (context_) xkb_context_unref(context_);
}

void TypingKeymaps::SetUserLayout(const std::string& keymapText) {
  keysOfSymbols_.clear();
  levels_.clear();
  japanese_ = false;
  if (!context_) return;
  xkb_keymap* keymap = nullptr;
  if (!keymapText.empty()) {
    keymap = xkb_keymap_new_from_string(context_, keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  if (!keymap) keymap = xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) return;
  std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> owner(keymap, xkb_keymap_unref);
  const char* layout = xkb_keymap_layout_get_name(keymap, 0);
  japanese_ = layout && std::string_view(layout).starts_with("Japanese");
  const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
  for (std::uint32_t code = kMinKeycode; code <= kMaxKeycode; ++code) {
    std::vector<std::uint32_t> syms;
    for (xkb_level_index_t level = 0;
         level < 2 && level < xkb_keymap_num_levels_for_key(keymap, code, 0); ++level) {
      // The first level without modifiers, the second with Shift alone.
      xkb_mod_mask_t masks[8];
      const std::size_t count =
          xkb_keymap_key_get_mods_for_level(keymap, code, 0, level, masks, std::size(masks));
      bool reachable = false;
      for (std::size_t k = 0; k < count; ++k) reachable |= masks[k] == (level == 0 ? 0 : shift);
      const xkb_keysym_t* levelSyms = nullptr;
      if (!reachable || xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &levelSyms) != 1)
        break;
      syms.push_back(levelSyms[0]);
    }
    for (std::size_t level = 0; level < syms.size(); ++level) {
      const std::uint32_t sym = syms[level];
      if (!IsAscii(sym) && sym != XKB_KEY_Tab && sym != XKB_KEY_Return) continue;
      keysOfSymbols_.try_emplace(sym, UserKey{code, level == 1});
      levels_[code] = syms;
    }
  }
}

std::optional<TypingKeymaps::Stroke> TypingKeymaps::UserStroke(std::uint32_t keysym) const {
  const auto found = keysOfSymbols_.find(keysym);
  if (found == keysOfSymbols_.end()) return std::nullopt;
  return Stroke{found->second.keycode, found->second.shift};
}

TypingKeymaps::Keymap TypingKeymaps::For(std::span<const TypedCharacter> characters) const {
  Keymap out;
  // Every key of the user's that types ASCII, TAB or ENTER: texts of ASCII alone all have
  // the same keymap.
  auto keys = levels_;  // keycode → its key symbols
  auto userKey = [&](std::uint32_t sym, std::uint32_t fallback) {
    if (auto user = UserStroke(sym)) return *user;
    keys[fallback] = {sym};
    return Stroke{fallback, false};
  };
  out.tab = userKey(XKB_KEY_Tab, kTabKeycode);
  out.enter = userKey(XKB_KEY_Return, kEnterKeycode);
  std::map<std::uint32_t, Stroke> own;  // key symbol → its key of its own
  std::uint32_t spare = kMaxKeycode + 1;
  for (const TypedCharacter& c : characters) {
    if (c.keysym == 0) {
      out.strokes.push_back({});
    } else if (auto user = keysOfSymbols_.find(c.keysym);
               IsAscii(c.keysym) && user != keysOfSymbols_.end()) {
      out.strokes.push_back({user->second.keycode, user->second.shift});
    } else if (auto found = own.find(c.keysym); found != own.end()) {
      out.strokes.push_back(found->second);
    } else {
      do {
        --spare;
      } while (spare >= kMinKeycode && keys.count(spare));
      if (spare < kMinKeycode) break;
      keys[spare] = {c.keysym};
      own[c.keysym] = {spare, false};
      out.strokes.push_back({spare, false});
    }
  }
  std::string codes, symbols;
  for (const auto& [code, syms] : keys) {
    codes += "  <K" + std::to_string(code) + "> = " + std::to_string(code) + ";\n";
    symbols += "  key <K" + std::to_string(code) + "> { type = \"" +
               (syms.size() > 1 ? "TWO_LEVEL" : "ONE_LEVEL") + "\", symbols[Group1] = [ ";
    for (std::size_t k = 0; k < syms.size(); ++k) symbols += (k ? ", " : "") + SymbolName(syms[k]);
    symbols += " ] };\n";
  }
  // The standard types and compatibility map, as the compositor has them: Xwayland refuses
  // or mishandles a keymap without virtual modifiers, interpretations or indicators.
  const std::string name = "\"" + std::string(kName) + "\"";
  out.text = "xkb_keymap {\nxkb_keycodes " + name + " {\n  minimum = 8;\n  maximum = 255;\n" +
             codes + "};\nxkb_types " + name + " { include \"complete\" };\nxkb_compatibility " +
             name + " { include \"complete\" };\nxkb_symbols " + name + " {\n" + symbols +
             "};\n};\n";
  return out;
}

bool TypingKeymaps::IsOurs(std::string_view keymapText) {
  return keymapText.find("xkb_keycodes \"" + std::string(kName) + "\"") != std::string_view::npos;
}

std::optional<std::string> ReadSentKeymap(int fd, std::uint32_t size) {
  struct stat file {};
  if (size == 0 || fstat(fd, &file) != 0 || file.st_size < static_cast<off_t>(size))
    return std::nullopt;
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) return std::nullopt;
  std::string text(static_cast<const char*>(map), strnlen(static_cast<const char*>(map), size));
  munmap(map, size);
  return text;
}

}  // namespace norvax
