// What the fuzz targets share: a failed expectation ends the run as a crash, and inputs
// that the code under test reads from a file are written to one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_files.h"

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)

namespace norvax::fuzz {

inline std::string Input(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Writes the input to the file `name` in a folder of this process's own, removed at exit,
// and returns its path.
inline std::string InputFile(const std::string& name, const std::string& contents) {
  static const testing::TempDir folder;
  auto path = folder / name;
  testing::WriteFile(path, contents);
  return path.string();
}

}  // namespace norvax::fuzz
