// The real ports of the desktop program, in one bundle, for a program directory.
#pragma once

#include <filesystem>

#include "core/main_window.h"
#include "core/program_state.h"
#include "dialup/connection_log.h"
#include "platform/nm/dialler.h"
#include "platform/posix/posix_file_store.h"
#include "platform/posix/posix_processes.h"
#include "platform/program_directory.h"
#include "platform/proxy/desktop_proxy_stores.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_help.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/store/ini_file.h"
#include "platform/store/registry_store.h"
#include "platform/wayland/desktop_windows.h"

namespace norvax {

inline constexpr const char* kRegistryStoreFileName = "registry.reg";

struct DesktopPorts {
  DesktopPorts(const std::filesystem::path& directory, const std::filesystem::path& settingsFile)
      : settings(settingsFile.string()),
        help(HelpFilePath(directory)),
        dialler(OpenDialler(directory)),
        registry((directory / kRegistryStoreFileName).string()),
        processes(directory),
        logState((directory / kLogStateFileName).string()),
        logFiles(directory, std::chrono::seconds(5), [this](std::chrono::milliseconds pause) {
          clock.Sleep(static_cast<uint32_t>(pause.count()));
        }) {}

  // Destroyed last: the dialler's threads, which hand their notifications to the main
  // thread through it, end with the dialler before it goes.
  MainWindowControl program;
  IniFile settings;
  QtUserDialogs dialogs;
  QtHelp help;
  Dialler dialler;
  QtClock clock;
  DesktopWindows windows{OpenWindowSystem()};
  RegistryStore registry;
  PosixProcesses processes;
  IniFile logState;
  // A wait for the log's lock lets the windows work (QtClock).
  PosixFileStore logFiles;
  DesktopProxyStores proxy;
  Ports ports{settings, dialogs,   help,    *dialler.access, clock,    *windows.system,
              registry, processes, program, logState,        logFiles, proxy};
};

}  // namespace norvax
