// Keymaps of a virtual keyboard that types given characters: a character the user's layout
// has at its first two levels is typed on that key (with Shift for the second level), every
// other character on a key of its own. X11 programs (Xwayland) take keycodes 9 to 255 only,
// so one keymap holds at most 247 keys and a long text is typed in several.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/typed_text.h"

struct xkb_context;

namespace norvax {

class TypingKeymaps {
 public:
  TypingKeymaps();
  ~TypingKeymaps();
  TypingKeymaps(const TypingKeymaps&) = delete;
  TypingKeymaps& operator=(const TypingKeymaps&) = delete;

  // Takes the user's layout from a keymap in the XKB text format, as the compositor sends
  // it; without one (or one that does not compile) the machine's default layout
  // (XKB_DEFAULT_LAYOUT and the like, else "us") stands for it.
  void SetUserLayout(const std::string& keymapText);
  // True when the user's layout is a Japanese one.
  bool UserLayoutIsJapanese() const { return japanese_; }

  // A key to press: an XKB keycode (the evdev code + 8); 0 when nothing is pressed.
  struct Stroke {
    std::uint32_t keycode = 0;
    bool shift = false;
  };

  // The user's key that types keysym (levels 1 and 2 of the user's layout), if it has one.
  std::optional<Stroke> UserStroke(std::uint32_t keysym) const;

  struct Keymap {
    std::string text;             // XKB text format
    std::vector<Stroke> strokes;  // one per character it types, in order
    Stroke tab, enter;
  };

  // The keymap for the characters from the first on, as many as one keymap holds (at least
  // one when there are any); TAB and ENTER are in every keymap.
  Keymap For(std::span<const TypedCharacter> characters) const;

  // True for a keymap this class made (as the compositor sends it back).
  static bool IsOurs(std::string_view keymapText);

  // The mask of Shift in every keymap made here.
  static constexpr std::uint32_t kShiftMask = 1;

 private:
  struct UserKey {
    std::uint32_t keycode = 0;
    bool shift = false;
  };

  xkb_context* context_ = nullptr;
  std::map<std::uint32_t, UserKey> keysOfSymbols_;  // key symbol → user's key
  // The user's keys that type ASCII, TAB or ENTER: keycode → its key symbols.
  std::map<std::uint32_t, std::vector<std::uint32_t>> levels_;
  bool japanese_ = false;
};

// The text of a keymap the compositor sends as a file of the given size; nothing when the
// file cannot be mapped or is shorter than that (the part past its end cannot be read).
std::optional<std::string> ReadSentKeymap(int fd, std::uint32_t size);

}  // namespace norvax
