// The program-wide settings: 32 strings identified by index.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_file.h"

namespace norvax {

enum Pref : std::size_t {
  KeepWindowPosition = 0,
  AlwaysOnTop = 1,
  StartMinimised = 2,
  IdDisplay = 3,
  PassDisplay = 4,
  LockActive = 5,
  ExitAfterBrowserStart = 6,
  NoConnectNoBrowser = 7,
  ExitOnLaunchFailure = 8,
  WindowLeft = 9,
  WindowTop = 10,
  WindowWidth = 11,
  WindowHeight = 12,
  LeftPanelWidth = 13,
  TitleColumnWidth = 14,
  Set2IsClass = 15,
  CopyToClipboard = 16,
  TabAfterIdSet1 = 17,
  TabAfterIdSet2 = 18,
  EnterAfterPassSet1 = 19,
  EnterAfterPassSet2 = 20,
  EnterEvenIfNoPass = 21,
  LockStart = 22,
  TableChecksum = 23,
  HangUpOnBrowserExit = 24,
  ExitOnBrowserExit = 25,
  MinimiseAfterEnter = 26,
  ShowTargetCaption = 27,
  TitleSingleClick = 28,
  IdPassSingleClick = 29,
  Preference30 = 30,
  LockPassword = 31,
};

inline constexpr std::size_t kPreferenceCount = 32;
inline constexpr std::string_view kPreferenceSection = "LIST20";

extern const std::array<std::string_view, kPreferenceCount> PreferenceDefaults;

class PreferenceList {
 public:
  std::size_t Size() const { return values_.size(); }
  bool Empty() const { return values_.empty(); }

  const std::string& operator[](std::size_t i) const { return values_.at(i); }
  std::string& operator[](std::size_t i) { return values_.at(i); }

  // A check-box preference is on only when it is exactly "1".
  bool IsOn(Pref p) const { return p < values_.size() && values_[p] == "1"; }

  void Append(std::string value) { values_.push_back(std::move(value)); }
  void Clear() { values_.clear(); }
  // Empties the list and fills it with the 32 defaults.
  void ResetToDefaults();

  const std::vector<std::string>& Values() const { return values_; }
  bool operator==(const PreferenceList&) const = default;

 private:
  std::vector<std::string> values_;
};

// Joins elements 0 … n − 1 with single commas into joined; false, leaving joined
// unchanged, when the list holds fewer than n values.
bool JoinPreferences(const PreferenceList& list, std::size_t n, std::string& joined);

// Appends the comma-separated pieces of s to the list; empty pieces are skipped.
void SplitPreferences(PreferenceList& list, std::string_view s);

// The stored values of the list's section: preferences 0–30 joined, then preference 31,
// both scrambled.
KeyValues StoredPreferences(const PreferenceList& list);

// Writes the list to its section. Throws WriteError when the file cannot be written.
void SavePreferences(ProfileFile& file, const PreferenceList& list);

}  // namespace norvax
