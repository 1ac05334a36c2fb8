// Unscrambling any stored form, and the stored form of any text reading back as that text.
#include "core/scrambler.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string text = fuzz::Input(data, size);
  UnscrambleText(text);
  const std::string stored = ScrambleText(text, false);
  FUZZ_CHECK(stored.size() == 4 * text.size() + 6);
  const Unscrambled back = UnscrambleText(stored);
  FUZZ_CHECK(back.checkOk);
  FUZZ_CHECK(back.text == text);
  return 0;
}
