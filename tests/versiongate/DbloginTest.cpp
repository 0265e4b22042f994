#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "support/InstallerWorld.h"
#include "versiongate/Dblogin.h"

namespace {

struct DbloginTest : ::testing::Test, InstallerWorld {};

TEST_F(DbloginTest, EnterConfirmsWhateverTheEditsHoldEmptyOnesIncluded) {
  settings.DbHost = "db.example";
  settings.DbUser = "admin";
  login.Password1.text = "filled by the caller";
  WhenLoginShown([this] {
    // The show step has filled user and server and left the password alone.
    EXPECT_EQ("db.example", login.Server1.text);
    EXPECT_EQ("admin", login.Username1.text);
    EXPECT_EQ("filled by the caller", login.Password1.text);
    EXPECT_TRUE(login.Cancelled);
    login.Server1.text = "";
    login.Username1.text = " typed user ";
    login.Password1.text = "s3cret";
    screen.QueueClick(login, login.Ok1);  // Enter presses the default button
  });

  EXPECT_TRUE(login.ShowLogin());
  EXPECT_EQ(1, login_showings);
  EXPECT_EQ("", login.Server1.text);
  EXPECT_EQ(" typed user ", login.Username1.text);
  EXPECT_EQ("s3cret", login.Password1.text);
  EXPECT_FALSE(login.displayed);
  // The dialog never writes the settings itself.
  EXPECT_EQ("db.example", settings.DbHost);
  EXPECT_EQ("admin", settings.DbUser);
  EXPECT_EQ("", settings.DbPassword);
}

TEST_F(DbloginTest, EveryWayButOkCountsAsCancel) {
  struct Case {
    const char* name;
    std::function<void()> user;
  };
  const Case cases[] = {
      {"Esc presses Cancel", [this] { screen.QueueClick(login, login.Cancel1); }},
      {"close box", [this] { screen.QueueCloseBox(login); }},
      {"end of input", [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WhenLoginShown([this, &c] {
      login.Password1.text = "typed";
      c.user();
    });
    EXPECT_FALSE(login.ShowLogin());
    EXPECT_TRUE(login.Cancelled);
    EXPECT_FALSE(login.displayed);
    EXPECT_EQ("typed", login.Password1.text);  // the edits keep their text
    screen.events.clear();
  }
}

TEST_F(DbloginTest, SecondShowingRefillsUserAndServerButNotThePassword) {
  WhenLoginShown([this] {
    login.Server1.text = "first server";
    login.Username1.text = "first user";
    login.Password1.text = "first password";
    screen.QueueClick(login, login.Cancel1);
  });
  ASSERT_FALSE(login.ShowLogin());

  settings.DbHost = "second host";
  settings.DbUser = "second user";
  WhenLoginShown([this] {
    EXPECT_EQ("second host", login.Server1.text);
    EXPECT_EQ("second user", login.Username1.text);
    EXPECT_EQ("first password", login.Password1.text);
    screen.QueueClick(login, login.Ok1);
  });
  EXPECT_TRUE(login.ShowLogin());
  EXPECT_EQ(2, login_showings);
}

TEST_F(DbloginTest, ShowingItWhileOnScreenBringsItToTheFrontAndReturnsFalseAtOnce) {
  bool inner = true;
  WhenLoginShown([this, &inner] {
    inner = login.ShowLogin();
    EXPECT_TRUE(login.Cancelled);  // the inner call changed nothing
    screen.QueueClick(login, login.Ok1);
  });

  EXPECT_TRUE(login.ShowLogin());
  EXPECT_FALSE(inner);
  EXPECT_EQ(1, login_showings);
  EXPECT_NE(screen.ui_log.end(),
            std::find(screen.ui_log.begin(), screen.ui_log.end(), "front DBLoginForm1"));
}

}  // namespace
