// Port: the program's help.
#pragma once

#include <string>

namespace norvax {

// Topic keys of the help file.
namespace help_topic {
inline constexpr const char* kRegister = "NV013";
inline constexpr const char* kEntryEditor = "NV014";
inline constexpr const char* kProxy = "NV015";
inline constexpr const char* kConnectionSettings = "NV0151";
// The five pages of the preferences are "NV017" to "NV021".
inline constexpr const char* kPreferencesPages[] = {"NV017", "NV018", "NV019", "NV020", "NV021"};
inline constexpr const char* kLogViewer = "NV030";
}  // namespace help_topic

class Help {
 public:
  virtual ~Help() = default;
  // Opens the help at a topic key.
  virtual void ShowTopic(const std::string& key) = 0;
  // Opens the topic finder (contents and search).
  virtual void ShowFinder() = 0;
};

}  // namespace norvax
