// A profile file held in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/profile_file.h"

namespace norvax::fakes {

class MemoryProfileFile : public ProfileFile {
 public:
  std::string Path() const override { return "/memory/norvax.ini"; }
  KeyValues ReadSection(std::string_view section) const override;
  void WriteSections(const Sections& sections) override;
  std::string SaveCopy(std::string_view suffix) const override;

  // Every write of sections after this throws WriteError and changes nothing.
  bool failWrites = false;
  // Every copy after this throws WriteError.
  bool failCopies = false;
  // Every read after this throws ReadError, as for a file of another user.
  bool failReads = false;
  int writeCount = 0;
  std::vector<std::string> copies;  // suffixes of SaveCopy calls
  std::vector<std::pair<std::string, KeyValues>> sections;
};

}  // namespace norvax::fakes
