// The start-up load of any settings file: a damaged file is reported once, kept as a copy
// and erased so that the next load is quiet; the preferences always end with 32 values.
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
  FUZZ_CHECK(testing::ReadFile(path + std::string(kDamagedCopySuffix)) == contents);
  EntryTable again;
  PreferenceList againPrefs;
  fakes::FakeUserDialogs quiet;
  LoadSettings(file, again, againPrefs, quiet, {});
  FUZZ_CHECK(quiet.errors.empty());
  return 0;
}
