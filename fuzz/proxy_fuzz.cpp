// Any proxy server text: read into the proxy settings window and taken back; what is taken
// back holds no line break, and comes back unchanged from the window a second time.
#include "core/entry_table.h"
#include "fuzz_support.h"
#include "launch/proxy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string text = fuzz::Input(data, size);
  std::string flags = "011";
  std::string servers;
  std::string exceptions;
  if (StoreProxyForm(LoadProxyForm(flags, text, text), flags, servers, exceptions)) return 0;
  FUZZ_CHECK(!HoldsLineBreak(servers) && !HoldsLineBreak(exceptions));
  std::string serversAgain;
  std::string exceptionsAgain;
  FUZZ_CHECK(!StoreProxyForm(LoadProxyForm(flags, servers, exceptions), flags, serversAgain,
                             exceptionsAgain));
  FUZZ_CHECK(serversAgain == servers);
  FUZZ_CHECK(exceptionsAgain == exceptions);
  return 0;
}
