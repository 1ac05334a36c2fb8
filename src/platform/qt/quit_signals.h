// The signals that ask a program to end (SIGTERM at logout or from kill, SIGHUP when its
// terminal goes, SIGINT from Ctrl+C) turned into a call on the main thread, so that the
// program ends the way it does when its main window is closed.
#pragma once

#include <functional>

namespace norvax {

// From now on each of those signals calls onSignal on the main thread, from the event loop.
void OnQuitSignals(std::function<void()> onSignal);

}  // namespace norvax
