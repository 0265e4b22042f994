#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Fault.h"
#include "platform/Text.h"
#include "support/FakePq.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"
#include "versiongate/VersionGate.h"

namespace {

constexpr char kBaseFile[] = "C:\\Intranet\\include\\templates\\version.dat";

constexpr unsigned kError = kMbOk | kMbIconError;
constexpr unsigned kErrorQuestion = kMbYesNo | kMbIconError;
constexpr unsigned kReinstallQuestion = kMbYesNo | kMbIconQuestion | kMbDefButton2;

constexpr char kNoBaseVersion[] = "Unable to determine current base system version.";
constexpr char kBaseTooOld[] =
    "The current base system version is too old. Please upgrade the base system before running "
    "this installation.";
constexpr char kBaseTooNew[] =
    "This application is not compatibile with this base system version. Please use the updated "
    "version, if available.";
constexpr char kContinue[] = "Continue installation?";
constexpr char kNoInstalledVersion[] =
    "Unable to determine current version installed. Please contact technical support.";
constexpr char kInstalledIsNewer[] = "The currently installed module is newer than this version.";
constexpr char kAlreadyInstalled[] = "This module is already installed. Re-install?";
constexpr char kInstalledTooOld[] =
    "The currently installed module is too old to update. Please apply other updates before "
    "applying this one.";

constexpr char kPasswordRefused[] = "FATAL:  password authentication failed for user \"root\"";

std::string TryAgain(const std::string& message) { return message + "\nTry again?"; }

// A file whose reads deliver one byte at a time, or fail.
class FlakyFile : public HostFile {
 public:
  FlakyFile(std::unique_ptr<HostFile> file, bool fail) : file_(std::move(file)), fail_(fail) {}
  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (fail_) return false;
    return file_->Read(buffer, std::min<uint32_t>(count, 1), done);
  }
  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    return file_->Write(buffer, count, done);
  }
  int64_t Seek(int64_t distance, SeekOrigin origin) override {
    return file_->Seek(distance, origin);
  }

 private:
  std::unique_ptr<HostFile> file_;
  bool fail_;
};

enum class Reads { kWhole, kByteByByte, kFailing };

class GateHost : public FakeHost {
 public:
  std::unique_ptr<HostFile> OpenFileForRead(const std::string& path, unsigned share) override {
    std::unique_ptr<HostFile> file = FakeHost::OpenFileForRead(path, share);
    if (file == nullptr || reads == Reads::kWhole) return file;
    return std::make_unique<FlakyFile>(std::move(file), reads == Reads::kFailing);
  }
  Reads reads = Reads::kWhole;
};

// One machine with an intranet on it: base version file, settings with
// every credential given, and a database that answers from a script.
// First base: a connection an error left open is closed before the fake
// library goes.
struct ScriptedPq {
  FakePq pq;
};

struct Machine : ScriptedPq, InstallerWorldOn<GateHost> {
  explicit Machine(const std::optional<std::string>& base_version = std::string("2.3.6")) {
    host.pq = &pq.api();
    if (base_version) host.AddFile(kBaseFile, *base_version);
    settings.DbPassword = "secret";
  }

  void Installed(const std::optional<std::string>& version) {
    pq.results.push_back(FakePq::VersionRows({version}));
  }
  void Box(const std::string& text, unsigned flags, int answer = kIdOk,
           std::function<void()> then = nullptr) {
    screen.ExpectBox(text, "ERROR", flags, answer, std::move(then));
  }
  bool Run() {
    const std::vector<std::string> files = host.Files();
    const bool result = CheckVersions(installer);
    // The gate only reads.
    EXPECT_EQ(files, host.Files());
    for (const std::string& statement : pq.statements)
      EXPECT_TRUE(StartsWith(statement, "SELECT ")) << statement;
    EXPECT_EQ(0, host.open_files());
    if (!screen.boxes.empty()) {
      EXPECT_EQ(&ui.owner, screen.last_box_owner);
    }
    return result;
  }
};

TEST(VersionGateTest, BaseVersionMustLieInTheAcceptedRange) {
  struct Case {
    std::string base;
    const char* refusal;  // null: accepted
  };
  const Case cases[] = {
      {"2.3.5", kBaseTooOld},
      {"2.3", kBaseTooOld},
      {"2", kBaseTooOld},
      {"", kBaseTooOld},  // an empty file reads as version 0
      {"2.3.6", nullptr},
      {"2.3.7", nullptr},
      {"2.4", nullptr},
      {"2.99", nullptr},
      {"2.99.0.0", nullptr},
      {"2.99.0.1", kBaseTooNew},
      {"2.100", kBaseTooNew},
      {"3", kBaseTooNew},
      // A zero byte ends the text.
      {std::string("2.4\0\r\ngarbage", 12), nullptr},
      {std::string("\0"
                   "2.4",
                   4),
       kBaseTooOld},
      // Only the first 24 bytes count: the line break after them is never read.
      {"2.3.7.000000000000000000\r\n", nullptr},
      {"2.99.0000000000000000000"
       "1",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("base version '" + c.base + "'");
    Machine m(c.base);
    if (c.refusal == nullptr) {
      m.Installed("2.3.7");
    } else {
      m.Box(c.refusal, kError, kIdOk, [&m] { EXPECT_EQ(0, m.host.open_files()); });
    }
    EXPECT_EQ(c.refusal == nullptr, m.Run());
    if (c.refusal != nullptr) {
      EXPECT_TRUE(m.pq.connects.empty());
    }
  }
}

// Up to 24 bytes, however the reads deliver them; a file that cannot be
// opened, or a read that fails after the open, counts as no base version.
TEST(VersionGateTest, BaseVersionFileIsReadUpTo24BytesOrNotAtAll) {
  struct Case {
    const char* name;
    std::function<void(Machine&)> arrange;
    bool read;
  };
  std::unique_ptr<HostFile> held;
  const auto reads = [](Reads r) { return [r](Machine& m) { m.host.reads = r; }; };
  const Case cases[] = {
      {"read whole", reads(Reads::kWhole), true},
      {"read byte by byte", reads(Reads::kByteByByte), true},
      {"read failing", reads(Reads::kFailing), false},
      {"missing", [](Machine& m) { EXPECT_TRUE(m.host.RemoveFile(kBaseFile)); }, false},
      {"locked", [](Machine& m) { m.host.LockFile(kBaseFile); }, false},
      // Opened without sharing, so another reader that is open now blocks it.
      {"open elsewhere",
       [&held](Machine& m) { held = m.host.OpenFileForRead(kBaseFile, kShareRead); }, false},
      {"another destination", [](Machine& m) { m.ui.destination = "D:\\Elsewhere"; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m(
        "2.99.0000000000000000000"
        "1");
    c.arrange(m);
    if (c.read) {
      m.Installed("2.3.7");
    } else {
      m.Box(kNoBaseVersion, kError, kIdOk, [&held] { held.reset(); });
    }
    EXPECT_EQ(c.read, m.Run());
    EXPECT_EQ(c.read, !m.pq.connects.empty());
  }
}

TEST(VersionGateTest, UnconvertibleBaseVersionLeavesTheGateAsAFault) {
  const std::string bases[] = {"2.3.8\r\n", "2.3.8\n", "2.3.8 ", "2,3,8", "2..3"};
  for (const std::string& base : bases) {
    SCOPED_TRACE(base);
    Machine m(base);
    EXPECT_THROW(CheckVersions(m.installer), ConvertFault);
    EXPECT_TRUE(m.screen.boxes.empty());
    EXPECT_TRUE(m.pq.connects.empty());
    EXPECT_EQ(0, m.host.open_files());
  }
  Machine m("2.3.8\r\n");
  EXPECT_EQ("'8\r\n' is not a valid integer value",
            FaultText<ConvertFault>([&m] { CheckVersions(m.installer); }));
}

TEST(VersionGateTest, InstalledVersionMustBeThePreviousOneOrThisOneConfirmed) {
  struct Case {
    const char* name;
    FakePq::Result rows;
    const char* box;  // null: none
    unsigned flags;
    int answer;
    bool allowed;
  };
  const Case cases[] = {
      {"no row", FakePq::NoRows(), kNoInstalledVersion, kError, kIdOk, false},
      {"NULL", FakePq::VersionRows({std::nullopt}), kNoInstalledVersion, kError, kIdOk, false},
      {"empty", FakePq::VersionRows({""}), kNoInstalledVersion, kError, kIdOk, false},
      {"2.3.6", FakePq::VersionRows({"2.3.6"}), kInstalledTooOld, kError, kIdOk, false},
      {"2.3.7", FakePq::VersionRows({"2.3.7"}), nullptr, 0, 0, true},
      {"2.3.7.0", FakePq::VersionRows({"2.3.7.0"}), nullptr, 0, 0, true},
      {"2.3.7.1", FakePq::VersionRows({"2.3.7.1"}), kInstalledTooOld, kError, kIdOk, false},
      {"2.3.8 Yes", FakePq::VersionRows({"2.3.8"}), kAlreadyInstalled, kReinstallQuestion, kIdYes,
       true},
      {"2.3.8 No", FakePq::VersionRows({"2.3.8"}), kAlreadyInstalled, kReinstallQuestion, kIdNo,
       false},
      // Only No refuses; a box that could not be shown is not No.
      {"2.3.8 no answer", FakePq::VersionRows({"2.3.8"}), kAlreadyInstalled, kReinstallQuestion, 0,
       true},
      {"2.3.9", FakePq::VersionRows({"2.3.9"}), kInstalledIsNewer, kError, kIdOk, false},
      {"2.4", FakePq::VersionRows({"2.4"}), kInstalledIsNewer, kError, kIdOk, false},
      {"2.3.10", FakePq::VersionRows({"2.3.10"}), kInstalledIsNewer, kError, kIdOk, false},
      {"first row decides", FakePq::VersionRows({"2.3.7", "2.3.9"}), nullptr, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.pq.results.push_back(c.rows);
    if (c.box != nullptr) m.Box(c.box, c.flags, c.answer);
    EXPECT_EQ(c.allowed, m.Run());
    EXPECT_EQ(1u, m.pq.statements.size());
  }
}

TEST(VersionGateTest, DatabaseErrorsOfferATryAgainAndNoRefuses) {
  struct Case {
    const char* name;
    std::function<void(Machine&)> arrange;
    std::string message;
  };
  const std::string relation = "ERROR:  relation \"modules\" does not exist";
  const Case cases[] = {
      {"password refused", [](Machine& m) { m.pq.connect_errors.push_back(kPasswordRefused); },
       kPasswordRefused},
      {"table missing",
       [&relation](Machine& m) { m.pq.results.push_back(FakePq::Failure(relation)); }, relation},
      {"installed version not a version", [](Machine& m) { m.Installed("2.3.8\r\n"); },
       "'8\r\n' is not a valid integer value"},
      {"installed version not a number", [](Machine& m) { m.Installed("two"); },
       "'two' is not a valid integer value"},
      {"client library missing", [](Machine& m) { m.host.pq = nullptr; },
       "None of the dynamic libraries can be found: libpq81.dll, libpq.dll"},
  };
  for (const Case& c : cases) {
    for (const int answer : {kIdNo, 0}) {
      SCOPED_TRACE(std::string(c.name) + (answer == kIdNo ? ", No" : ", no answer"));
      Machine m;
      c.arrange(m);
      m.Box(TryAgain(c.message), kErrorQuestion, answer);
      EXPECT_FALSE(m.Run());
    }
  }
}

// A Try again box nobody scripted fails the test and is answered No, so a
// refusal that would repeat for ever ends the gate.
TEST(VersionGateTest, UnscriptedTryAgainFailsTheTestAndStops) {
  Machine m;
  for (int i = 0; i < 1000; ++i) m.pq.connect_errors.push_back(kPasswordRefused);
  bool result = true;
  EXPECT_NONFATAL_FAILURE(result = m.Run(), "unexpected box [ERROR] FATAL:  password");
  EXPECT_FALSE(result);
  EXPECT_EQ(1u, m.pq.connects.size());
}

TEST(VersionGateTest, TryAgainRunsTheWholeGateAgain) {
  // The base version file is read again: replaced meanwhile, it now refuses.
  Machine m;
  m.pq.connect_errors.push_back(kPasswordRefused);
  m.Box(TryAgain(kPasswordRefused), kErrorQuestion, kIdYes,
        [&m] { m.host.AddFile(kBaseFile, "2.3.5"); });
  m.Box(kBaseTooOld, kError);
  EXPECT_FALSE(m.Run());
  EXPECT_EQ(1u, m.pq.connects.size());
}

TEST(VersionGateTest, AnyNumberOfRetriesRunsInConstantStack) {
  constexpr int kRetries = 100000;
  Machine m;
  for (int i = 0; i < kRetries; ++i) {
    m.pq.connect_errors.push_back(kPasswordRefused);
    m.Box(TryAgain(kPasswordRefused), kErrorQuestion, kIdYes);
  }
  m.Installed("2.3.7");
  EXPECT_TRUE(CheckVersions(m.installer));
  EXPECT_EQ(static_cast<size_t>(kRetries) + 1, m.pq.connects.size());
}

TEST(VersionGateTest, LoginDialogOnlyWhenASettingIsEmpty) {
  struct Case {
    std::string host, user, password;
    bool shown;
  };
  const Case cases[] = {
      {"localhost", "root", "", true},  // the password's default
      {"", "root", "secret", true},
      {"localhost", "", "secret", true},
      {"", "", "", true},
      {"localhost", "root", "secret", false},
      {" ", " ", " ", false},  // blanks are not empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.host + "' '" + c.user + "' '" + c.password + "'");
    Machine m;
    m.settings.DbHost = c.host;
    m.settings.DbUser = c.user;
    m.settings.DbPassword = c.password;
    // Left over from an earlier showing; the gate fills the edits every time.
    m.login.Server1.text = "stale server";
    m.login.Username1.text = "stale user";
    m.login.Password1.text = "stale password";
    m.WhenLoginShown([&m, &c] {
      EXPECT_EQ(c.host, m.login.Server1.text);
      EXPECT_EQ(c.user, m.login.Username1.text);
      EXPECT_EQ(c.password, m.login.Password1.text);
      m.login.Password1.text = "typed";
      m.screen.QueueClick(m.login, m.login.Ok1);
    });
    m.Installed("2.3.7");
    EXPECT_TRUE(m.Run());
    EXPECT_EQ(c.shown ? 1 : 0, m.login_showings);
    EXPECT_EQ(c.shown ? "typed" : c.password, m.settings.DbPassword);
    if (!c.shown) {
      EXPECT_EQ(c.host, m.login.Server1.text);
      EXPECT_EQ(c.user, m.login.Username1.text);
      EXPECT_EQ(c.password, m.login.Password1.text);
    }
  }
}

TEST(VersionGateTest, OkCopiesTheEditsBackExactly) {
  Machine m;
  m.settings.DbPassword = "";
  m.WhenLoginShown([&m] {
    m.login.Server1.text = "";
    m.login.Username1.text = " admin ";
    m.login.Password1.text = "pa ss";
    m.screen.QueueClick(m.login, m.login.Ok1);
  });
  m.Installed("2.3.7");
  EXPECT_TRUE(m.Run());
  EXPECT_EQ("", m.settings.DbHost);
  EXPECT_EQ(" admin ", m.settings.DbUser);
  EXPECT_EQ("pa ss", m.settings.DbPassword);
  ASSERT_EQ(1u, m.pq.connects.size());
  EXPECT_EQ(" admin ", m.pq.connects[0]["user"]);
  EXPECT_EQ("pa ss", m.pq.connects[0]["password"]);
}

TEST(VersionGateTest, CancelledLoginAsksWhetherToContinueWithTheSettingsUnchanged) {
  for (const int answer : {kIdYes, kIdNo, 0}) {
    SCOPED_TRACE(answer);
    Machine m;
    m.settings.DbPassword = "";
    m.WhenLoginShown([&m] {
      m.login.Username1.text = "typed user";
      m.login.Password1.text = "typed password";
      m.screen.QueueClick(m.login, m.login.Cancel1);
    });
    m.Box(kContinue, kErrorQuestion, answer);
    if (answer != kIdNo) m.Installed("2.3.7");
    EXPECT_EQ(answer != kIdNo, m.Run());
    EXPECT_EQ("root", m.settings.DbUser);
    EXPECT_EQ("", m.settings.DbPassword);
    EXPECT_EQ(answer == kIdNo ? 0u : 1u, m.pq.connects.size());
  }
}

TEST(VersionGateTest, RetryShowsTheLoginAgainWhileASettingIsStillEmpty) {
  Machine m;
  m.settings.DbPassword = "";
  m.WhenLoginShown([&m] {
    if (m.login_showings == 1) {
      m.login.Password1.text = "not confirmed";
      m.screen.QueueCloseBox(m.login);
    } else {
      // The unconfirmed password is gone: the edit holds the setting again.
      EXPECT_EQ("", m.login.Password1.text);
      m.login.Password1.text = "secret";
      m.screen.QueueClick(m.login, m.login.Ok1);
    }
  });
  m.Box(kContinue, kErrorQuestion, kIdYes);
  m.pq.connect_errors.push_back(kPasswordRefused);
  m.Box(TryAgain(kPasswordRefused), kErrorQuestion, kIdYes);
  m.Installed("2.3.7");
  EXPECT_TRUE(m.Run());
  EXPECT_EQ(2, m.login_showings);
  EXPECT_EQ("secret", m.settings.DbPassword);
}

TEST(VersionGateTest, RetryAfterARefusedPasswordTriesTheSameCredentials) {
  Machine m;
  m.settings.DbPassword = "";
  m.WhenLoginShown([&m] {
    m.login.Password1.text = "wrong";
    m.screen.QueueClick(m.login, m.login.Ok1);
  });
  m.pq.connect_errors = {kPasswordRefused, kPasswordRefused};
  m.Box(TryAgain(kPasswordRefused), kErrorQuestion, kIdYes);
  m.Box(TryAgain(kPasswordRefused), kErrorQuestion, kIdNo);
  EXPECT_FALSE(m.Run());
  EXPECT_EQ(1, m.login_showings);
  ASSERT_EQ(2u, m.pq.connects.size());
  EXPECT_EQ("wrong", m.pq.connects[0]["password"]);
  EXPECT_EQ("wrong", m.pq.connects[1]["password"]);
}

}  // namespace
