#include "platform/x11/direct_input.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

extern char** environ;

namespace norvax {
namespace {

// Appends what can be read from fd without waiting; false once its writers closed it.
bool ReadAvailable(int fd, std::string& text) {
  for (;;) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return n < 0 && errno == EAGAIN;
    }
  }
}

// Runs a tool (found on PATH) on display and returns what it printed, or nothing when it
// cannot be started, fails or does not end within timeoutMs (it is killed then).
std::optional<std::string> RunTool(std::vector<std::string> argv, const std::string& display,
                                   int timeoutMs) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  }
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  std::vector<char*> rawArgv, rawEnv;
  for (auto& a : argv) rawArgv.push_back(a.data());
  rawArgv.push_back(nullptr);
  for (auto& e : env) rawEnv.push_back(e.data());
  rawEnv.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, rawArgv[0], &actions, nullptr, rawArgv.data(), rawEnv.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return std::nullopt;
  }
  std::string text;
  // The end of the process, as an event to wait for beside its output (a tool may leave its
  // output open to a process of its own, or end without closing it first).
  const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  bool open = fcntl(out[0], F_SETFL, O_NONBLOCK) == 0, exited = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!exited) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd p[2] = {{open ? out[0] : -1, POLLIN, 0}, {ended, POLLIN, 0}};
    const int ready = left > 0 ? poll(p, 2, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;  // a signal: on with the time that is left
    if (ready <= 0) break;
    if (p[0].revents) open = ReadAvailable(out[0], text);
    // Without a process descriptor (an old kernel) the end of the output stands for it.
    exited = ended >= 0 ? p[1].revents != 0 : !open;
  }
  if (exited && open) ReadAvailable(out[0], text);
  close(out[0]);
  if (ended >= 0) close(ended);
  if (!exited) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!exited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return text;
}

std::string FirstLine(const std::string& text) {
  auto line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// An ibus daemon of this user runs: its address is in the environment, or a daemon that
// still lives wrote its address file (~/.config/ibus/bus/*). Checked without starting a
// program, so that a desktop without ibus pays nothing.
bool IbusDaemonRuns() {
  if (const char* address = std::getenv("IBUS_ADDRESS"); address && *address) return true;
  std::string dir;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    dir = config;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    dir = std::string(home) + "/.config";
  } else {
    return false;
  }
  dir += "/ibus/bus";
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool runs = false;
  while (dirent* entry = readdir(d)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream file(dir + "/" + entry->d_name);
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("IBUS_DAEMON_PID=", 0) == 0) {
        long pid = std::strtol(line.c_str() + 16, nullptr, 10);
        runs = runs || (pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM));
      }
    }
  }
  closedir(d);
  return runs;
}

// The first plain keyboard engine ("xkb:...") of the user's engine list, if any.
std::string UsersKeyboardEngine(const std::string& display) {
  auto config = RunTool({"ibus", "read-config"}, display, DirectInput::kToolTimeoutMs);
  if (!config) return {};
  // "  preload-engines: ['xkb:jp::jpn', 'anthy']"
  auto at = config->find("preload-engines:");
  if (at == std::string::npos) return {};
  auto line = config->substr(at, config->find('\n', at) - at);
  auto start = line.find("'xkb:");
  if (start == std::string::npos) return {};
  auto end = line.find('\'', start + 1);
  return end == std::string::npos ? std::string() : line.substr(start + 1, end - start - 1);
}

// The address of the ibus daemon of display ("" when none answers).
std::string IbusAddress(const std::string& display) {
  if (const char* address = std::getenv("IBUS_ADDRESS"); address && *address) return address;
  auto out = RunTool({"ibus", "address"}, display, DirectInput::kToolTimeoutMs);
  std::string address = out ? FirstLine(*out) : std::string();
  return address.find(':') == std::string::npos ? std::string() : address;
}

// Calls a method of the ibus daemon at address with gdbus; what it printed, or nothing.
std::optional<std::string> IbusCall(const std::string& address,
                                    std::vector<std::string> methodAndArguments) {
  std::vector<std::string> argv = {"gdbus",         "call",
                                   "--address",     address,
                                   "--dest",        "org.freedesktop.IBus",
                                   "--object-path", "/org/freedesktop/IBus",
                                   "--method"};
  argv.insert(argv.end(), methodAndArguments.begin(), methodAndArguments.end());
  return RunTool(argv, {}, DirectInput::kToolTimeoutMs);
}

// The name of the global engine from the GlobalEngine property as gdbus prints it:
// "(<<('IBusEngineDesc', @a{sv} {}, 'anthy', 'Anthy', ...)>>,)".
std::string EngineName(const std::string& printed) {
  auto at = printed.find("'IBusEngineDesc', ");
  if (at == std::string::npos) return {};
  // Past the attachments (a dictionary, which may hold quoted text and nested braces).
  std::size_t i = printed.find('{', at);
  int depth = 0;
  bool quoted = false;
  for (; i < printed.size(); ++i) {
    char c = printed[i];
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if (c == '{') ++depth;
    if (c == '}' && --depth == 0) break;
  }
  auto start = printed.find('\'', i);
  if (start == std::string::npos) return {};
  auto end = printed.find('\'', start + 1);
  return end == std::string::npos ? std::string() : printed.substr(start + 1, end - start - 1);
}

}  // namespace

DirectInput::DirectInput(const std::string& display, const std::string& keyboardEngine)
    : display_(display) {
  // ibus: one global engine; a plain keyboard engine ("xkb:...") passes keys through. The
  // daemon is asked directly: the ibus tool's "engine" command also sets the X keyboard
  // layout of the engine, which is the user's to choose.
  if (IbusDaemonRuns()) {
    runs_ = true;
    std::string address = IbusAddress(display_);
    auto current = address.empty() ? std::nullopt
                                   : IbusCall(address, {"org.freedesktop.DBus.Properties.Get",
                                                        "org.freedesktop.IBus", "GlobalEngine"});
    std::string engine = current ? EngineName(*current) : std::string();
    if (!engine.empty() && engine.rfind("xkb:", 0) != 0) {
      std::string keyboard = UsersKeyboardEngine(display_);
      if (keyboard.empty()) keyboard = keyboardEngine;
      if (IbusCall(address, {"org.freedesktop.IBus.SetGlobalEngine", keyboard})) {
        ibusAddress_ = address;
        ibusEngine_ = engine;
      }
    }
  }
  // fcitx5: state 1 is an inactive input method, 2 an active one; deactivated, keys pass
  // through.
  auto state = RunTool({"fcitx5-remote"}, display_, kToolTimeoutMs);
  const std::string fcitx5 = state ? FirstLine(*state) : std::string();
  runs_ = runs_ || fcitx5 == "1" || fcitx5 == "2";
  if (fcitx5 == "2" && RunTool({"fcitx5-remote", "-c"}, display_, kToolTimeoutMs)) {
    fcitx5Deactivated_ = true;
  }
}

DirectInput::~DirectInput() {
  if (!Switched()) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
  if (!ibusEngine_.empty()) {
    IbusCall(ibusAddress_, {"org.freedesktop.IBus.SetGlobalEngine", ibusEngine_});
  }
  if (fcitx5Deactivated_) RunTool({"fcitx5-remote", "-o"}, display_, kToolTimeoutMs);
}

}  // namespace norvax
