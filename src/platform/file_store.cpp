#include "platform/file_store.h"

#include "platform/cp932.h"

namespace norvax {

FileError::FileError(const std::string& path, const std::string& reason)
    : std::runtime_error(path + ": " + reason) {}

std::string FileError::Message() const { return Cp932ForDisplay(what()); }

}  // namespace norvax
