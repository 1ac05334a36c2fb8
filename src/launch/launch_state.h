// What one launch keeps for the main timer and the worker thread.
#pragma once

#include <cstdint>
#include <string>

#include "launch/autodial.h"
#include "platform/processes.h"

namespace norvax {

// The browser started last, while the program watches for its first window.
struct BrowserWatch {
  ProcessHandle process = 0;
  std::uint32_t startTick = 0;
  bool watching = false;    // the ready timer runs
  bool windowSeen = false;  // a window of the browser's processes has shown
};

struct LaunchState {
  std::string browserProgram;  // command line of the browser (CP932)
  std::string workDirectory;
  bool maximise = false;  // start the browser maximised
  // The browser's own proxy variables (ApplyProxySettings); none unless the entry's proxy
  // record is applied.
  EnvironmentChanges browserEnvironment;
  std::string dialupCaption;
  bool browserIsNetscape = false;
  RegistryResult registryResult = RegistryResult::NothingDone;
  bool startAttempted = false;
  BrowserWatch browser;
  // What the main timer types into the connect dialog, and the entry's values it needs.
  std::string fillPassword;
  std::string fillSet1;
  std::string fillSet2;
  std::string fillConnection;
};

}  // namespace norvax
