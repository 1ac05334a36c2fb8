// The main timer: after a browser-only launch it types the password into the connect
// dialog (showing the wait window with a countdown), then watches for the connection, and
// the termination handler of the worker thread.
#pragma once

#include <string>

namespace norvax {

struct ProgramState;
struct Ports;

// Ticks of the password phase (30 seconds) and of the whole wait (600 seconds).
inline constexpr int kPasswordTicks = 60;
inline constexpr int kConnectionTicks = 1200;

// Colours of the wait window's text, blinking on a white background.
inline constexpr unsigned kWaitTextWhite = 0xFFFFFF;
inline constexpr unsigned kWaitTextGreen = 0x008000;

// One tick (every 500 ms while the timer runs); a tick that arrives while one is being
// handled, or while an ID or password click types, is dropped.
void Timer1Timer(ProgramState& state, Ports& ports);

// Runs on the main thread once the worker thread has ended: decides whether the program
// ends.
void WatchThreadTerminated(ProgramState& state, Ports& ports);

// Starts the worker thread for the browser phase or the dial phases.
void StartWatchThread(ProgramState& state, Ports& ports);

// After a launch has been handled: brings the main window back and, unless preference 2
// keeps it there, the program back from the task bar.
void RestoreAfterLaunch(ProgramState& state, Ports& ports);

// "NORVAX  パスワードをセット出来ませんでした。"
std::string PasswordNotSetMessage();
// "NORVAX ﾀﾞｲﾔﾙｱｯﾌﾟ ｳｲﾝﾄﾞｳを最小化出来ませんでした。"
std::string DialupNotMinimisedMessage();

}  // namespace norvax
