// Every port as a fake, bundled the way the program hands them around.
#pragma once

#include "core/program_state.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_help.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_program_control.h"
#include "fakes/fake_proxy_stores.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_remote_access.h"
#include "fakes/fake_user_dialogs.h"
#include "fakes/fake_window_system.h"
#include "fakes/memory_file_store.h"
#include "fakes/memory_profile_file.h"

namespace norvax::fakes {

struct FakePorts {
  MemoryProfileFile settings;
  FakeUserDialogs dialogs;
  FakeHelp help;
  FakeRemoteAccess remote;
  FakeClock clock;
  FakeWindowSystem windows;
  FakeRegistry registry;
  FakeProcesses processes;
  FakeProgramControl program;
  MemoryProfileFile logState;
  MemoryFileStore logFiles;
  FakeProxyStores proxy;
  Ports ports{settings, dialogs,   help,    remote,   clock,    windows,
              registry, processes, program, logState, logFiles, proxy};
};

}  // namespace norvax::fakes
