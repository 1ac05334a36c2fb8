// Any stored dial profile: parsed, shown in the connection settings window and, when the
// window's checks accept its values, stored again as a profile that parses.
#include "dialup/dial_profile.h"
#include "fakes/fake_remote_access.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string text = fuzz::Input(data, size);
  try {
    ParseProfile(text);
  } catch (const ProfileError&) {
  }
  fakes::FakeRemoteAccess access;
  access.phonebook = {{"Example Net", "03-1234-5678"}};
  const ConnectionSettings settings = LoadConnectionSettings(text, "Example Net", access);
  std::string stored = text;
  if (!ApplyConnectionSettings(settings, stored)) ParseProfile(stored);
  return 0;
}
