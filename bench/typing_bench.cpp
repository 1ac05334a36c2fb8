// Typing speed and loss: 1,000 characters, ASCII and Japanese mixed, typed into a login
// dialog on a private Xvfb by NORVAX's X11 adapter and by `xdotool type` (default delay), and
// on a headless sway by NORVAX's Wayland adapter into a Qt program on Wayland and on Xwayland.
// On a headless GNOME Shell, which types only what the keyboard layout has, 1,000 ASCII
// characters, by NORVAX's GNOME adapter into a Qt program on Wayland and on Xwayland, and by
// `xdotool type` into the one on Xwayland.
// On a headless KWin, which types only the keys of the user's layout, 1,000 ASCII characters
// by NORVAX's KWin adapter (Wayland and Xwayland) and by `xdotool type` into Xwayland.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/cp932.h"
#include "platform/wayland/gnome_window_system.h"
#include "platform/wayland/kwin_window_system.h"
#include "platform/wayland/wayland_window_system.h"
#include "platform/x11/x11_window_system.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

// 1,000 characters of the pattern, UTF-8.
std::string Repeated(const std::u32string& pattern) {
  std::u32string all;
  while (all.size() < 1000) all += pattern;
  all.resize(1000);
  std::string utf8;
  for (char32_t c : all) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

const std::string& Text() {
  static const std::string text = Repeated(U"abcXYZ123 日本語ﾃｽﾄ!?");
  return text;
}

const std::string& AsciiText() {
  static const std::string text = Repeated(U"abcXYZ123 _@{}!?");
  return text;
}

std::size_t CountChars(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// A fresh target window with the focus, and what arrived in it.
struct Target {
  WindowSystem& windows;
  testing::ChildProcess process;
  WindowId window = 0;

  Target(WindowSystem& w, const std::vector<std::string>& argv, const std::vector<std::string>& env)
      : windows(w), process(argv, env), window(testing::WaitForWindow(w, "bench")) {
    windows.SetForeground(window);
    testing::WaitUntil([&] { return windows.Foreground() == window; }, 5s);
  }

  // What arrived in the first field once ENTER was pressed.
  std::string Received() {
    windows.PressKey(window, Key::Enter);
    auto line = process.ReadLine(30s);
    return line && line->rfind("1:", 0) == 0 ? line->substr(2) : "";
  }
};

const std::vector<std::string> kTargetArgv = {NORVAX_TYPE_TARGET, "bench", "--report-on-enter"};

// On an X server of its own.
struct Stage {
  testing::XServer server{true};
  X11WindowSystem windows{server.Display().c_str()};
  Target target{windows, kTargetArgv, server.Env()};
};

// On a sway of its own: a Wayland or (x11) an Xwayland program.
struct SwayStage {
  std::unique_ptr<testing::SwayServer> sway = testing::SwayServer::Start();
  std::unique_ptr<WaylandWindowSystem> windows;
  std::optional<Target> target;

  explicit SwayStage(bool x11) {
    if (!sway) return;
    windows = std::make_unique<WaylandWindowSystem>(sway->Socket().c_str());
    target.emplace(*windows, sway->AsUser(kTargetArgv), sway->Env(x11));
  }
};

// On a KWin of its own, which lets this program type: a Wayland or (x11) an Xwayland program.
struct KWinStage {
  std::unique_ptr<testing::KWinServer> kwin = testing::KWinServer::Start();
  std::unique_ptr<KWinWindowSystem> windows;
  std::optional<Target> target;

  explicit KWinStage(bool x11) {
    if (!kwin) return;
    testing::MakeCoreApplication();
    kwin->GrantFakeInput(std::filesystem::read_symlink("/proc/self/exe").string());
    windows = std::make_unique<KWinWindowSystem>(kwin->Socket().c_str());
    target.emplace(*windows, kTargetArgv, kwin->Env(x11));
  }
};

void Report(benchmark::State& state, double seconds, const std::string& received,
            const std::string& expected = Text()) {
  state.counters["chars_per_second"] = 1000.0 / seconds;
  state.counters["chars_lost"] =
      static_cast<double>(1000 - std::min<std::size_t>(1000, CountChars(received)));
  state.counters["exact"] = received == expected ? 1 : 0;
}

// Types the text into the target and reports.
void TypeAndReport(benchmark::State& state, WindowSystem& windows, Target& target,
                   const std::string& text = Text()) {
  std::string cp932 = Sjis(text);
  state.ResumeTiming();
  auto start = std::chrono::steady_clock::now();
  windows.TypeText(target.window, cp932);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.PauseTiming();
  Report(state, seconds, target.Received(), text);
  state.ResumeTiming();
}

void BM_NorvaxTyping(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Stage stage;
    TypeAndReport(state, stage.windows, stage.target);
  }
}
BENCHMARK(BM_NorvaxTyping)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Types into the target of a compositor's stage; argument 1: into an Xwayland program.
template <class CompositorStage>
void TypeOnCompositor(benchmark::State& state, const char* missing, const std::string& text) {
  for (auto _ : state) {
    state.PauseTiming();
    CompositorStage stage(state.range(0) == 1);
    if (!stage.target) {
      state.SkipWithError(missing);
      state.ResumeTiming();
      continue;
    }
    TypeAndReport(state, *stage.windows, *stage.target, text);
  }
}

void BM_NorvaxTypingWayland(benchmark::State& state) {
  TypeOnCompositor<SwayStage>(state, "no headless sway", Text());
}
BENCHMARK(BM_NorvaxTypingWayland)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// On a GNOME Shell of its own: a Wayland or (x11) an Xwayland program.
struct GnomeStage {
  std::unique_ptr<testing::GnomeShellServer> shell = testing::GnomeShellServer::Start(true, "us");
  std::unique_ptr<GnomeWindowSystem> windows;
  std::optional<Target> target;

  explicit GnomeStage(bool x11) {
    if (!shell) return;
    windows =
        std::make_unique<GnomeWindowSystem>(shell->BusAddress().c_str(), shell->Socket().c_str());
    target.emplace(*windows, kTargetArgv, shell->Env(x11));
  }
};

void BM_NorvaxTypingGnome(benchmark::State& state) {
  TypeOnCompositor<GnomeStage>(state, "no headless GNOME Shell", AsciiText());
}
BENCHMARK(BM_NorvaxTypingGnome)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_NorvaxTypingKWin(benchmark::State& state) {
  TypeOnCompositor<KWinStage>(state, "no headless KWin", AsciiText());
}
BENCHMARK(BM_NorvaxTypingKWin)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// xdotool types text into the target on the X display of env.
void XdotoolTypeAndReport(benchmark::State& state, const std::vector<std::string>& env,
                          Target& target, const std::string& text) {
  std::string command;
  for (const auto& e : env) command += "'" + e + "' ";
  command = "env " + command + "xdotool type '" + text + "'";
  state.ResumeTiming();
  auto start = std::chrono::steady_clock::now();
  int rc = std::system(command.c_str());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.PauseTiming();
  if (rc != 0) state.SkipWithError("xdotool failed");
  Report(state, seconds, target.Received(), text);
  state.ResumeTiming();
}

// Into the Xwayland program of a GNOME Shell.
void BM_XdotoolTypeGnome(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    GnomeStage stage(true);
    if (!stage.target) {
      state.SkipWithError("no headless GNOME Shell");
      state.ResumeTiming();
      continue;
    }
    XdotoolTypeAndReport(state, stage.shell->Env(true), *stage.target, AsciiText());
  }
}
BENCHMARK(BM_XdotoolTypeGnome)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_XdotoolType(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Stage stage;
    XdotoolTypeAndReport(state, stage.server.Env(), stage.target, Text());
  }
}
BENCHMARK(BM_XdotoolType)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Into an Xwayland program on KWin.
void BM_XdotoolTypeKWin(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    KWinStage stage(true);
    if (!stage.target) {
      state.SkipWithError("no headless KWin");
      state.ResumeTiming();
      continue;
    }
    XdotoolTypeAndReport(state, stage.kwin->Env(true), *stage.target, AsciiText());
  }
}
BENCHMARK(BM_XdotoolTypeKWin)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvax

BENCHMARK_MAIN();
