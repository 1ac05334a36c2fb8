// Any proxy server text: read into the proxy settings window and taken back; a record taken
// back once comes back unchanged from the window a second time.
#include "fuzz_support.h"
#include "launch/proxy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string text = fuzz::Input(data, size);
  std::string flags = "011";
  std::string servers;
  std::string exceptions;
  StoreProxyForm(LoadProxyForm(flags, text, text), flags, servers, exceptions);
  std::string serversAgain;
  std::string exceptionsAgain;
  StoreProxyForm(LoadProxyForm(flags, servers, exceptions), flags, serversAgain, exceptionsAgain);
  FUZZ_CHECK(serversAgain == servers);
  FUZZ_CHECK(exceptionsAgain == exceptions);
  return 0;
}
