#include <gtest/gtest.h>

#include "platform/WindowsPath.h"

namespace {

TEST(WindowsPathTest, CanonicalFormOfANameWithADrive) {
  const struct {
    const char* name;
    std::optional<std::string> full;
  } cases[] = {
      {"c:/Intranet//include/..", "C:\\Intranet"},
      {"C:\\Intranet\\include\\", "C:\\Intranet\\include"},
      {"C:\\", "C:\\"},
      {"d:/./a/../../..", "D:\\"},  // ".." stops at the drive
      {"C:\\R&D && Web", "C:\\R&D && Web"},
      {"Intranet", std::nullopt},
      {"C:", std::nullopt},
      {"C:Intranet", std::nullopt},
      {"\\\\server\\share", std::nullopt},
      {"1:\\x", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& k : cases) EXPECT_EQ(CanonicalWindowsPath(k.name), k.full) << k.name;
}

}  // namespace
