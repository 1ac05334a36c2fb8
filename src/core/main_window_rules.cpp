#include "core/main_window_rules.h"

#include "core/decimal.h"
#include "core/startup.h"
#include "dialup/dial_session.h"
#include "launch/launch.h"
#include "launch/login_fill.h"
#include "platform/cp932.h"

namespace norvax {

std::string MaskText(std::string_view text) {
  if (text.size() > 20) return std::string(30, '*');
  return std::string(text.size(), '*');
}

namespace {

std::vector<std::string> Shown(const std::vector<std::string>& values, bool masked) {
  if (!masked) return values;
  std::vector<std::string> out;
  out.reserve(values.size());
  for (const auto& v : values) out.push_back(MaskText(v));
  return out;
}

bool IsMasked(const PreferenceList& prefs, Pref p) {
  return !(p < prefs.Size() && prefs[p] == "0");
}

}  // namespace

MainColumns MainColumnTexts(const EntryTable& table, const PreferenceList& prefs) {
  MainColumns columns;
  columns.titles = table.List(Column::Title);
  // Every column shows one row per entry, even when a file left one short.
  std::vector<std::string> ids;
  std::vector<std::string> passes;
  for (std::size_t i = 0; i < table.Count(); ++i) {
    ids.push_back(table.Value(i, Column::Id));
    passes.push_back(table.Value(i, Column::Pass));
  }
  columns.ids = Shown(ids, IsMasked(prefs, IdDisplay));
  columns.passes = Shown(passes, IsMasked(prefs, PassDisplay));
  return columns;
}

EntryAction ActionForClick(const PreferenceList& prefs, MainColumn column, ClickKind kind) {
  bool single =
      column == MainColumn::Title ? prefs.IsOn(TitleSingleClick) : prefs.IsOn(IdPassSingleClick);
  if (single != (kind == ClickKind::Single)) return EntryAction::None;
  switch (column) {
    case MainColumn::Title:
      return EntryAction::Launch;
    case MainColumn::Id:
      return EntryAction::FillId;
    case MainColumn::Pass:
      return EntryAction::FillPass;
  }
  return EntryAction::None;
}

void DoEntryAction(ProgramState& state, Ports& ports, EntryAction action, int row) {
  if (action == EntryAction::None) return;
  if (row < 0 || static_cast<std::size_t>(row) >= state.table.Count()) return;
  auto i = static_cast<std::size_t>(row);
  if (action == EntryAction::Launch) {
    LaunchEntry(state, ports, row);
    return;
  }
  const EntryTable& t = state.table;
  bool id = action == EntryAction::FillId;
  FillLoginDialog(state, ports, DialupCaptionFor(t.Value(i, Column::Set1)),
                  t.Value(i, id ? Column::Id : Column::Pass), t.Value(i, Column::Set1),
                  t.Value(i, Column::Set2), t.Value(i, Column::Connection),
                  id ? FillMode::Id : FillMode::Password);
}

void Relaunch(ProgramState& state, Ports& ports, const std::function<void()>& processEvents) {
  {
    // The relaunch is under way while it waits: no other launch takes its place.
    const FlagHold launching(state.main.launching);
    WaitForWorker(state.main, ports.clock, processEvents, 1200, 500);
  }
  // The relaunch belongs to the session's own entry, whatever was launched (or refused)
  // meanwhile; a Cancel during the hand-over or a launch that stops early ends the session.
  if (state.session.state == kSessionRelaunchRequested && !state.main.ending) {
    LaunchEntry(state, ports, state.session.entry);
  }
  if (state.session.state == kSessionRelaunchRequested ||
      state.session.state == kSessionCancelled) {
    EndUnstartedRelaunch(state, ports);
  }
}

std::string WaitCountdownText(int tickCount) {
  int left = (60 - tickCount) / 2 + 1;
  return Sjis("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  ") + DecimalText(left) + "  SEC";
}

}  // namespace norvax
