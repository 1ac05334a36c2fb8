#include "launch/launch.h"

#include <cctype>

#include "dialup/dial_session.h"
#include "launch/autodial.h"
#include "launch/login_fill.h"
#include "launch/main_timer.h"
#include "launch/proxy.h"
#include "launch/registry_access.h"
#include "launch/start_process.h"
#include "platform/cp932.h"
#include "platform/processes.h"
#include "platform/program_control.h"
#include "platform/proxy_stores.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

// Captures the entry's browser, directory and maximise flag into the launch state.
void CaptureBrowser(LaunchState& launch, const EntryTable& table, std::size_t entry) {
  launch.browserProgram = table.Value(entry, Column::Browser);
  launch.workDirectory = table.Value(entry, Column::WorkDirectory);
  launch.maximise = table.Value(entry, Column::Maximise) == "1";
}

// Whether the program of the browser's command line is a Firefox.
bool BrowserIsFirefox(const std::string& browserProgram) {
  auto words = SplitCommandLine(Cp932ToUtf8(browserProgram));
  if (!words || words->empty()) return false;
  std::string name = words->front().substr(words->front().find_last_of('/') + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.starts_with("firefox");
}

// The autodial switch and, when the entry asks for it, its proxy settings. Throws
// RegistryError.
void PrepareRegistry(ProgramState& state, Ports& ports, std::size_t entry) {
  const std::string& connection = state.table.Value(entry, Column::Connection);
  if (!connection.empty()) {
    SetAutodialProfile(ports.registry, connection, state.launch.registryResult);
  }
  if (state.table.Value(entry, Column::ProxyFlags).starts_with('1')) {
    ProxyApplied applied = ApplyProxySettings(ports.proxy, state.table, entry);
    state.launch.browserEnvironment = std::move(applied.environment);
    if (applied.firefoxChanged && BrowserIsFirefox(state.launch.browserProgram) &&
        ports.proxy.FirefoxRunning()) {
      ports.dialogs.ShowMessage(FirefoxRestartMessage());
    }
  }
}

void HideMainWindow(ProgramState& state, Ports& ports) {
  if (state.main.minimisedAtStart || state.main.mainWindowHidden) return;
  ports.program.HideMainWindow();
  state.main.mainWindowHidden = true;
}

}  // namespace

std::string LaunchBusyMessage() { return Sjis("NORVAX 起動（関連）処理中のため起動出来ません。"); }
std::string NoBrowserMessage() { return Sjis("NORVAX  ﾌﾞﾗｳｻﾞが登録されていません。"); }
std::string NoConnectionMessage() { return Sjis("NORVAX  接続先が登録されていません。"); }
std::string RegistryChangeMessage() {
  return Sjis("NORVAX  接続先・ﾌﾟﾛｷｼ、レジストリー変更エラー。");
}
std::string CannotStartMessage() { return Sjis("NORVAX  起動出来ませんでした。"); }
std::string FirefoxRestartMessage() {
  return Sjis(
      "NORVAX  Firefox が起動中です。ﾌﾟﾛｷｼの設定は Firefox を再起動した後に有効になります。");
}

bool LaunchGuardBlocks(const ProgramState& state) {
  const MainState& main = state.main;
  return main.launching || main.filling || main.timerEnabled || main.timerBusy ||
         main.watchThreadRunning || state.launch.browser.watching;
}

bool ClickFillBlocked(const MainState& main) {
  return main.launching || main.timerBusy || main.filling;
}

bool BrowserIsNetscape(std::string_view browserProgram) {
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < browserProgram.size(); ++i) {
    auto c = static_cast<unsigned char>(browserProgram[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == ':' || c == '/') {
      nameStart = i + 1;
    }
  }
  return Cp932UpperAscii(browserProgram.substr(nameStart)) == "NETSCAPE.EXE";
}

void LaunchEntry(ProgramState& state, Ports& ports, int entry) {
  if (LaunchGuardBlocks(state)) {
    ports.dialogs.ShowError(LaunchBusyMessage());
    return;
  }
  // Held until the launch returns: a wait inside it (a message, the dialler) lets events
  // run, and a second launch or a click fill then would take this launch's values.
  const FlagHold launching(state.main.launching);
  state.main.currentEntry = entry;
  LaunchState& launch = state.launch;
  launch.registryResult = RegistryResult::NothingDone;
  launch.startAttempted = false;
  launch.browserEnvironment.clear();
  if (state.session.browserProcess != 0) {
    ports.processes.Close(state.session.browserProcess);
    state.session.browserProcess = 0;
  }
  if (state.prefs.IsOn(NoConnectNoBrowser)) return;
  if (entry < 0 || static_cast<std::size_t>(entry) >= state.table.Count()) return;
  const auto i = static_cast<std::size_t>(entry);
  try {
    if (state.table.Value(i, Column::OwnDialler) == "1") {
      LaunchWithDial(state, ports, i);
    } else {
      LaunchBrowserOnly(state, ports, i);
    }
  } catch (const RegistryError& e) {
    ports.dialogs.ShowError(e.Message());
  }
}

void LaunchWithDial(ProgramState& state, Ports& ports, std::size_t entry) {
  const EntryTable& table = state.table;
  LaunchState& launch = state.launch;
  CaptureBrowser(launch, table, entry);
  const std::string& connection = table.Value(entry, Column::Connection);
  launch.dialupCaption = DialupCaptionFor(table.Value(entry, Column::Set1));
  if (launch.browserProgram.empty()) {
    ports.dialogs.ShowError(NoBrowserMessage());
    return;
  }
  if (connection.empty()) {
    ports.dialogs.ShowError(NoConnectionMessage());
    return;
  }
  launch.browserIsNetscape = BrowserIsNetscape(launch.browserProgram);
  PrepareRegistry(state, ports, entry);
  if (launch.registryResult == RegistryResult::Failed) {
    ports.dialogs.ShowError(RegistryChangeMessage());
    return;
  }
  try {
    StartDialSession(state.session, table, entry);
  } catch (const ProfileError& e) {
    ports.dialogs.ShowError(e.what());
    return;
  }
  HideMainWindow(state, ports);
  StartWatchThread(state, ports);
}

void LaunchBrowserOnly(ProgramState& state, Ports& ports, std::size_t entry) {
  const EntryTable& table = state.table;
  LaunchState& launch = state.launch;
  DialSession& session = state.session;
  session.state = kSessionIdle;
  CaptureBrowser(launch, table, entry);
  const std::string& connection = table.Value(entry, Column::Connection);
  launch.fillConnection = connection;
  launch.fillSet1 = table.Value(entry, Column::Set1);
  launch.fillSet2 = table.Value(entry, Column::Set2);
  launch.dialupCaption =
      IsNoConnection(connection) ? launch.fillSet1 : DialupCaptionFor(launch.fillSet1);

  // A connection that comes up after this launch is logged with the entry's own profile.
  session.entryName = connection;
  session.attempts = 1;
  session.connection = 0;
  session.profileParsed = false;
  session.entry = static_cast<int>(entry);
  session.startTime = {};
  session.endTime = {};
  try {
    session.profileText = table.Value(entry, Column::DialProfile);
    session.profile = ParseProfile(session.profileText);
    session.profileParsed = true;
  } catch (const ProfileError&) {
    // An unreadable profile only means no log line for this connection.
  }

  if (!launch.browserProgram.empty()) {
    launch.browserIsNetscape = BrowserIsNetscape(launch.browserProgram);
    PrepareRegistry(state, ports, entry);
    if (launch.registryResult != RegistryResult::Failed) {
      session.browserProcess = StartBrowser(state, ports);
    }
    launch.startAttempted = true;
  }
  state.main.waitWindowBlink = false;
  state.main.waitCancelled = false;

  const bool setPass = table.Value(entry, Column::SetPass) == "1";
  if (launch.startAttempted && session.browserProcess != 0 && !connection.empty() &&
      (setPass || state.prefs.IsOn(EnterEvenIfNoPass))) {
    HideMainWindow(state, ports);
    state.main.tickCount = 0;
    state.main.waitForConnection = false;
    launch.fillPassword = setPass ? table.Value(entry, Column::Pass) : "";
    state.main.timerEnabled = true;
    ports.program.StartTimer();
  }
  if (launch.startAttempted && session.browserProcess == 0) {
    bool opened = launch.workDirectory.empty() && ports.processes.ShellOpen(launch.browserProgram);
    if (!opened) {
      ports.dialogs.ShowError(CannotStartMessage());
      if (state.prefs.IsOn(ExitOnLaunchFailure)) ports.program.EndProgram();
    }
  }
}

}  // namespace norvax
