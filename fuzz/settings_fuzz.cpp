// The start-up load of any settings file: a damaged file is reported once, kept as a copy
// and erased so that the next load is quiet; the preferences always end with 32 values.
#include <filesystem>

#include "core/settings.h"
#include "fakes/fake_user_dialogs.h"
#include "fuzz_support.h"
#include "platform/store/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string contents = fuzz::Input(data, size);
  const std::string path = fuzz::InputFile("norvax.ini", contents);
  IniFile file(path);
  EntryTable readTable;
  PreferenceList readPrefs;
  const bool good = ReadSettings(file, readTable, readPrefs);

  EntryTable table;
  PreferenceList prefs;
  fakes::FakeUserDialogs dialogs;
  LoadSettings(file, table, prefs, dialogs, {});
  FUZZ_CHECK(prefs.Size() == kPreferenceCount);
  FUZZ_CHECK(dialogs.errors.size() == (good ? 0u : 1u));
  if (good) return 0;
  // The copy is removed again, so that every run's copy gets the same name.
  const std::string copy = path + DamagedCopySuffix({});
  FUZZ_CHECK(testing::ReadFile(copy) == contents);
  std::filesystem::remove(copy);
  EntryTable again;
  PreferenceList againPrefs;
  fakes::FakeUserDialogs quiet;
  LoadSettings(file, again, againPrefs, quiet, {});
  FUZZ_CHECK(quiet.errors.empty());
  return 0;
}
