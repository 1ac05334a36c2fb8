// Typing speed and loss: 1,000 characters, ASCII and Japanese mixed, typed into a login
// dialog on a private Xvfb by NORVAX's X11 adapter and by `xdotool type` (default delay).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "platform/cp932.h"
#include "platform/x11/x11_window_system.h"
#include "x11_env.h"

namespace norvax {
namespace {

using namespace std::chrono_literals;

const std::string& Text() {
  static const std::string text = [] {
    const std::u32string pattern = U"abcXYZ123 日本語ﾃｽﾄ!?";
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
  }();
  return text;
}

std::size_t CountChars(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// A fresh target window with the focus, on a server of its own.
struct Stage {
  testing::XServer server{true};
  X11WindowSystem windows{server.Display().c_str()};
  testing::ChildProcess target{{NORVAX_TYPE_TARGET, "bench", "--report-on-enter"}, server.Env()};
  WindowId window = 0;

  Stage() {
    testing::WaitUntil(
        [&] {
          for (auto w : windows.TopLevelWindows()) {
            if (windows.CaptionUtf8(w) == "bench") window = w;
          }
          return window != 0;
        },
        10s);
    windows.SetForeground(window);
    testing::WaitUntil([&] { return windows.Foreground() == window; }, 5s);
  }

  // What arrived in the first field once ENTER was pressed.
  std::string Received() {
    windows.PressKey(window, Key::Enter);
    auto line = target.ReadLine(30s);
    return line && line->rfind("1:", 0) == 0 ? line->substr(2) : "";
  }
};

void Report(benchmark::State& state, double seconds, const std::string& received) {
  state.counters["chars_per_second"] = 1000.0 / seconds;
  state.counters["chars_lost"] =
      static_cast<double>(1000 - std::min<std::size_t>(1000, CountChars(received)));
  state.counters["exact"] = received == Text() ? 1 : 0;
}

void BM_NorvaxTyping(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Stage stage;
    std::string cp932 = Sjis(Text());
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    stage.windows.TypeText(stage.window, cp932);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    Report(state, seconds, stage.Received());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_NorvaxTyping)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_XdotoolType(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Stage stage;
    std::string command = "DISPLAY=" + stage.server.Display() + " xdotool type '" + Text() + "'";
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    int rc = std::system(command.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    if (rc != 0) state.SkipWithError("xdotool failed");
    Report(state, seconds, stage.Received());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_XdotoolType)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvax

BENCHMARK_MAIN();
