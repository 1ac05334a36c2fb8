// The tests that write the desktop's proxy settings run in a home of their own: a private
// HOME, XDG_CONFIG_HOME and XDG_CONFIG_DIRS, GSettings in a key file there, no session bus, no
// desktop.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "test_files.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  norvax::testing::TempDir home;
  setenv("HOME", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (home / "xdg").c_str(), 1);
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  // Firefox takes the Default=1 profile of profiles.ini rather than one of its own making.
  setenv("MOZ_LEGACY_PROFILES", "1", 1);
  for (const char* name :
       {"XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS", "http_proxy", "https_proxy", "all_proxy",
        "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"}) {
    unsetenv(name);
  }
  return RUN_ALL_TESTS();
}
