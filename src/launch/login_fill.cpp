#include "launch/login_fill.h"

#include <vector>

#include "core/decimal.h"
#include "launch/keystrokes.h"
#include "launch/launch.h"
#include "platform/cp932.h"
#include "platform/program_control.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

// The login-dialog captions of a browser kind, and the kind's own caption for a free text.
struct KindCaptions {
  std::string ie;
  std::string netscape;
  std::string own;
};

KindCaptions CaptionsFor(const std::string& set1) {
  const std::string ieHalf = Sjis("ﾈｯﾄﾜｰｸ ﾊﾟｽﾜｰﾄﾞの入力");
  const std::string nsHalf = Sjis("ﾕｰｻﾞ名とﾊﾟｽﾜｰﾄﾞの入力");
  if (set1 == "IE3.X OR NETSCAPE") return {ieHalf, nsHalf, ""};
  if (set1 == "IE3.X" || set1 == "IE4.0") return {ieHalf, "", ""};
  if (set1 == "NETSCAPE" || set1 == "NS4.0") return {"", nsHalf, ""};
  if (set1 == "IE4&WIN98") return {Sjis("ネットワーク パスワード"), "", ""};
  if (set1 == "NS4.X") return {"", Sjis("ユーザ名とパスワードの入力"), ""};
  return {"", "", set1};
}

// One candidate window of an ID or password fill.
struct Candidate {
  std::string caption;
  std::string className;
  bool set2 = false;  // typed with the Set2 text and the Set2 ENTER preference
};

std::vector<Candidate> Candidates(const PreferenceList& prefs, const std::string& dialupCaption,
                                  const std::string& set1, const std::string& set2,
                                  const std::string& connection) {
  const KindCaptions kind = CaptionsFor(set1);
  std::vector<Candidate> out;
  for (const std::string* caption : {&kind.ie, &kind.netscape, &kind.own}) {
    if (!caption->empty()) out.push_back({*caption, "", false});
  }
  if (!set2.empty()) {
    out.push_back(prefs.IsOn(Set2IsClass) ? Candidate{"", set2, true} : Candidate{set2, "", true});
  }
  if (!dialupCaption.empty()) out.push_back({dialupCaption, "", false});
  out.push_back({Sjis("ﾕｰｻﾞｰ ﾛｸﾞｵﾝ"), "", false});
  if (!connection.empty()) out.push_back({connection + Sjis(" への接続"), "", false});
  if (!kind.ie.empty()) {
    out.push_back({"", set1 == "IE4&WIN98" ? "CabinetWClass" : "IEFrame", false});
  }
  if (!kind.netscape.empty()) out.push_back({"Netscape", "", false});
  return out;
}

}  // namespace

std::string DialupCaptionFor(const std::string& set1) {
  if (set1 == "IE4.0" || set1 == "IE4&WIN98") return Sjis("ダイヤルアップ接続");
  return Sjis("接続");
}

std::string TypingStoppedMessage() {
  return Sjis("NORVAX  入力中に入力先のｳｲﾝﾄﾞｳが切り替わったため、入力を中止しました。");
}

std::string UntypableMessage(const std::string& characters) {
  return Sjis("NORVAX  このﾃﾞｽｸﾄｯﾌﾟでは入力できない文字があるため、入力しませんでした。(") +
         characters + ")";
}

std::string UnreachableMessage(const std::string& problem) { return Sjis("NORVAX  ") + problem; }

std::string FocusTypingQuestion(const std::string& problem) {
  return UnreachableMessage(problem) + "\n" +
         Sjis(
             "OKを押すとNORVAXを最小化し、ｷｰﾎﾞｰﾄﾞ入力を受けているｳｲﾝﾄﾞｳ(NORVAXの前に使っていた"
             "ｳｲﾝﾄﾞｳ)に入力します。入力先を確かめられないため、それがﾛｸﾞｲﾝ ﾀﾞｲｱﾛｸﾞであるときだけ"
             "OKを押してください。");
}

std::string UntypableProblem(WindowSystem& windows, const std::string& text) {
  if (std::string reason = windows.CannotTypeReason(); !reason.empty()) return reason;
  const std::string untypable = windows.UntypableText(text);
  return untypable.empty() ? std::string() : UntypableMessage(untypable);
}

FillResult FillLoginDialog(ProgramState& state, Ports& ports, const std::string& dialupCaption,
                           const std::string& text, const std::string& set1,
                           const std::string& set2, const std::string& connection, FillMode mode) {
  WindowFinder finder(ports.windows, ports.clock, state.lastTargetCaption);
  // A text the desktop cannot type whole is not typed at all (the main timer reports it for
  // the connect dialog).
  if (const std::string problem = UntypableProblem(ports.windows, text); !problem.empty()) {
    if (mode != FillMode::ConnectDialog) ports.dialogs.ShowError(problem);
    return FillResult::Untypable;
  }
  if (mode == FillMode::ConnectDialog) {
    if (dialupCaption.empty()) return FillResult::NotFound;
    WindowId target = finder.ActivateWindow(dialupCaption, "", 0);
    if (target == 0) return FillResult::NotFound;
    if (connection == "/n" && !set2.empty()) {
      // A delay that is not a positive decimal number means no delay.
      auto delay = ParseDecimal(set2);
      if (delay && *delay > 0) ports.clock.Sleep(static_cast<uint32_t>(*delay));
    }
    // The main timer reports a typing that stopped, and never types into the dialog again.
    return finder.SendKeysText(target, text + std::string(kEnterMarker)) ? FillResult::Typed
                                                                         : FillResult::Stopped;
  }

  if (ClickFillBlocked(state.main)) {
    ports.dialogs.ShowError(LaunchBusyMessage());
    return FillResult::Refused;
  }
  // Held while the click types: the waits for the window's focus let events run.
  const FlagHold filling(state.main.filling);
  const PreferenceList& prefs = state.prefs;
  const int modeNumber = static_cast<int>(mode);
  if (prefs.IsOn(CopyToClipboard)) ports.program.SetClipboardText(text);
  const auto [set1Text, set2Text] = ComposeSetTexts(prefs, modeNumber, text);
  for (const Candidate& c : Candidates(prefs, dialupCaption, set1, set2, connection)) {
    WindowId target = finder.ActivateWindow(c.caption, c.className, 0);
    if (target == 0) continue;
    if (!finder.SendKeysText(target, c.set2 ? set2Text : set1Text)) {
      // Part of the text is in the window and the rest went nowhere: the user has to see
      // that, and no other window gets the text.
      const std::string problem = ports.windows.Problem();
      ports.dialogs.ShowError(problem.empty() ? TypingStoppedMessage()
                                              : UnreachableMessage(problem));
      return FillResult::Stopped;
    }
    if (AfterTyped(prefs, modeNumber, prefs[c.set2 ? EnterAfterPassSet2 : EnterAfterPassSet1])) {
      ports.program.MinimiseApplication();
    }
    return FillResult::Typed;
  }
  const std::string problem = ports.windows.Problem();
  if (problem.empty()) return FillResult::NotFound;
  const WindowId focused = ports.windows.FocusedWindow();
  if (focused == 0) {
    ports.dialogs.ShowError(UnreachableMessage(problem));
    return FillResult::NotFound;
  }
  if (!ports.dialogs.ConfirmOkCancel(FocusTypingQuestion(problem))) return FillResult::NotFound;
  ports.program.MinimiseApplication();
  ports.clock.Sleep(kFocusReturnMs);
  if (!finder.SendKeysText(focused, set1Text)) {
    ports.dialogs.ShowError(UnreachableMessage(ports.windows.Problem()));
    return FillResult::Stopped;
  }
  return FillResult::Typed;
}

}  // namespace norvax
