// Launching an entry: connect as the entry asks and start its browser.
#pragma once

#include <string>
#include <string_view>

#include "core/program_state.h"

namespace norvax {

// "NORVAX 起動（関連）処理中のため起動出来ません。"
std::string LaunchBusyMessage();
// "NORVAX  ﾌﾞﾗｳｻﾞが登録されていません。"
std::string NoBrowserMessage();
// "NORVAX  接続先が登録されていません。"
std::string NoConnectionMessage();
// "NORVAX  接続先・ﾌﾟﾛｷｼ、レジストリー変更エラー。"
std::string RegistryChangeMessage();
// "NORVAX  起動出来ませんでした。"
std::string CannotStartMessage();
// "NORVAX  Firefox が起動中です。ﾌﾟﾛｷｼの設定は Firefox を再起動した後に有効になります。"
std::string FirefoxRestartMessage();

// True while a launch may not start: another launch or an ID or password click runs, the
// main timer runs or handles a tick, the worker thread runs, or the browser started last
// has not shown its first window yet.
bool LaunchGuardBlocks(const ProgramState& state);

// True while an ID or password click may not type: a launch runs, or the main timer's tick
// or another click is typing. (The browsing after a launch, with its timer or worker
// watching, takes clicks: that is when login dialogs show.)
bool ClickFillBlocked(const MainState& main);

// True when the file-name part of the browser's command line (after the last "\", ":" or
// "/", never a double-byte character's second byte), upper-cased, is "NETSCAPE.EXE".
bool BrowserIsNetscape(std::string_view browserProgram);

// Launches entry (0-based) on behalf of the main window: through the program's own dialler
// when the entry says so, else by starting the browser (and letting the main timer fill
// the connect dialog). Refusals and failures are shown to the user. Unless the launch guard
// refuses it, the entry becomes the current entry (the one a relaunch launches again).
void LaunchEntry(ProgramState& state, Ports& ports, int entry);

void LaunchBrowserOnly(ProgramState& state, Ports& ports, std::size_t entry);
void LaunchWithDial(ProgramState& state, Ports& ports, std::size_t entry);

}  // namespace norvax
