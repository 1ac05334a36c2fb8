#include "platform/nm/nm_remote_access.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "dialup/ras_messages.h"
#include "platform/cp932.h"
#include "platform/nm/nm_reasons.h"

namespace norvax {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettingsIface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kConnectionIface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActiveIface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kAgentManagerPath = QStringLiteral("/org/freedesktop/NetworkManager/AgentManager");
const QString kAgentManagerIface = QStringLiteral("org.freedesktop.NetworkManager.AgentManager");
const QString kAgentPath = QStringLiteral("/org/freedesktop/NetworkManager/SecretAgent");
const QString kAgentIface = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent");
const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");

// The handle of a connection that cannot be found (any more).
constexpr int kInvalidHandle = 6;
// FindConnection: the open connections cannot be listed.
constexpr int kCannotList = 9;

// Device states (NMDeviceState) and active-connection states (NMActiveConnectionState).
constexpr unsigned kDeviceDisconnected = 30;
constexpr unsigned kDevicePrepare = 40;
constexpr unsigned kDeviceConfig = 50;
constexpr unsigned kDeviceNeedAuth = 60;
constexpr unsigned kDeviceIpConfig = 70;
constexpr unsigned kDeviceFailed = 120;
constexpr unsigned kActiveActivating = 1;
constexpr unsigned kActiveActivated = 2;
constexpr unsigned kActiveDeactivated = 4;
// The active-connection reason (NMActiveConnectionStateReason) of an activation whose device
// went: the device's own reason says why. NetworkManager may signal the device's next state
// just after the end of the activation, which waits for it at most that long.
constexpr unsigned kActiveReasonDeviceDisconnected = 3;
constexpr int kDeviceReasonWaitMs = 3000;

// Progress states of the dial notifications.
constexpr int kConnectDeviceState = 2;
constexpr int kAllDevicesConnectedState = 4;
constexpr int kAuthNotifyState = 6;
constexpr int kStartAuthenticationState = 19;

// The secret agent's request flag: the secrets given last time were not accepted.
constexpr unsigned kRequestNew = 0x2;

using ConnectionSettings = QMap<QString, QVariantMap>;

// The connection types a user launches: a line or a tunnel to the provider. Loopback and
// the parts of other connections (bridge, bond and VLAN ports, tunnels of the system) are
// nobody's dial-up entry.
bool Dialable(const ConnectionSettings& settings) {
  static const QSet<QString> kTypes = {
      QStringLiteral("pppoe"),          QStringLiteral("gsm"),
      QStringLiteral("cdma"),           QStringLiteral("bluetooth"),
      QStringLiteral("adsl"),           QStringLiteral("vpn"),
      QStringLiteral("wireguard"),      QStringLiteral("802-3-ethernet"),
      QStringLiteral("802-11-wireless")};
  return kTypes.contains(settings.value("connection").value("type").toString());
}
using StringMap = QMap<QString, QString>;

// The progress state a device state stands for; 0 for none.
int ProgressOf(unsigned deviceState) {
  switch (deviceState) {
    case kDevicePrepare:
      return kConnectDeviceState;
    case kDeviceConfig:
      return kAllDevicesConnectedState;
    case kDeviceNeedAuth:
      return kAuthNotifyState;
    case kDeviceIpConfig:
      return kStartAuthenticationState;
    default:
      return 0;
  }
}

// The service's text for an error code: the adapter's own, else the message table's.
std::optional<std::string> ErrorTextOf(int code) {
  if (auto own = nm::ErrorText(code)) return own;
  std::string text = RasErrorText(code);
  if (text.empty()) return std::nullopt;
  return text;
}

struct Credentials {
  QString user;
  QString password;
};

// Answers the service's requests for the secrets of the connection being dialled with the
// entry's user name and password; refuses all others, so that the service uses its own.
// Requests may arrive on a thread of the D-Bus library.
class SecretAgent : public QDBusVirtualObject {
 public:
  using QDBusVirtualObject::QDBusVirtualObject;

  void Arm(const QString& connectionPath, Credentials credentials) {
    std::lock_guard lock(mutex_);
    armed_[connectionPath] = std::move(credentials);
  }
  void Disarm(const QString& connectionPath) {
    std::lock_guard lock(mutex_);
    armed_.erase(connectionPath);
  }

  // NetworkManager's unique bus name: the only sender the agent answers.
  void SetServiceOwner(const QString& owner) {
    std::lock_guard lock(mutex_);
    owner_ = owner;
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != kAgentIface) return false;
    {
      std::lock_guard lock(mutex_);
      if (owner_.isEmpty() || message.service() != owner_) {
        connection.send(message.createErrorReply(kAgentIface + ".PermissionDenied",
                                                 "only NetworkManager may ask"));
        return true;
      }
    }
    if (message.member() != QLatin1String("GetSecrets")) {
      // Nothing is stored or asked of the user, so there is nothing to save or cancel.
      connection.send(message.createReply());
      return true;
    }
    const QList<QVariant> args = message.arguments();
    if (args.size() != 5) return false;
    const QString path = qdbus_cast<QDBusObjectPath>(args[1]).path();
    const QString setting = args[2].toString();
    const unsigned flags = args[4].toUInt();
    std::optional<Credentials> credentials;
    {
      std::lock_guard lock(mutex_);
      if (auto it = armed_.find(path); it != armed_.end()) credentials = it->second;
    }
    if (!credentials) {
      connection.send(message.createErrorReply(kAgentIface + ".NoSecrets", "not this agent's"));
      return true;
    }
    if ((flags & kRequestNew) != 0) {
      // The entry's secrets were refused: asking again would give the same ones.
      connection.send(message.createErrorReply(kAgentIface + ".UserCanceled", "refused"));
      return true;
    }
    const auto settings = qdbus_cast<ConnectionSettings>(args[0]);
    ConnectionSettings reply;
    if (setting == QLatin1String("vpn")) {
      const QString service = settings.value(setting).value("service-type").toString();
      const QString key = service.endsWith(QLatin1String(".vpnc"))
                              ? QStringLiteral("Xauth password")
                              : QStringLiteral("password");
      reply[setting]["secrets"] = QVariant::fromValue(StringMap{{key, credentials->password}});
    } else {
      if (!credentials->user.isEmpty()) reply[setting]["username"] = credentials->user;
      reply[setting]["password"] = credentials->password;
    }
    connection.send(message.createReply(QVariant::fromValue(reply)));
    return true;
  }

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.NetworkManager.SecretAgent\">"
        "<method name=\"GetSecrets\"><arg name=\"connection\" type=\"a{sa{sv}}\" direction=\"in\"/>"
        "<arg name=\"connection_path\" type=\"o\" direction=\"in\"/>"
        "<arg name=\"setting_name\" type=\"s\" direction=\"in\"/>"
        "<arg name=\"hints\" type=\"as\" direction=\"in\"/>"
        "<arg name=\"flags\" type=\"u\" direction=\"in\"/>"
        "<arg name=\"secrets\" type=\"a{sa{sv}}\" direction=\"out\"/></method>"
        "<method name=\"CancelGetSecrets\"><arg name=\"connection_path\" type=\"o\" "
        "direction=\"in\"/><arg name=\"setting_name\" type=\"s\" direction=\"in\"/></method>"
        "<method name=\"SaveSecrets\"><arg name=\"connection\" type=\"a{sa{sv}}\" "
        "direction=\"in\"/><arg name=\"connection_path\" type=\"o\" direction=\"in\"/></method>"
        "<method name=\"DeleteSecrets\"><arg name=\"connection\" type=\"a{sa{sv}}\" "
        "direction=\"in\"/><arg name=\"connection_path\" type=\"o\" direction=\"in\"/></method>"
        "</interface>");
  }

 private:
  std::mutex mutex_;
  std::map<QString, Credentials> armed_;
  QString owner_;
};

// The kernel's identifier of this boot of the machine; empty when it cannot be read.
std::string BootId() {
  std::ifstream file("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(file, id);
  return id;
}

// The agent's identifier: NetworkManager takes one agent of an identifier per user, so every
// adapter of every running copy has one of its own.
QString AgentIdentifier() {
  static std::atomic<unsigned> adapters{0};
  return QStringLiteral("norvax.dialler.%1.%2")
      .arg(QCoreApplication::applicationPid())
      .arg(++adapters);
}

}  // namespace

// Lives on the adapter's thread, where the service's signals and the answers of its calls
// arrive. What the service said last (the saved connections, the active ones, the dials
// under way) is kept under a lock, so that the port's questions are answered on any thread
// without waiting for the bus.
class NmRemoteAccess::Worker : public QObject {
  Q_OBJECT

 public:
  Worker(QString address, std::chrono::milliseconds timeout)
      : address_(std::move(address)), timeoutMs_(static_cast<int>(timeout.count())) {}

  void Start() {
    qDBusRegisterMetaType<ConnectionSettings>();
    qDBusRegisterMetaType<StringMap>();
    static std::atomic<int> connections{0};
    bus_ =
        QDBusConnection::connectToBus(address_, QStringLiteral("norvax-nm-%1").arg(++connections));
    // Every connection's and device's state changes, so that none of a new activation's is
    // missed between the request and its answer.
    bus_.connect(kService, QString(), kActiveIface, QStringLiteral("StateChanged"), this,
                 SLOT(ActiveStateChanged(QDBusMessage)));
    bus_.connect(kService, QString(), kDeviceIface, QStringLiteral("StateChanged"), this,
                 SLOT(DeviceStateChanged(QDBusMessage)));
    bus_.connect(kService, kManagerPath, kPropertiesIface, QStringLiteral("PropertiesChanged"),
                 this, SLOT(ManagerChanged(QDBusMessage)));
    for (const char* change : {"NewConnection", "ConnectionRemoved"}) {
      bus_.connect(kService, kSettingsPath, kSettingsIface, QString::fromLatin1(change), this,
                   SLOT(ReadPhonebook()));
    }
    bus_.connect(kService, QString(), kConnectionIface, QStringLiteral("Updated"), this,
                 SLOT(ReadPhonebook()));
    watcher_ =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { OwnerChanged(owner); });
    // The bus itself answers this, whatever state the service is in.
    OwnerChanged(bus_.interface()->serviceOwner(kService).value());
    bus_.registerVirtualObject(kAgentPath, agent_);
  }

  // The connection itself stays open until the program ends, when Qt closes it: the last
  // reference to a connection, given up while Qt's bus thread still handles its traffic,
  // has that thread crash at times. So the agent is taken back from NetworkManager here.
  void Stop() {
    delete watcher_;
    watcher_ = nullptr;
    bus_.unregisterObject(kAgentPath);
    if (agentRegistered_) Call(kAgentManagerPath, kAgentManagerIface, "Unregister");
    {
      std::lock_guard lock(mutex_);
      dials_.clear();
    }
    bus_ = QDBusConnection(QString());
  }

  bool OnBus() {
    std::lock_guard lock(mutex_);
    return !owner_.isEmpty();
  }

  std::vector<std::string> ConnectionNames() {
    std::lock_guard lock(mutex_);
    std::set<std::string> names;
    for (const Saved& saved : book_.saved) names.insert(saved.name);
    return {names.begin(), names.end()};
  }

  std::optional<std::string> PhonebookProblem() {
    std::lock_guard lock(mutex_);
    if (!book_.read) return nm::ErrorText(nm::error::kPhonebookReading);
    if (!book_.answered) return nm::ErrorText(nm::error::kServiceGone);
    return std::nullopt;
  }

  std::optional<std::string> WaitForPhonebook() {
    std::unique_lock lock(mutex_);
    read_.wait_for(lock, std::chrono::milliseconds(timeoutMs_) * 2, [this] { return book_.read; });
    lock.unlock();
    return PhonebookProblem();
  }

  std::optional<std::string> PhoneNumber(const std::string& name) {
    std::lock_guard lock(mutex_);
    const Saved* saved = FindSaved(name);
    if (saved == nullptr) return std::nullopt;
    return saved->number;
  }

  // Answers from what the service said last: while the active connections are being read
  // (at the program's start, just after a connection came up, or from a service that does
  // not answer), one not found yet may be among them, and they cannot be listed.
  int Find(const std::string& name, ConnectionHandle& handle) {
    std::lock_guard lock(mutex_);
    for (const auto& [path, active] : active_) {
      if (!active.ending && active.name == name) {
        handle = HandleFor(path);
        return 0;
      }
    }
    return activeRead_ && activeReading_ == 0 ? 0 : kCannotList;
  }

  void WaitForActive() {
    std::unique_lock lock(mutex_);
    read_.wait_for(lock, std::chrono::milliseconds(timeoutMs_) * 2,
                   [this] { return activeReading_ == 0; });
  }

  // The service's path of the active connection names it while the service runs; its
  // owner's unique name tells a restarted service apart, and the boot a restarted machine.
  std::string ActivationOf(ConnectionHandle handle) {
    static const std::string boot = BootId();
    std::lock_guard lock(mutex_);
    auto path = handles_.find(handle);
    if (path == handles_.end() || boot.empty()) return {};
    auto active = active_.find(path->second);
    if (active == active_.end() || active->second.ending) return {};
    return boot + " " + owner_.toStdString() + " " + path->second.toStdString();
  }

  int State(ConnectionHandle handle, int& state) {
    if (handle == 0) return 1;
    std::lock_guard lock(mutex_);
    if (auto it = dials_.find(handle); it != dials_.end() && !it->second.connected) {
      state = it->second.lastState;
      return 0;
    }
    auto path = handles_.find(handle);
    if (path == handles_.end()) return kInvalidHandle;
    auto active = active_.find(path->second);
    if (active == active_.end() || active->second.ending) return kInvalidHandle;
    switch (active->second.state) {
      case kActiveActivated:
        state = kConnectedState;
        return 0;
      case kActiveActivating:
        state = 0;
        return 0;
      default:
        return kInvalidHandle;
    }
  }

  // Asks the service to end the connection without waiting for its answer.
  bool HangUp(ConnectionHandle handle) {
    QString path;
    {
      std::lock_guard lock(mutex_);
      if (auto dial = dials_.find(handle); dial != dials_.end()) {
        agent_->Disarm(dial->second.connectionPath);
        dials_.erase(dial);
      }
      auto it = handles_.find(handle);
      if (it == handles_.end()) return false;
      path = it->second;
      handles_.erase(it);
      auto active = active_.find(path);
      if (active == active_.end() || active->second.ending) return false;
      // Gone for the program from now on, though the service may take a moment.
      active->second.ending = true;
    }
    auto message = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerIface,
                                                  QStringLiteral("DeactivateConnection"));
    message.setArguments({QVariant::fromValue(QDBusObjectPath(path))});
    return bus_.send(message);
  }

  // Runs on the adapter's thread (the caller waits for it, not the windows).
  int Dial(const std::string& name, const std::string& user, const std::string& password,
           DialNotifier notifier, ConnectionHandle& handle, std::string& errorText) {
    const auto refuse = [&](int code) {
      errorText = ErrorTextOf(code).value_or(std::string());
      return 1;
    };
    QString connectionPath;
    {
      std::lock_guard lock(mutex_);
      if (owner_.isEmpty() || !book_.answered) return refuse(nm::error::kServiceGone);
      const Saved* saved = FindSaved(name);
      if (saved == nullptr) return refuse(kUnknownEntryError);
      connectionPath = saved->path;
    }
    if (!user.empty() || !password.empty()) {
      if (!RegisterAgent()) return refuse(nm::error::kAgentRefused);
      agent_->Arm(connectionPath, {QString::fromStdString(Cp932ToUtf8(user)),
                                   QString::fromStdString(Cp932ToUtf8(password))});
    }
    const QDBusMessage reply = Call(
        kManagerPath, kManagerIface, "ActivateConnection",
        {QVariant::fromValue(QDBusObjectPath(connectionPath)),
         QVariant::fromValue(QDBusObjectPath("/")), QVariant::fromValue(QDBusObjectPath("/"))});
    QString activePath;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      activePath = qdbus_cast<QDBusObjectPath>(reply.arguments()[0]).path();
    } else if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
      // The service may still be activating it (a question to the user that was answered
      // late): follow it as this dial's, never leave it up unseen.
      activePath = ActivationOf(connectionPath);
      if (activePath.isEmpty()) {
        std::lock_guard lock(mutex_);
        abandoned_.insert(connectionPath);
      }
    }
    if (activePath.isEmpty()) {
      agent_->Disarm(connectionPath);
      return refuse(nm::RequestFailure(reply.errorName().toStdString()));
    }
    const bool vpn = Value(Property(activePath, kActiveIface, "Vpn")).toBool();
    QSet<QString> devices;
    for (const QDBusObjectPath& device :
         qdbus_cast<QList<QDBusObjectPath>>(Value(Property(activePath, kActiveIface, "Devices")))) {
      if (!vpn) devices.insert(device.path());
    }
    const unsigned state = Value(Property(activePath, kActiveIface, "State")).toUInt();
    std::lock_guard lock(mutex_);
    Active& active = active_[activePath];
    active.name = name;
    active.connection = connectionPath;
    active.state = state;
    active.read = true;
    handle = HandleFor(activePath);
    ActiveDial& dial = dials_[handle];
    dial = ActiveDial{};
    dial.activePath = activePath;
    dial.connectionPath = connectionPath;
    dial.notifier = std::move(notifier);
    dial.devices = std::move(devices);
    dial.adoptDevice = !vpn && dial.devices.isEmpty();
    // The state signals since the request wait on this thread: none is missed.
    return 0;
  }

 private slots:
  void ActiveStateChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2) return;
    const unsigned state = args[0].toUInt();
    std::lock_guard lock(mutex_);
    if (auto it = active_.find(message.path()); it != active_.end()) {
      it->second.state = state;
      it->second.read = true;
    }
    Track(message.path(), state, args[1].toUInt());
    if (state == kActiveDeactivated) active_.erase(message.path());
  }

  void DeviceStateChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 3) return;
    const unsigned state = args[0].toUInt();
    const unsigned reason = args[2].toUInt();
    std::lock_guard lock(mutex_);
    for (auto& [handle, dial] : dials_) {
      if (dial.adoptDevice && state >= kDevicePrepare && state <= kDeviceFailed) {
        dial.devices.insert(message.path());
        dial.adoptDevice = false;
      }
      if (dial.finished || !dial.devices.contains(message.path())) continue;
      if (state == kDeviceFailed) {
        dial.deviceReason = reason;
        Finish(dial, dial.lastState, nm::DeviceFailure(reason));
      } else if (dial.endedWithDevice) {
        // A device that is down without failing says why too.
        if (state <= kDeviceDisconnected)
          Finish(dial, dial.lastState, nm::ActiveFailure(kActiveReasonDeviceDisconnected, reason));
      } else if (int progress = ProgressOf(state); progress != 0) {
        Deliver(dial, progress, 0);
      }
    }
  }

  void ManagerChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || args[0].toString() != kManagerIface) return;
    const auto changed = qdbus_cast<QVariantMap>(args[1]);
    if (auto list = changed.find(QStringLiteral("ActiveConnections")); list != changed.end()) {
      std::lock_guard lock(mutex_);
      AddActive(qdbus_cast<QList<QDBusObjectPath>>(*list), true);
    }
  }

  // Reads the saved connections and their settings in the background; the last reading
  // stands until this one has ended.
  void ReadPhonebook() {
    const unsigned reading = ++phonebookReading_;
    Ask(kSettingsPath, kSettingsIface, "ListConnections", {}, [this, reading](QDBusMessage list) {
      if (reading != phonebookReading_) return;
      if (list.type() != QDBusMessage::ReplyMessage || list.arguments().isEmpty()) {
        return PublishPhonebook({}, false);
      }
      const auto paths = qdbus_cast<QList<QDBusObjectPath>>(list.arguments()[0]);
      auto pending = std::make_shared<std::pair<std::vector<Saved>, qsizetype>>();
      pending->second = paths.size();
      if (paths.isEmpty()) return PublishPhonebook({}, true);
      for (const QDBusObjectPath& path : paths) {
        Ask(path.path(), kConnectionIface, "GetSettings", {},
            [this, reading, pending, path = path.path()](QDBusMessage reply) {
              if (reading != phonebookReading_) return;
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                // A connection removed meanwhile is no answer missing; one not answered is.
                if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
                  ++phonebookReading_;
                  return PublishPhonebook({}, false);
                }
              } else if (auto saved = SavedOf(path, reply)) {
                pending->first.push_back(std::move(*saved));
              }
              if (--pending->second == 0) PublishPhonebook(std::move(pending->first), true);
            });
      }
    });
  }

 private:
  struct Saved {
    QString path;
    std::string name;    // CP932
    std::string number;  // CP932; empty when it has none
  };
  struct Phonebook {
    bool read = false;      // a reading has ended
    bool answered = false;  // and the service answered it
    std::vector<Saved> saved;
  };
  struct Active {
    std::string name;  // CP932; empty until read
    QString connection;
    unsigned state = kActiveActivating;
    bool read = false;    // state holds what the service said
    bool ending = false;  // hung up
  };
  struct ActiveDial {
    QString activePath;
    QString connectionPath;
    QSet<QString> devices;
    DialNotifier notifier;
    int lastState = 0;
    unsigned deviceReason = 0;
    bool endedWithDevice = false;  // the activation ended as its device went, before it said why
    // No devices could be read: the activation was gone, or had ended and let its device go,
    // before they were read. The first device that works on an activation afterwards is the
    // dial's (its signals since the request come after).
    bool adoptDevice = false;
    bool connected = false;
    bool finished = false;
  };

  QDBusMessage Call(const QString& path, const QString& iface, const QString& method,
                    const QList<QVariant>& args = {}) {
    auto message = QDBusMessage::createMethodCall(kService, path, iface, method);
    message.setArguments(args);
    return bus_.call(message, QDBus::Block, timeoutMs_);
  }
  QDBusMessage Property(const QString& path, const QString& iface, const char* name) {
    return Call(path, kPropertiesIface, QStringLiteral("Get"), {iface, QString(name)});
  }
  static QVariant Value(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return qdbus_cast<QDBusVariant>(reply.arguments()[0]).variant();
  }

  // Calls without waiting; answered runs on this thread with the answer or the error.
  template <class Answered>
  void Ask(const QString& path, const QString& iface, const char* method,
           const QList<QVariant>& args, Answered answered) {
    auto message = QDBusMessage::createMethodCall(kService, path, iface, QString(method));
    message.setArguments(args);
    auto* watch = new QDBusPendingCallWatcher(bus_.asyncCall(message, timeoutMs_), this);
    connect(watch, &QDBusPendingCallWatcher::finished, this,
            [watch, answered = std::move(answered)]() mutable {
              watch->deleteLater();
              answered(watch->reply());
            });
  }

  static std::optional<Saved> SavedOf(const QString& path, const QDBusMessage& reply) {
    const auto settings = qdbus_cast<ConnectionSettings>(reply.arguments()[0]);
    if (!Dialable(settings)) return std::nullopt;
    auto name = Utf8ToCp932(settings.value("connection").value("id").toString().toStdString());
    if (!name) return std::nullopt;
    std::string number;
    for (const char* setting : {"gsm", "cdma"}) {
      const QString text = settings.value(setting).value("number").toString();
      if (!text.isEmpty()) number = Utf8ToCp932(text.toStdString()).value_or("");
    }
    return Saved{path, std::move(*name), std::move(number)};
  }

  void PublishPhonebook(std::vector<Saved> saved, bool answered) {
    {
      std::lock_guard lock(mutex_);
      book_ = Phonebook{true, answered, std::move(saved)};
    }
    read_.notify_all();
  }

  // Reads the active connections.
  void ReadActive() {
    AskActive(kManagerPath, "Get", {kManagerIface, QStringLiteral("ActiveConnections")},
              [this](const QDBusMessage& reply) {
                AddActive(qdbus_cast<QList<QDBusObjectPath>>(Value(reply)), false);
              });
  }

  // The service's active connections: the ones new to the adapter are read; with complete,
  // the ones missing from the list have ended. Needs the lock.
  void AddActive(const QList<QDBusObjectPath>& list, bool complete) {
    QSet<QString> paths;
    for (const QDBusObjectPath& path : list) paths.insert(path.path());
    activeRead_ = true;
    if (complete) {
      std::erase_if(active_, [&](const auto& entry) {
        return !paths.contains(entry.first) && DialOf(entry.first) == nullptr;
      });
    }
    for (const QString& path : paths) {
      if (active_.contains(path)) continue;
      active_[path] = Active{};
      AskActive(path, "GetAll", {kActiveIface}, [this, path](const QDBusMessage& all) {
        auto it = active_.find(path);
        if (it == active_.end()) return;
        const auto values = qdbus_cast<QVariantMap>(all.arguments()[0]);
        Active& active = it->second;
        active.name = Utf8ToCp932(values.value("Id").toString().toStdString()).value_or("");
        active.connection = qdbus_cast<QDBusObjectPath>(values.value("Connection")).path();
        // A state signal that came first is newer.
        if (!active.read) active.state = values.value("State").toUInt();
        active.read = true;
        // An activation whose request was given up: nobody follows it.
        if (abandoned_.erase(active.connection) != 0 && DialOf(path) == nullptr) {
          auto message = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerIface,
                                                        QStringLiteral("DeactivateConnection"));
          message.setArguments({QVariant::fromValue(QDBusObjectPath(path))});
          bus_.send(message);
        }
      });
    }
  }

  // A property call about the active connections, counted while under way; read runs with
  // the lock, on an answer from the service of now.
  template <class Read>
  void AskActive(const QString& path, const char* method, const QList<QVariant>& args, Read read) {
    {
      std::lock_guard lock(mutex_);
      ++activeReading_;
    }
    Ask(path, kPropertiesIface, method, args,
        [this, generation = ownerGeneration_, read = std::move(read)](QDBusMessage reply) {
          {
            std::lock_guard lock(mutex_);
            --activeReading_;
            if (generation == ownerGeneration_ && reply.type() == QDBusMessage::ReplyMessage &&
                !reply.arguments().isEmpty()) {
              read(reply);
            }
          }
          read_.notify_all();
        });
  }

  // The active connection of a saved one, read now (the answer of its activation was lost).
  QString ActivationOf(const QString& connectionPath) {
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(
             Value(Property(kManagerPath, kManagerIface, "ActiveConnections")))) {
      if (qdbus_cast<QDBusObjectPath>(Value(Property(path.path(), kActiveIface, "Connection")))
              .path() == connectionPath) {
        return path.path();
      }
    }
    return {};
  }

  // A new owner of the service's name, or none: what the old one said is void (a path of
  // the old one may name another connection of the new one), and the agent's registration
  // went with it.
  void OwnerChanged(const QString& owner) {
    agent_->SetServiceOwner(owner);
    {
      std::lock_guard lock(mutex_);
      owner_ = owner;
      for (auto& [handle, dial] : dials_) {
        if (!dial.finished) Finish(dial, dial.lastState, nm::error::kServiceGone);
      }
      dials_.clear();
      handles_.clear();
      active_.clear();
      activeRead_ = false;
      ++ownerGeneration_;
      abandoned_.clear();
      agentRegistered_ = false;
    }
    if (owner.isEmpty()) {
      ++phonebookReading_;
      PublishPhonebook({}, false);
    } else {
      ReadPhonebook();
      ReadActive();
    }
  }

  // False when NetworkManager refuses the agent: the entry's user name and password would
  // not reach it.
  bool RegisterAgent() {
    if (!agentRegistered_) {
      agentRegistered_ =
          Call(kAgentManagerPath, kAgentManagerIface, "Register", {agentId_}).type() ==
          QDBusMessage::ReplyMessage;
    }
    return agentRegistered_;
  }

  // The members below need the lock.
  const Saved* FindSaved(const std::string& name) const {
    for (const Saved& saved : book_.saved) {
      if (saved.name == name) return &saved;
    }
    return nullptr;
  }

  ConnectionHandle HandleFor(const QString& activePath) {
    for (const auto& [handle, path] : handles_) {
      if (path == activePath) return handle;
    }
    handles_[++lastHandle_] = activePath;
    return lastHandle_;
  }

  ActiveDial* DialOf(const QString& activePath) {
    for (auto& [handle, dial] : dials_) {
      if (!dial.finished && dial.activePath == activePath) return &dial;
    }
    return nullptr;
  }

  // A dial's activation reached that state (NMActiveConnectionState) for that reason.
  void Track(const QString& activePath, unsigned state, unsigned reason = 0) {
    ActiveDial* dial = DialOf(activePath);
    if (dial == nullptr) return;
    if (state == kActiveActivated) {
      dial->connected = true;
      Finish(*dial, kConnectedState, 0);
    } else if (state == kActiveDeactivated) {
      if (reason == kActiveReasonDeviceDisconnected && dial->deviceReason == 0) {
        dial->endedWithDevice = true;
        QTimer::singleShot(kDeviceReasonWaitMs, this, [this, activePath, reason] {
          std::lock_guard lock(mutex_);
          if (ActiveDial* late = DialOf(activePath))
            Finish(*late, late->lastState, nm::ActiveFailure(reason, 0));
        });
        return;
      }
      Finish(*dial, dial->lastState, nm::ActiveFailure(reason, dial->deviceReason));
    }
  }

  // The notifier hands the notification over without waiting (see the class comment).
  void Deliver(ActiveDial& dial, int state, int errorCode) {
    dial.lastState = state;
    if (dial.notifier) dial.notifier(kDialEventMessage, state, errorCode);
  }

  // The dial's last notification: connected, or failed with errorCode.
  void Finish(ActiveDial& dial, int state, int errorCode) {
    dial.finished = true;
    agent_->Disarm(dial.connectionPath);
    Deliver(dial, state != 0 ? state : kConnectDeviceState, errorCode);
  }

  const QString address_;
  const int timeoutMs_;
  QDBusConnection bus_{QString()};
  QDBusServiceWatcher* watcher_ = nullptr;
  SecretAgent* agent_ = new SecretAgent(this);
  const QString agentId_ = AgentIdentifier();
  bool agentRegistered_ = false;
  unsigned phonebookReading_ = 0;

  std::recursive_mutex mutex_;
  std::condition_variable_any read_;  // a first reading has ended
  QString owner_;
  Phonebook book_;
  std::map<QString, Active> active_;
  bool activeRead_ = false;
  unsigned activeReading_ = 0;                   // calls under way that read the active connections
  unsigned ownerGeneration_ = 0;                 // the owners of the service's name so far
  std::set<QString> abandoned_;                  // saved connections whose activation was given up
  std::map<ConnectionHandle, QString> handles_;  // active connection paths
  std::map<ConnectionHandle, ActiveDial> dials_;
  ConnectionHandle lastHandle_ = 0;
};

std::string NmRemoteAccess::SystemBusAddress() {
  const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return address != nullptr && *address != '\0' ? address
                                                : "unix:path=/var/run/dbus/system_bus_socket";
}

template <class F>
auto NmRemoteAccess::OnWorker(F&& work) {
  if (QThread::currentThread() == thread_.get()) return work();
  using Result = decltype(work());
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(worker_.get(), std::forward<F>(work), Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        worker_.get(), [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

NmRemoteAccess::NmRemoteAccess(const std::string& busAddress, std::chrono::milliseconds timeout)
    : thread_(std::make_unique<QThread>()),
      worker_(std::make_unique<Worker>(QString::fromStdString(busAddress), timeout)) {
  thread_->setObjectName(QStringLiteral("NetworkManager"));
  worker_->moveToThread(thread_.get());
  thread_->start();
  OnWorker([this] { worker_->Start(); });
}

NmRemoteAccess::~NmRemoteAccess() {
  OnWorker([this] { worker_->Stop(); });
  thread_->quit();
  thread_->wait();
}

bool NmRemoteAccess::ServiceOnBus() { return worker_->OnBus(); }

std::optional<std::string> NmRemoteAccess::WaitForPhonebook() {
  return worker_->WaitForPhonebook();
}

std::vector<std::string> NmRemoteAccess::EnumPhonebookEntries() {
  return worker_->ConnectionNames();
}

std::optional<std::string> NmRemoteAccess::PhonebookProblem() {
  return worker_->PhonebookProblem();
}

std::optional<std::string> NmRemoteAccess::GetEntryPhoneNumber(const std::string& connection) {
  return worker_->PhoneNumber(connection);
}

std::optional<std::string> NmRemoteAccess::ErrorString(int code) { return ErrorTextOf(code); }

int NmRemoteAccess::FindConnection(const std::string& entryName, ConnectionHandle& connection) {
  return worker_->Find(entryName, connection);
}

void NmRemoteAccess::WaitForActiveConnections() { worker_->WaitForActive(); }

std::string NmRemoteAccess::ActivationOf(ConnectionHandle connection) {
  return worker_->ActivationOf(connection);
}

int NmRemoteAccess::GetConnectState(ConnectionHandle connection, int& state) {
  return worker_->State(connection, state);
}

bool NmRemoteAccess::HangUp(ConnectionHandle connection) { return worker_->HangUp(connection); }

int NmRemoteAccess::DialEntry(const std::string& entryName, const std::string& userName,
                              const std::string& password, const std::string& /*dialNumber*/,
                              DialNotifier notifier, ConnectionHandle& connection,
                              std::string& errorText) {
  // The first reading of the phonebook, on the caller's thread (a dial's, not a window's).
  worker_->WaitForPhonebook();
  return OnWorker([&] {
    return worker_->Dial(entryName, userName, password, std::move(notifier), connection, errorText);
  });
}

}  // namespace norvax

#include "nm_remote_access.moc"
