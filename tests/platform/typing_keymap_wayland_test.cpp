#include "platform/wayland/typing_keymap.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

namespace norvax {
namespace {

// The compositor sends the keymap as a file and its size; a file shorter than the size it
// announces must not be read past its end (a fault, SIGBUS, on a mapping).
TEST(ReadSentKeymapTest, ReadsTheAnnouncedTextAndRefusesAFileShorterThanAnnounced) {
  std::string keymap = "xkb_keymap {";
  keymap.resize(4096, ' ');  // one page, without the terminating NUL
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, keymap.c_str(), keymap.size()), static_cast<ssize_t>(keymap.size()));
  EXPECT_EQ(ReadSentKeymap(fd, 4096), keymap);
  EXPECT_EQ(ReadSentKeymap(fd, 3), "xkb");
  EXPECT_EQ(ReadSentKeymap(fd, 4097), std::nullopt);
  EXPECT_EQ(ReadSentKeymap(fd, 0), std::nullopt);
  close(fd);
}

}  // namespace
}  // namespace norvax
