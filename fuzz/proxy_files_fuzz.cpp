// Any text as Firefox's user.js and as KDE's kioslaverc: setting a value changes at most
// one line (or adds lines), the value reads back as set unless the change is refused (or
// the key is locked), and setting it again changes nothing.
#include "fuzz_support.h"
#include "platform/store/proxy_files.h"

namespace {

// Whether the bytes of before that after no longer holds lie within one line.
bool OneLineChanged(const std::string& before, const std::string& after, const char* lineEnds) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  return before.substr(prefix, before.size() - prefix - suffix).find_first_of(lineEnds) ==
         std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string text = fuzz::Input(data, size);

  if (auto set = SetUserPref(text, "network.proxy.type", "1")) {
    FUZZ_CHECK(UserPrefValue(*set, "network.proxy.type") == "1");
    FUZZ_CHECK(OneLineChanged(text, *set, "\r\n"));
    FUZZ_CHECK(SetUserPref(*set, "network.proxy.type", "1") == set);
  }

  if (ReadKdeProxyEntry({{"kioslaverc", text}}, "ProxyType").lockedIn.empty()) {
    const std::string set = SetKdeProxyValue(text, "ProxyType", "1");
    FUZZ_CHECK(ReadKdeProxyEntry({{"kioslaverc", set}}, "ProxyType").value == "1");
    FUZZ_CHECK(OneLineChanged(text, set, "\n"));
    FUZZ_CHECK(SetKdeProxyValue(set, "ProxyType", "1") == set);
  }
  return 0;
}
