#include "platform/nm/nm_remote_access.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
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

// A call the service does not answer in this time counts as the service being gone.
constexpr int kCallTimeoutMs = 10'000;

// The handle of a connection that cannot be found (any more).
constexpr int kInvalidHandle = 6;
// FindConnection: the open connections cannot be listed.
constexpr int kCannotList = 9;

// Device states (NMDeviceState) and active-connection states (NMActiveConnectionState).
constexpr unsigned kDevicePrepare = 40;
constexpr unsigned kDeviceConfig = 50;
constexpr unsigned kDeviceNeedAuth = 60;
constexpr unsigned kDeviceIpConfig = 70;
constexpr unsigned kDeviceFailed = 120;
constexpr unsigned kActiveActivating = 1;
constexpr unsigned kActiveActivated = 2;
constexpr unsigned kActiveDeactivated = 4;

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

// The agent's identifier: NetworkManager takes one agent of an identifier per user, so every
// adapter of every running copy has one of its own.
QString AgentIdentifier() {
  static std::atomic<unsigned> adapters{0};
  return QStringLiteral("norvax.dialler.%1.%2")
      .arg(QCoreApplication::applicationPid())
      .arg(++adapters);
}

}  // namespace

// Lives on the adapter's thread; every member runs there.
class NmRemoteAccess::Worker : public QObject {
  Q_OBJECT

 public:
  explicit Worker(QString address) : address_(std::move(address)) {}

  void Start() {
    qDBusRegisterMetaType<ConnectionSettings>();
    qDBusRegisterMetaType<StringMap>();
    bus_ = QDBusConnection::connectToBus(
        address_, QStringLiteral("norvax-nm-%1").arg(reinterpret_cast<quintptr>(this)));
    // Every connection's and device's state changes, so that none of a new activation's is
    // missed between the request and its answer.
    bus_.connect(kService, QString(), kActiveIface, QStringLiteral("StateChanged"), this,
                 SLOT(ActiveStateChanged(QDBusMessage)));
    bus_.connect(kService, QString(), kDeviceIface, QStringLiteral("StateChanged"), this,
                 SLOT(DeviceStateChanged(QDBusMessage)));
    watcher_ =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
              agent_->SetServiceOwner(owner);
              ServiceGone();
            });
    agent_->SetServiceOwner(bus_.interface()->serviceOwner(kService).value());
    bus_.registerVirtualObject(kAgentPath, agent_);
  }

  void Stop() {
    delete watcher_;
    watcher_ = nullptr;
    bus_.unregisterObject(kAgentPath);
    dials_.clear();
    const QString name = bus_.name();
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
  }

  bool Answers() {
    auto ping = QDBusMessage::createMethodCall(kService, kManagerPath,
                                               QStringLiteral("org.freedesktop.DBus.Peer"),
                                               QStringLiteral("Ping"));
    return bus_.call(ping, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
  }

  std::vector<std::string> ConnectionNames() {
    std::set<std::string> names;
    for (const auto& [path, settings] : SavedConnections().value_or(SavedList{})) {
      if (auto name = Utf8ToCp932(Id(settings).toStdString())) names.insert(*name);
    }
    return {names.begin(), names.end()};
  }

  std::optional<std::string> PhoneNumber(const std::string& name) {
    auto found = FindSaved(SavedConnections().value_or(SavedList{}), name);
    if (!found) return std::nullopt;
    for (const char* setting : {"gsm", "cdma"}) {
      const QString number = found->second.value(setting).value("number").toString();
      if (!number.isEmpty()) return Utf8ToCp932(number.toStdString()).value_or("");
    }
    return std::string();
  }

  int Find(const std::string& name, ConnectionHandle& handle) {
    const QDBusMessage reply = Property(kManagerPath, kManagerIface, "ActiveConnections");
    if (reply.type() != QDBusMessage::ReplyMessage) return kCannotList;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(Value(reply))) {
      const QString id = Value(Property(path.path(), kActiveIface, "Id")).toString();
      if (Utf8ToCp932(id.toStdString()) == name) {
        handle = HandleFor(path.path());
        return 0;
      }
    }
    return 0;
  }

  int State(ConnectionHandle handle, int& state) {
    if (handle == 0) return 1;
    if (auto it = dials_.find(handle); it != dials_.end() && !it->second.connected) {
      state = it->second.lastState;
      return 0;
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return kInvalidHandle;
    const QDBusMessage reply = Property(it->second, kActiveIface, "State");
    if (reply.type() != QDBusMessage::ReplyMessage) return kInvalidHandle;
    switch (Value(reply).toUInt()) {
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

  bool HangUp(ConnectionHandle handle) {
    if (auto dial = dials_.find(handle); dial != dials_.end()) {
      agent_->Disarm(dial->second.connectionPath);
      dials_.erase(dial);
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return false;
    const QString path = it->second;
    handles_.erase(it);
    return Call(kManagerPath, kManagerIface, "DeactivateConnection",
                {QVariant::fromValue(QDBusObjectPath(path))})
               .type() == QDBusMessage::ReplyMessage;
  }

  int Dial(const std::string& name, const std::string& user, const std::string& password,
           DialNotifier notifier, ConnectionHandle& handle, std::string& errorText) {
    const auto refuse = [&](int code) {
      errorText = ErrorTextOf(code).value_or(std::string());
      return 1;
    };
    const auto saved = SavedConnections();
    if (!saved) return refuse(nm::error::kServiceGone);
    auto found = FindSaved(*saved, name);
    if (!found) return refuse(kUnknownEntryError);
    const QString connectionPath = found->first;
    if (!user.empty() || !password.empty()) {
      if (!RegisterAgent()) return refuse(nm::error::kAgentRefused);
      agent_->Arm(connectionPath, {QString::fromStdString(Cp932ToUtf8(user)),
                                   QString::fromStdString(Cp932ToUtf8(password))});
    }
    const QDBusMessage reply = Call(
        kManagerPath, kManagerIface, "ActivateConnection",
        {QVariant::fromValue(QDBusObjectPath(connectionPath)),
         QVariant::fromValue(QDBusObjectPath("/")), QVariant::fromValue(QDBusObjectPath("/"))});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      agent_->Disarm(connectionPath);
      return refuse(nm::RequestFailure(reply.errorName().toStdString()));
    }
    const QString activePath = qdbus_cast<QDBusObjectPath>(reply.arguments()[0]).path();
    handle = HandleFor(activePath);
    ActiveDial& dial = dials_[handle];
    dial = ActiveDial{};
    dial.activePath = activePath;
    dial.connectionPath = connectionPath;
    dial.notifier = std::move(notifier);
    if (!Value(Property(activePath, kActiveIface, "Vpn")).toBool()) {
      for (const QDBusObjectPath& device : qdbus_cast<QList<QDBusObjectPath>>(
               Value(Property(activePath, kActiveIface, "Devices")))) {
        dial.devices.insert(device.path());
      }
    }
    return 0;
  }

 private slots:
  void ActiveStateChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2) return;
    ActiveDial* dial = DialOf(message.path());
    if (dial == nullptr) return;
    const unsigned state = args[0].toUInt();
    if (state == kActiveActivated) {
      dial->connected = true;
      Finish(*dial, kConnectedState, 0);
    } else if (state == kActiveDeactivated) {
      Finish(*dial, dial->lastState, nm::ActiveFailure(args[1].toUInt(), dial->deviceReason));
    }
  }

  void DeviceStateChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 3) return;
    const unsigned state = args[0].toUInt();
    const unsigned reason = args[2].toUInt();
    for (auto& [handle, dial] : dials_) {
      if (dial.finished || !dial.devices.contains(message.path())) continue;
      if (state == kDeviceFailed) {
        dial.deviceReason = reason;
        Finish(dial, dial.lastState, nm::DeviceFailure(reason));
      } else if (int progress = ProgressOf(state); progress != 0) {
        Deliver(dial, progress, 0);
      }
    }
  }

  // NetworkManager went or another instance took its place: its active connections and the
  // agent's registration went with it, and a path of the old one may name another
  // connection of the new one.
  void ServiceGone() {
    for (auto& [handle, dial] : dials_) {
      if (!dial.finished) Finish(dial, dial.lastState, nm::error::kServiceGone);
    }
    dials_.clear();
    handles_.clear();
    agentRegistered_ = false;
  }

 private:
  struct ActiveDial {
    QString activePath;
    QString connectionPath;
    QSet<QString> devices;
    DialNotifier notifier;
    int lastState = 0;
    unsigned deviceReason = 0;
    bool connected = false;
    bool finished = false;
  };

  QDBusMessage Call(const QString& path, const QString& iface, const QString& method,
                    const QList<QVariant>& args = {}) {
    auto message = QDBusMessage::createMethodCall(kService, path, iface, method);
    message.setArguments(args);
    return bus_.call(message, QDBus::Block, kCallTimeoutMs);
  }
  QDBusMessage Property(const QString& path, const QString& iface, const char* name) {
    return Call(path, kPropertiesIface, QStringLiteral("Get"), {iface, QString(name)});
  }
  static QVariant Value(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return qdbus_cast<QDBusVariant>(reply.arguments()[0]).variant();
  }
  static QString Id(const ConnectionSettings& settings) {
    return settings.value("connection").value("id").toString();
  }

  using SavedList = std::vector<std::pair<QString, ConnectionSettings>>;

  // The saved connections with their settings; nothing when the service does not answer.
  std::optional<SavedList> SavedConnections() {
    const QDBusMessage list = Call(kSettingsPath, kSettingsIface, "ListConnections");
    if (list.type() != QDBusMessage::ReplyMessage || list.arguments().isEmpty()) {
      return std::nullopt;
    }
    SavedList saved;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(list.arguments()[0])) {
      const QDBusMessage reply = Call(path.path(), kConnectionIface, "GetSettings");
      if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) continue;
      auto settings = qdbus_cast<ConnectionSettings>(reply.arguments()[0]);
      if (Dialable(settings)) saved.emplace_back(path.path(), std::move(settings));
    }
    return saved;
  }

  static std::optional<std::pair<QString, ConnectionSettings>> FindSaved(const SavedList& saved,
                                                                         const std::string& name) {
    for (const auto& connection : saved) {
      if (Utf8ToCp932(Id(connection.second).toStdString()) == name) return connection;
    }
    return std::nullopt;
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
  QDBusConnection bus_{QString()};
  QDBusServiceWatcher* watcher_ = nullptr;
  SecretAgent* agent_ = new SecretAgent(this);
  const QString agentId_ = AgentIdentifier();
  bool agentRegistered_ = false;
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

NmRemoteAccess::NmRemoteAccess(const std::string& busAddress)
    : thread_(std::make_unique<QThread>()),
      worker_(std::make_unique<Worker>(QString::fromStdString(busAddress))) {
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

bool NmRemoteAccess::ServiceAnswers() {
  return OnWorker([this] { return worker_->Answers(); });
}

std::vector<std::string> NmRemoteAccess::EnumPhonebookEntries() {
  return OnWorker([this] { return worker_->ConnectionNames(); });
}

std::optional<std::string> NmRemoteAccess::GetEntryPhoneNumber(const std::string& connection) {
  return OnWorker([&] { return worker_->PhoneNumber(connection); });
}

std::optional<std::string> NmRemoteAccess::ErrorString(int code) { return ErrorTextOf(code); }

int NmRemoteAccess::FindConnection(const std::string& entryName, ConnectionHandle& connection) {
  return OnWorker([&] { return worker_->Find(entryName, connection); });
}

int NmRemoteAccess::GetConnectState(ConnectionHandle connection, int& state) {
  return OnWorker([&] { return worker_->State(connection, state); });
}

bool NmRemoteAccess::HangUp(ConnectionHandle connection) {
  return OnWorker([&] { return worker_->HangUp(connection); });
}

int NmRemoteAccess::DialEntry(const std::string& entryName, const std::string& userName,
                              const std::string& password, const std::string& /*dialNumber*/,
                              DialNotifier notifier, ConnectionHandle& connection,
                              std::string& errorText) {
  return OnWorker([&] {
    return worker_->Dial(entryName, userName, password, std::move(notifier), connection, errorText);
  });
}

}  // namespace norvax

#include "nm_remote_access.moc"
