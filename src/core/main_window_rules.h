// What the main window shows and what its clicks do, apart from the window itself.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/program_state.h"

namespace norvax {

// Asterisks for a hidden ID or password: one per byte up to 20 bytes, exactly 30 beyond.
std::string MaskText(std::string_view text);

// The texts of the main window's three columns, row i being entry i: titles as stored,
// IDs and passwords masked unless preference 3 (IDs) or 4 (passwords) is "0".
struct MainColumns {
  std::vector<std::string> titles;
  std::vector<std::string> ids;
  std::vector<std::string> passes;
};
MainColumns MainColumnTexts(const EntryTable& table, const PreferenceList& prefs);

enum class MainColumn { Title, Id, Pass };
enum class ClickKind { Single, Double };
enum class EntryAction { None, Launch, FillId, FillPass };

// The action of a click: a title launches, an ID or password is typed into a login dialog;
// on a single click only with preference 28 (titles) or 29 (IDs and passwords) on, on a
// double click only with it off.
EntryAction ActionForClick(const PreferenceList& prefs, MainColumn column, ClickKind kind);

// Does the action for row (a row outside the table does nothing).
void DoEntryAction(ProgramState& state, Ports& ports, EntryAction action, int row);

// The relaunch asked for after busy dial attempts: waits up to 10 minutes for the worker
// while processing events, then launches the current entry again.
void Relaunch(ProgramState& state, Ports& ports, const std::function<void()>& processEvents);

// Text of the password-set wait window at a tick of the main timer (tickCount from 1):
// "ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  N  SEC" with N the seconds left.
std::string WaitCountdownText(int tickCount);

}  // namespace norvax
