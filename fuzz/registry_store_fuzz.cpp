// Any registry store file: read, then one value written twice. The first write puts the
// store in its own format, which the second must keep byte for byte: no value read from the
// file may be lost by writing it out again.
#include "fuzz_support.h"
#include "platform/store/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace norvax;
  const std::string path = fuzz::InputFile("registry.reg", fuzz::Input(data, size));
  RegistryStore store(path);
  // The key and value of the autodial switch, which the seeds hold.
  const std::string key = "\\RemoteAccess";
  const std::string name = "InternetProfile";
  store.Read(key, name);
  const auto value = RegistryValue::String("Example Net");
  if (!store.Write(key, name, value)) {
    FUZZ_CHECK(!store.KeyExists(key));
    return 0;
  }
  FUZZ_CHECK(store.Read(key, name) == value);
  const std::string once = testing::ReadFile(path);
  FUZZ_CHECK(store.Write(key, name, value));
  FUZZ_CHECK(testing::ReadFile(path) == once);
  return 0;
}
