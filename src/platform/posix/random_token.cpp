#include "platform/posix/random_token.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace norvax {

std::string RandomToken(std::size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  for (std::size_t got = 0; got < bytes;) {
    const ssize_t n = getrandom(raw.data() + got, bytes - got, 0);
    if (n < 0 && errno != EINTR)
      throw std::system_error(errno, std::generic_category(), "getrandom");
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : raw) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

}  // namespace norvax
