// Any phonebook file, in either encoding: the connections listed are the faultless ones,
// each with a number and at least one attempt, and no name twice.
#include "fuzz_support.h"
#include "platform/sim/sim_phonebook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const Phonebook book =
      ReadPhonebookFile(fuzz::InputFile(kPhonebookFileName, fuzz::Input(data, size)));
  for (const auto& entry : book.entries) {
    FUZZ_CHECK(!entry.phone.empty());
    FUZZ_CHECK(!entry.attempts.empty());
    FUZZ_CHECK(book.Find(entry.name) == &entry);
    entry.Attempt(static_cast<int>(entry.attempts.size()) + 1);
  }
  return 0;
}
