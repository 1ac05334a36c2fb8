// What one launch keeps for the main timer and the worker thread.
#pragma once

#include <string>

#include "launch/autodial.h"

namespace norvax {

struct LaunchState {
  std::string browserProgram;  // command line of the browser (CP932)
  std::string workDirectory;
  bool maximise = false;  // start the browser maximised
  std::string dialupCaption;
  bool browserIsNetscape = false;
  RegistryResult registryResult = RegistryResult::NothingDone;
  bool startAttempted = false;
  // What the main timer types into the connect dialog, and the entry's values it needs.
  std::string fillPassword;
  std::string fillSet1;
  std::string fillSet2;
  std::string fillConnection;
};

}  // namespace norvax
