#include "platform/sim/sim_phonebook.h"
#include "platform/sim/sim_remote_access.h"

#include <gtest/gtest.h>

#include "fakes/memory_profile_file.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(SimPhonebook, ParsesEveryKindOfStep) {
  struct Case {
    const char* text;
    std::optional<DialStepScript> step;
  } cases[] = {
      {"busy 800", DialStepScript{DialOutcome::Busy, 0, 800}},
      {"NoAnswer 0", DialStepScript{DialOutcome::NoAnswer, 0, 0}},
      {"badpassword 10", DialStepScript{DialOutcome::BadPassword, 0, 10}},
      {"error 678 1000", DialStepScript{DialOutcome::Error, 678, 1000}},
      {"  connect   1500 ", DialStepScript{DialOutcome::Connect, 0, 1500}},
      {"connect", std::nullopt},
      {"connect -1", std::nullopt},
      {"connect 1x", std::nullopt},
      {"connect 1 2", std::nullopt},
      {"error 1000", std::nullopt},
      {"error 0 10", std::nullopt},
      {"hangup 10", std::nullopt},
      {"busy 99999999999", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDialStep(c.text), c.step) << c.text;
}

TEST(SimPhonebook, ReadsConnectionsInListOrderAndReportsFaults) {
  testing::TempDir dir;
  const std::string name = Sjis("ダイヤル");
  testing::WriteFile(dir / "phonebook.ini",
                     "[Connections]\r\n1=" + name +
                         "\r\n2=Example Net\r\n3=Broken\r\n"
                         "4=Missing\r\n5=Example Net\r\n6=NoScript\r\n"
                         "[Connection:Example Net]\r\nPhone=03-1234-5678\r\nUser=taro\r\n"
                         "Password=secret\r\nAttempt1=busy 800\r\nAttempt2=connect 1500\r\n"
                         "[Connection:" +
                         name +
                         "]\r\nPhone=0120\r\nAttempt1=error 678 5\r\n"
                         "[Connection:Broken]\r\nPhone=1\r\nAttempt1=ring 5\r\n"
                         "[Connection:NoScript]\r\nPhone=1\r\n");
  SimRemoteAccess remote((dir / "phonebook.ini").string());
  EXPECT_EQ(remote.EnumPhonebookEntries(), (std::vector<std::string>{name, "Example Net"}));
  EXPECT_EQ(remote.GetEntryPhoneNumber("Example Net"), "03-1234-5678");
  EXPECT_EQ(remote.GetEntryPhoneNumber(name), "0120");
  EXPECT_EQ(remote.GetEntryPhoneNumber("Broken"), std::nullopt);
  EXPECT_EQ(remote.GetEntryPhoneNumber("nobody"), std::nullopt);

  Phonebook book = remote.Load();
  ASSERT_EQ(book.problems.size(), 4u);
  EXPECT_NE(book.problems[0].find("Broken: Attempt1"), std::string::npos);
  EXPECT_NE(book.problems[1].find("Missing"), std::string::npos);
  EXPECT_NE(book.problems[2].find("listed twice"), std::string::npos);
  EXPECT_NE(book.problems[3].find("NoScript: no Attempt1"), std::string::npos);

  const PhonebookEntry* net = book.Find("Example Net");
  ASSERT_NE(net, nullptr);
  EXPECT_EQ(net->user, "taro");
  EXPECT_EQ(net->password, "secret");
  EXPECT_EQ(net->Attempt(1).outcome, DialOutcome::Busy);
  EXPECT_EQ(net->Attempt(2).outcome, DialOutcome::Connect);
  EXPECT_EQ(net->Attempt(7).delayMs, 1500);  // the last step repeats
}

TEST(SimPhonebook, UserAndPasswordAreCheckedOnlyWhereListed) {
  struct Case {
    const char *user, *password, *givenUser, *givenPassword;
    bool accepted;
  } cases[] = {
      {"", "", "anyone", "anything", true},
      {"taro", "", "jiro", "x", false},
      {"", "pw", "x", "PW", false},
  };
  for (const auto& c : cases) {
    PhonebookEntry entry;
    entry.user = c.user;
    entry.password = c.password;
    EXPECT_EQ(entry.Accepts(c.givenUser, c.givenPassword), c.accepted)
        << c.user << "/" << c.password << " given " << c.givenUser << "/" << c.givenPassword;
  }
}

TEST(SimPhonebook, MissingFileIsAnEmptyBook) {
  testing::TempDir dir;
  SimRemoteAccess remote((dir / "phonebook.ini").string());
  EXPECT_TRUE(remote.EnumPhonebookEntries().empty());
  EXPECT_TRUE(remote.Load().problems.empty());
}

TEST(SimPhonebook, PhoneIsRequired) {
  fakes::MemoryProfileFile file;
  file.WriteValue("Connections", "1", "A");
  file.WriteValue("Connection:A", "Attempt1", "connect 1");
  Phonebook book = ReadPhonebook(file, PhonebookEncoding::kCp932);
  EXPECT_TRUE(book.entries.empty());
  ASSERT_EQ(book.problems.size(), 1u);
  EXPECT_EQ(book.problems[0], "A: Phone missing");
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

// The example of the user documentation, comment line included, saved in CP932 or, as an
// editor of today saves it, in UTF-8.
TEST(SimPhonebook, DocumentedExampleReadsInEitherEncoding) {
  const std::string example =
      "[Connections]\n1=Example Net\n2=ダイヤルテスト\n\n"
      "[Connection:Example Net]\nPhone=03-1234-5678\nUser=taro\n"
      "Password=secret\n"
      "; one line per dial attempt; attempts after the last repeat the last one\n"
      "Attempt1=busy 800\nAttempt2=noanswer 2000\nAttempt3=connect 1500\n\n"
      "[Connection:ダイヤルテスト]\nPhone=0120-000-000\nUser=はなこ\n"
      "Password=pass\nAttempt1=error 678 500\nAttempt2=badpassword 300\n"
      "Attempt3=connect 1000\n";
  for (const std::string& text : {Sjis(example.c_str()), example}) {
    testing::TempDir dir;
    testing::WriteFile(dir / "phonebook.ini", text);
    SimRemoteAccess remote((dir / "phonebook.ini").string());
    Phonebook book = remote.Load();
    EXPECT_TRUE(book.problems.empty());
    ASSERT_EQ(book.entries.size(), 2u);
    EXPECT_EQ(book.entries[1].name, Sjis("ダイヤルテスト"));
    EXPECT_EQ(book.entries[1].user, Sjis("はなこ"));
    EXPECT_EQ(book.entries[0].attempts.size(), 3u);
    EXPECT_EQ(book.entries[1].Attempt(1).errorCode, 678);
  }
}

// A UTF-8 name without a CP932 form is reported, never kept mangled.
TEST(SimPhonebook, Utf8WithoutACp932FormIsAFault) {
  testing::TempDir dir;
  testing::WriteFile(dir / "phonebook.ini",
                     "[Connections]\n1=ネット😀\n2=ネット\n[Connection:ネット😀]\nPhone=1\n"
                     "Attempt1=connect 1\n[Connection:ネット]\nPhone=2\nAttempt1=connect 1\n");
  Phonebook book = SimRemoteAccess((dir / "phonebook.ini").string()).Load();
  ASSERT_EQ(book.entries.size(), 1u);
  EXPECT_EQ(book.entries[0].name, Sjis("ネット"));
  EXPECT_EQ(book.problems, std::vector<std::string>{"ネット😀: no Shift-JIS (CP932) form"});
}

}  // namespace
}  // namespace norvax
