#include "platform/nm/nm_reasons.h"

#include "dialup/ras_messages.h"
#include "platform/cp932.h"

namespace norvax::nm {

namespace {

// Remote-access message codes the reasons map to.
constexpr int kNoDevice = 608;              // the device does not exist
constexpr int kPortDisconnected = 628;      // the port was disconnected
constexpr int kRemoteDisconnected = 629;    // disconnected by the remote computer
constexpr int kUserDisconnected = 631;      // disconnected by the user
constexpr int kTimedOut = 638;              // the request timed out
constexpr int kDeviceError = 651;           // the modem reported an error
constexpr int kDeviceNotWorking = 666;      // the modem is not working
constexpr int kLineBusy = 676;              // the line is busy
constexpr int kNoAnswer = 678;              // no answer
constexpr int kNoCarrier = 679;             // no carrier
constexpr int kNoDialTone = 680;            // no dial tone
constexpr int kAuthenticationFailed = 691;  // user name or password not valid
constexpr int kIpConfigUnusable = 716;      // the IP configuration cannot be used
constexpr int kPppTerminated = 734;         // the PPP link control protocol ended
constexpr int kNoAddress = 738;             // the server assigned no address

}  // namespace

int DeviceFailure(unsigned reason) {
  switch (reason) {
    case 5:  // IP configuration unavailable
      return kNoAddress;
    case 7:  // no secrets
      return kAuthenticationFailed;
    case 13:  // PPP disconnected: the line dropped
      return kRemoteDisconnected;
    case 14:  // PPP failed
      return kPppTerminated;
    case 23:  // modem busy
      return kLineBusy;
    case 24:  // no dial tone
      return kNoDialTone;
    case 25:  // no carrier
      return kNoCarrier;
    case 26:  // dial timeout
      return kNoAnswer;
    case 27:  // dial failed
      return kDeviceError;
    case 28:  // modem initialisation failed
      return kDeviceNotWorking;
    case 36:  // device removed
    case 43:  // modem not found
      return kNoDevice;
    case 39:  // user requested
      return kUserDisconnected;
    default:
      return error::kDeviceReasonBase + static_cast<int>(reason);
  }
}

int ActiveFailure(unsigned reason, unsigned deviceReason) {
  switch (reason) {
    case 2:  // user disconnected
      return kUserDisconnected;
    case 3:  // device disconnected
      return deviceReason != 0 ? DeviceFailure(deviceReason) : kPortDisconnected;
    case 5:  // IP configuration invalid
      return kIpConfigUnusable;
    case 6:  // connect timeout
      return kTimedOut;
    case 9:   // no secrets
    case 10:  // login failed
      return kAuthenticationFailed;
    case 11:  // connection removed
      return kUnknownEntryError;
    default:
      return error::kActiveReasonBase + static_cast<int>(reason);
  }
}

int RequestFailure(std::string_view errorName) {
  if (errorName == "org.freedesktop.NetworkManager.PermissionDenied") {
    return error::kPermissionDenied;
  }
  if (errorName == "org.freedesktop.NetworkManager.UnknownConnection") return kUnknownEntryError;
  if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
      errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
      errorName == "org.freedesktop.DBus.Error.NoReply" ||
      errorName == "org.freedesktop.DBus.Error.Disconnected" ||
      errorName == "org.freedesktop.DBus.Error.NoServer") {
    return error::kServiceGone;
  }
  return error::kActivationFailed;
}

std::optional<std::string> ErrorText(int code) {
  switch (code) {
    case error::kServiceGone:
      return Sjis("NetworkManager が応答しません。");
    case error::kPermissionDenied:
      return Sjis("NetworkManager がこの接続の操作を許可しませんでした。");
    case error::kActivationFailed:
      return Sjis("NetworkManager が接続を開始できませんでした。");
    case error::kPhonebookReading:
      return Sjis("NetworkManager から接続の一覧を読んでいます。");
    case error::kAgentRefused:
      return Sjis("NetworkManager にユーザー ID とパスワードを渡せませんでした。");
    case error::kDeviceReasonBase + 12:
      return Sjis("PPP を開始できませんでした。");
    case error::kActiveReasonBase + 4:
      return Sjis("VPN サービスが停止しました。");
    case error::kActiveReasonBase + 7:
      return Sjis("VPN サービスの開始がタイムアウトしました。");
    case error::kActiveReasonBase + 8:
      return Sjis("VPN サービスを開始できませんでした。");
  }
  if (code >= error::kDeviceReasonBase && code < error::kActiveReasonBase + 1000) {
    const bool device = code < error::kActiveReasonBase;
    const int reason = code - (device ? error::kDeviceReasonBase : error::kActiveReasonBase);
    return Sjis("接続できませんでした。(NetworkManager ") + (device ? "device" : "active") +
           Sjis(" 理由 ") + std::to_string(reason) + ")";
  }
  return std::nullopt;
}

}  // namespace norvax::nm
