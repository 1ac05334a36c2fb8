#include "platform/wayland/kwin_window_system.h"

#include <unistd.h>
#include <wayland-client.h>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "fake-input-client-protocol.h"
#include "platform/cp932.h"
#include "platform/posix/random_token.h"
#include "platform/typed_text.h"
#include "platform/wayland/wayland_client.h"

namespace norvax {
namespace {

constexpr std::uint32_t kFakeInputVersion = 4;  // the first with keyboard_key
constexpr std::uint32_t kLeftShift = 42;        // evdev codes
constexpr std::uint32_t kTab = 15;
constexpr std::uint32_t kEnter = 28;
// The keys go at most one per kKeyInterval: a program slow to read them (a busy browser)
// falls behind, and KWin drops the connection of a program whose unread events fill its
// buffer (seen with a Qt program under load at 3.5 ms a key; 8 ms is the pace KWin took
// when every key cost a script run).
constexpr auto kKeyInterval = std::chrono::milliseconds(8);

const QString kKWin = QStringLiteral("org.kde.KWin");
const QString kReportPath = QStringLiteral("/Report");

// A token no other program can guess.
QString NewToken() { return QString::fromStdString(RandomToken()); }

// Takes the scripts' reports (a method call "Report" with a token and the windows as JSON)
// in a thread of its own, so that they come while the caller waits: from KWin's own
// connection alone (the bus sets the sender) and for the tokens awaited alone; any other is
// refused and forgotten.
class ReportReceiver : public QDBusVirtualObject {
 public:
  explicit ReportReceiver(QString kwin) : kwin_(std::move(kwin)) {}

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const auto args = message.arguments();
    if (message.member() != QLatin1String("Report") || args.size() != 2) return false;
    bool taken = false;
    {
      std::lock_guard lock(mutex_);
      taken = message.service() == kwin_ && awaited_.count(args[0].toString()) > 0;
      if (taken) reports_[args[0].toString()] = args[1].toString();
    }
    if (!taken) {
      connection.send(message.createErrorReply(QDBusError::AccessDenied, QString()));
      return true;
    }
    arrived_.notify_all();
    connection.send(message.createReply());
    return true;
  }
  QString introspect(const QString&) const override { return {}; }

  // A new token whose report is awaited until it is taken or forgotten.
  QString Await() {
    const QString token = NewToken();
    std::lock_guard lock(mutex_);
    awaited_.insert(token);
    return token;
  }

  // The report of token, if it came (it stays).
  std::optional<QString> Peek(const QString& token) {
    std::lock_guard lock(mutex_);
    const auto found = reports_.find(token);
    return found != reports_.end() ? std::optional(found->second) : std::nullopt;
  }

  // No longer awaits token; its report, if it came, is dropped.
  void Forget(const QString& token) {
    std::lock_guard lock(mutex_);
    awaited_.erase(token);
    reports_.erase(token);
  }

  // The report of token, which is then forgotten; nothing when none came within timeout.
  std::optional<QString> Take(const QString& token, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool came = arrived_.wait_for(lock, timeout, [&] { return reports_.count(token) > 0; });
    awaited_.erase(token);
    if (!came) return std::nullopt;
    return reports_.extract(token).mapped();
  }

 private:
  const QString kwin_;  // KWin's unique name on the bus
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::set<QString> awaited_;
  std::map<QString, QString> reports_;
};

// The query: does its ACTION on the window whose KWin id is TARGET (if any), then reports
// every normal window and dialog, topmost first. KWin 6 names windowList and activeWindow
// what KWin 5 names clientList and activeClient; both list the windows in the order they
// came, and each window knows its place in the stacking order.
constexpr const char* kScript = R"(
(function () {
  var six = workspace.windowList !== undefined;
  var windows = six ? workspace.windowList() : workspace.clientList();
  for (var i = 0; i < windows.length; ++i) {
    var target = windows[i];
    if (String(target.internalId) !== %2) continue;
    %5
  }
  windows.sort(function (a, b) { return b.stackingOrder - a.stackingOrder; });
  var active = six ? workspace.activeWindow : workspace.activeClient;
  var out = [];
  for (var i = 0; i < windows.length; ++i) {
    var w = windows[i];
    if (!w.normalWindow && !w.dialog) continue;
    out.push({id: String(w.internalId), caption: String(w.caption), cls: String(w.resourceClass),
              pid: w.pid, active: w === active, minimised: w.minimized});
  }
  callDBus(%1, "/Report", "org.norvax.Report", "Report", %4, JSON.stringify(out));
})();
)";

// The guard of a typing into the window whose KWin id is TARGET. It reports once it runs:
// "active" when TARGET is the active window then. The first change of the activation after
// that it reports as CHANGE: the window that took the activation (activated again
// TARGET at once, in the same turn of KWin's main loop, so that no key sent meanwhile
// reaches the other window), or "" when no window has it or the guard ended. It ends by
// itself, its handlers disconnected and its script unloaded (NAME), when TARGET closes
// (before KWin activates another window, which it must not take back), after LIFETIME ms,
// and once this connection is gone from the bus (asked every POLL ms): nothing of it stays
// in KWin when the typing was cut off. Its timers run before it connects to the window, so
// that a KWin without a signal it connects to still ends it (and it does not report).
// KWin 6 names windowActivated, windowRemoved and closed what KWin 5 names clientActivated,
// clientRemoved and windowClosed.
constexpr const char* kGuard = R"(
(function () {
  var six = workspace.windowList !== undefined;
  var windows = six ? workspace.windowList() : workspace.clientList();
  var target = null;
  for (var i = 0; i < windows.length; ++i) {
    if (String(windows[i].internalId) === %2) target = windows[i];
  }
  var life = new QTimer();
  var poll = new QTimer();
  var links = [];
  var changed = false;
  function report(token, text) {
    callDBus(%1, "/Report", "org.norvax.Report", "Report", token, text);
  }
  function change(text) {
    if (!changed) report(%5, text);
    changed = true;
  }
  function link(signal, handler) {
    signal.connect(handler);
    links.push([signal, handler]);
  }
  function end() {
    for (var i = 0; i < links.length; ++i) links[i][0].disconnect(links[i][1]);
    links = [];
    target = null;
    life.stop();
    poll.stop();
    change("");
    callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", %3);
  }
  if (!target) {
    report(%4, "");
    return end();
  }
  life.singleShot = true;
  life.interval = %6;
  life.timeout.connect(end);
  life.start();
  poll.interval = %7;
  poll.timeout.connect(function () {
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", %1, function (owned) { if (!owned) end(); });
  });
  poll.start();
  link(six ? workspace.windowActivated : workspace.clientActivated, function (w) {
    if (w === target) return;
    change(w ? String(w.internalId) : "");
    if (!w) return;
    if (six) workspace.activeWindow = target; else workspace.activeClient = target;
  });
  link(six ? workspace.windowRemoved : workspace.clientRemoved, function (w) {
    if (w === target) end();
  });
  link(target.closed !== undefined ? target.closed : target.windowClosed, end);
  var active = six ? workspace.activeWindow : workspace.activeClient;
  report(%4, active === target ? "active" : "");
})();
)";

constexpr const char* kActivate =
    "target.minimized = false; if (six) workspace.activeWindow = target; "
    "else workspace.activeClient = target;";

// Script text (ASCII) with each of %1 to %9 that args has replaced by it.
QString Filled(std::string_view text, const QStringList& args) {
  QString out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto index = at + 1 < text.size() ? text[at + 1] - '1' : -1;
    if (text[at] == '%' && index >= 0 && index < std::min<qsizetype>(args.size(), 9)) {
      out += args[index];
      ++at;
    } else {
      out += QLatin1Char(text[at]);
    }
  }
  return out;
}

QString Quoted(const QString& text) {
  return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact))
      .mid(1)
      .chopped(1);
}

}  // namespace

struct KWinWindowSystem::Impl : WaylandClient {
  org_kde_kwin_fake_input* fakeInput = nullptr;

  // The session bus, with the reports' receiver in a thread of its own.
  std::optional<QDBusConnection> bus;
  QThread receiverThread;
  ReportReceiver* receiver = nullptr;
  bool kwin = false;

  struct Window {
    QString kwinId;
    std::string caption, className;  // CP932
    std::uint32_t pid = 0;
    bool active = false;
  };
  std::mutex scriptMutex;  // one script at a time; guards what follows
  std::map<WindowId, Window> windows;
  std::map<QString, WindowId> ids;  // KWin's id → ours
  std::vector<WindowId> order;      // topmost first, as the last report had them
  WindowId nextId = 1;
  // The guard of the typing under way (kGuard): its script's name, the token of its report
  // that the activation changed (the guards that renew it share it) and when it was armed
  // (before KWin ran it: the guard is younger).
  QString guard, guardChange;
  std::chrono::steady_clock::time_point guardArmed;
  std::chrono::steady_clock::time_point lastKey;  // when the last key went

  static const wl_registry_listener kRegistryListener;

  QDBusMessage Call(const QString& path, const QString& method, const QVariantList& args,
                    const QString& interface = QStringLiteral("org.kde.kwin.Scripting")) {
    auto message = QDBusMessage::createMethodCall(kKWin, path, interface, method);
    message.setArguments(args);
    return bus->call(message, QDBus::Block, kScriptTimeoutMs);
  }

  void Unload(const QString& name) {
    Call(QStringLiteral("/Scripting"), QStringLiteral("unloadScript"), {name});
  }

  // Once KWin has answered a call, the reports it sent before the answer are taken: they
  // came to the receiver's thread in order, before the answer came to this one.
  void TakeReportsBefore() {
    QMetaObject::invokeMethod(
        receiver, [] {}, Qt::BlockingQueuedConnection);
  }

  // Gives KWin the script text (its arguments: %1 this connection's name, %2 KWin's id of
  // target's window, %3 the script's name, %4 the token of its report, then extra), runs it
  // and takes its report. The script stays loaded when kept is given (its name there),
  // else it is unloaded. Nothing when KWin did not run it or it did not report. Under
  // scriptMutex.
  std::optional<QString> Execute(const char* text, WindowId target, const QStringList& extra,
                                 QString* kept = nullptr) {
    if (!bus || !kwin) return std::nullopt;
    const auto found = windows.find(target);
    const QString name = QStringLiteral("norvax-%1-%2").arg(getpid()).arg(NewToken());
    const QString token = receiver->Await();
    const QString script =
        Filled(text, QStringList{Quoted(bus->baseService()),
                                 Quoted(found != windows.end() ? found->second.kwinId : QString()),
                                 Quoted(name), Quoted(token)} +
                         extra);
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/norvax-kwin-XXXXXX.js"));
    const bool written = file.open() && file.write(script.toUtf8()) >= 0 && file.flush();
    const QDBusMessage loaded = written
                                    ? Call(QStringLiteral("/Scripting"),
                                           QStringLiteral("loadScript"), {file.fileName(), name})
                                    : QDBusMessage();
    const int id = loaded.arguments().value(0, -1).toInt();
    if (loaded.type() != QDBusMessage::ReplyMessage || id < 0) {
      receiver->Forget(token);
      return std::nullopt;
    }
    // KWin 6 and KWin 5 name the script's object differently.
    const QString object = QStringLiteral("org.kde.kwin.Script");
    if (Call(QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("run"), {}, object)
            .type() != QDBusMessage::ReplyMessage)
      Call(QStringLiteral("/%1").arg(id), QStringLiteral("run"), {}, object);
    auto report = receiver->Take(token, std::chrono::milliseconds(kScriptTimeoutMs));
    if (kept && report) {
      *kept = name;
    } else {
      Unload(name);
    }
    return report;
  }

  // Runs the query script with action on target's window and takes its report. False when
  // KWin did not run it or did not report.
  bool Run(WindowId target, const char* action) {
    std::lock_guard lock(scriptMutex);
    const auto report = Execute(kScript, target, {QString::fromLatin1(action)});
    if (!report) return false;
    windows.clear();
    std::map<QString, WindowId> seen;
    order.clear();
    for (const QJsonValue& entry : QJsonDocument::fromJson(report->toUtf8()).array()) {
      const QJsonObject o = entry.toObject();
      const QString kwinId = o.value(QLatin1String("id")).toString();
      auto known = ids.find(kwinId);
      const WindowId window = known != ids.end() ? known->second : nextId++;
      seen[kwinId] = window;
      order.push_back(window);
      windows[window] = {
          kwinId, Cp932ForDisplay(o.value(QLatin1String("caption")).toString().toStdString()),
          Cp932ForDisplay(o.value(QLatin1String("cls")).toString().toStdString()),
          static_cast<std::uint32_t>(o.value(QLatin1String("pid")).toInt()),
          o.value(QLatin1String("active")).toBool()};
    }
    ids = std::move(seen);
    return true;
  }

  WindowId Active() {
    std::lock_guard lock(scriptMutex);
    for (const auto& [id, w] : windows) {
      if (w.active) return id;
    }
    return 0;
  }

  // Starts the guard of a typing into target, or a fresh one in place of the one that runs.
  // False when it does not run or target was not the active window as it started. Disarm
  // follows either way.
  bool Arm(WindowId target) {
    std::lock_guard lock(scriptMutex);
    const bool renew = !guard.isEmpty();
    if (renew) Unload(guard);
    guard.clear();
    if (!renew) guardChange = receiver->Await();
    guardArmed = std::chrono::steady_clock::now();
    return Execute(kGuard, target,
                   {Quoted(guardChange), QString::number(kGuardLifetimeMs),
                    QString::number(kGuardPollMs)},
                   &guard) == QStringLiteral("active");
  }

  bool GuardYoung() {
    std::lock_guard lock(scriptMutex);
    return std::chrono::steady_clock::now() - guardArmed <
           std::chrono::milliseconds(kGuardLifetimeMs / 2);
  }

  // After a round trip that confirms the keys sent before and one to KWin that brings the
  // reports of the guard sent before: the guard still runs and the activation has not
  // changed since it started (target active, nothing took it).
  bool Undisturbed() {
    {
      std::unique_lock lock(mutex);
      if (!RoundTrip(lock)) return false;
    }
    std::lock_guard lock(scriptMutex);
    const QDBusMessage loaded =
        Call(QStringLiteral("/Scripting"), QStringLiteral("isScriptLoaded"), {guard});
    TakeReportsBefore();
    return loaded.type() == QDBusMessage::ReplyMessage && loaded.arguments().value(0).toBool() &&
           !receiver->Peek(guardChange);
  }

  // Before a key, kKeyInterval after the last: Undisturbed, with a guard younger than half
  // its lifetime after the check, however long KWin took for it, so that it still runs when
  // KWin reads the key; an older guard is renewed first. False when the key must not go.
  bool Ready(WindowId target) {
    std::this_thread::sleep_until(lastKey + kKeyInterval);
    for (int check = 0; check < 2; ++check) {
      if (!GuardYoung() && !Arm(target)) return false;
      if (!Undisturbed()) return false;
      if (GuardYoung()) return true;
    }
    return false;
  }

  // Ends the guard; the window that took the activation meanwhile, if any, is given it.
  void Disarm() {
    QString taker;
    {
      std::lock_guard lock(scriptMutex);
      if (guardChange.isEmpty()) return;
      if (!guard.isEmpty()) Unload(guard);
      guard.clear();
      TakeReportsBefore();
      taker = receiver->Peek(guardChange).value_or(QString());
      receiver->Forget(guardChange);
      guardChange.clear();
    }
    if (taker.isEmpty() || !Run(0, "")) return;
    WindowId window = 0;
    {
      std::lock_guard lock(scriptMutex);
      if (auto found = ids.find(taker); found != ids.end()) window = found->second;
    }
    if (window) Run(window, kActivate);
  }

  void Press(TypingKeymaps::Stroke stroke) {
    std::lock_guard lock(mutex);
    if (!fakeInput || stroke.keycode == 0) return;
    const std::uint32_t key = stroke.keycode - 8;  // evdev code
    if (stroke.shift) org_kde_kwin_fake_input_keyboard_key(fakeInput, kLeftShift, 1);
    org_kde_kwin_fake_input_keyboard_key(fakeInput, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    org_kde_kwin_fake_input_keyboard_key(fakeInput, key, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (stroke.shift) org_kde_kwin_fake_input_keyboard_key(fakeInput, kLeftShift, 0);
    Flush();
    lastKey = std::chrono::steady_clock::now();
  }

  std::optional<TypingKeymaps::Stroke> StrokeFor(std::uint32_t keysym) {
    std::lock_guard lock(mutex);
    ApplyUserLayout();
    return keymaps.UserStroke(keysym);
  }

  void Close() {
    StopReader();
    if (fakeInput) org_kde_kwin_fake_input_destroy(fakeInput);
    Disconnect();
    if (bus) {
      // The connection stays open until the program ends, when Qt closes it: its last
      // reference, given up while Qt's bus thread still handles its traffic, has that thread
      // crash at times.
      bus->unregisterObject(kReportPath);
      bus.reset();
    }
    receiverThread.quit();
    receiverThread.wait();
    delete receiver;
  }
};

const wl_registry_listener KWinWindowSystem::Impl::kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t version) {
          auto& i = *static_cast<Impl*>(data);
          i.OfferSeat(name, interface, version);
          if (std::string_view(interface) == org_kde_kwin_fake_input_interface.name &&
              !i.fakeInput && version >= kFakeInputVersion) {
            i.fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry, name, &org_kde_kwin_fake_input_interface, kFakeInputVersion));
          }
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

KWinWindowSystem::KWinWindowSystem(const char* displayName) : impl_(std::make_unique<Impl>()) {
  auto& i = *impl_;
  static std::atomic<int> connections{0};
  const QString busName = QStringLiteral("norvax-kwin-%1").arg(++connections);
  // The address as it is now (libdbus keeps the first it read for its own session bus).
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  i.bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, busName)
                            : QDBusConnection::connectToBus(address, busName);
  const QString kwinOwner =
      i.bus->isConnected() ? i.bus->interface()->serviceOwner(kKWin).value() : QString();
  i.receiver = new ReportReceiver(kwinOwner);
  i.receiver->moveToThread(&i.receiverThread);
  i.receiverThread.start();
  i.kwin = !kwinOwner.isEmpty() && i.bus->registerVirtualObject(kReportPath, i.receiver);
  // The globals; then the seat's capabilities; then the keymap of the seat's keyboard.
  bool connected = i.kwin && i.Connect(displayName, &Impl::kRegistryListener, &i);
  std::unique_lock lock(i.mutex);
  connected = connected && i.RoundTrip(lock, Impl::kConnectTimeoutMs) && i.seat &&
              i.RoundTrip(lock, Impl::kConnectTimeoutMs) &&
              i.RoundTrip(lock, Impl::kConnectTimeoutMs);
  if (connected && i.fakeInput) {
    org_kde_kwin_fake_input_authenticate(i.fakeInput, "NORVAX",
                                         "ダイヤルアップのログインに ID とパスワードを入力します");
    // The device KWin made for this connection has taken the authentication before the
    // first key.
    connected = i.RoundTrip(lock, Impl::kConnectTimeoutMs);
  }
  if (!connected) i.broken = true;
}

KWinWindowSystem::~KWinWindowSystem() { impl_->Close(); }

bool KWinWindowSystem::Available() const { return impl_->kwin && impl_->Usable(); }

std::vector<WindowId> KWinWindowSystem::TopLevelWindows() {
  if (!impl_->Run(0, "")) return {};
  std::lock_guard lock(impl_->scriptMutex);
  return impl_->order;
}

std::string KWinWindowSystem::Caption(WindowId window) {
  std::lock_guard lock(impl_->scriptMutex);
  const auto found = impl_->windows.find(window);
  return found != impl_->windows.end() ? found->second.caption : std::string();
}

std::string KWinWindowSystem::ClassName(WindowId window) {
  std::lock_guard lock(impl_->scriptMutex);
  const auto found = impl_->windows.find(window);
  return found != impl_->windows.end() ? found->second.className : std::string();
}

std::uint32_t KWinWindowSystem::ProcessId(WindowId window) {
  std::lock_guard lock(impl_->scriptMutex);
  const auto found = impl_->windows.find(window);
  return found != impl_->windows.end() ? found->second.pid : 0;
}

bool KWinWindowSystem::Exists(WindowId window) {
  if (!impl_->Run(0, "")) return false;
  std::lock_guard lock(impl_->scriptMutex);
  return impl_->windows.count(window) > 0;
}

WindowId KWinWindowSystem::Foreground() { return impl_->Run(0, "") ? impl_->Active() : 0; }

bool KWinWindowSystem::SetForeground(WindowId window) {
  return Exists(window) && impl_->Run(window, kActivate);
}

std::size_t KWinWindowSystem::TypeText(WindowId target, std::string_view text) {
  auto& i = *impl_;
  std::size_t typed = 0;
  if (!i.fakeInput) return 0;
  if (i.Arm(target)) {
    for (const TypedCharacter& c : TypedCharacters(text)) {
      std::optional<TypingKeymaps::Stroke> stroke;
      if (c.keysym != 0 && !(stroke = i.StrokeFor(c.keysym))) break;
      if (!i.Ready(target)) break;
      if (stroke) i.Press(*stroke);
      typed += c.bytes;
    }
    std::unique_lock lock(i.mutex);
    i.RoundTrip(lock);  // the last key reaches KWin before the caller goes on
  }
  i.Disarm();
  return typed;
}

std::string KWinWindowSystem::UntypableText(std::string_view text) {
  std::string out;
  std::set<std::string_view> seen;
  std::size_t at = 0;
  for (const TypedCharacter& c : TypedCharacters(text)) {
    const auto character = text.substr(at, c.bytes);
    at += c.bytes;
    if (c.keysym != 0 && !impl_->StrokeFor(c.keysym) && seen.insert(character).second)
      out += character;
  }
  return out;
}

std::string KWinWindowSystem::CannotTypeReason() {
  if (impl_->fakeInput) return {};
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  return Sjis("NORVAX  KWinがこのﾌﾟﾛｸﾞﾗﾑにｷｰ入力を許していないため、入力しませんでした。(") +
         Cp932ForDisplay(program) +
         Sjis(
             " を Exec に持ち、X-KDE-Wayland-Interfaces に org_kde_kwin_fake_input を挙げる "
             ".desktop ﾌｧｲﾙがありません)");
}

bool KWinWindowSystem::PressKey(WindowId target, Key key) {
  auto& i = *impl_;
  const bool enter = key == Key::Enter;
  const auto stroke = i.StrokeFor(enter ? XKB_KEY_Return : XKB_KEY_Tab)
                          .value_or(TypingKeymaps::Stroke{(enter ? kEnter : kTab) + 8, false});
  if (!i.fakeInput) return false;
  const bool pressed = i.Arm(target) && i.Ready(target);
  if (pressed) i.Press(stroke);
  {
    std::unique_lock lock(i.mutex);
    i.RoundTrip(lock);
  }
  i.Disarm();
  return pressed;
}

void KWinWindowSystem::BeginTyping() {
  if (Available()) impl_->BeginDirectInput();
}

void KWinWindowSystem::EndTyping() { impl_->EndDirectInput(); }

void KWinWindowSystem::Minimise(WindowId window) { impl_->Run(window, "target.minimized = true;"); }

void KWinWindowSystem::Maximise(WindowId window) {
  impl_->Run(window, "target.setMaximize(true, true);");
}

}  // namespace norvax
