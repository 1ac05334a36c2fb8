// Unguessable text for marks and tokens that another program of the session must not be able
// to make up.
#pragma once

#include <cstddef>
#include <string>

namespace norvax {

// bytes random bytes from the kernel's generator, as lower-case hexadecimal digits.
std::string RandomToken(std::size_t bytes = 16);

}  // namespace norvax
