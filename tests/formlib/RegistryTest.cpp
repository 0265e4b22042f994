#include <gtest/gtest.h>

#include "formlib/Registry.h"
#include "platform/Fault.h"
#include "support/FakeHost.h"
#include "support/FaultText.h"

namespace {

TEST(RegistryTest, RelativeKeysOpenBelowTheCurrentKey) {
  FakeHost host;
  host.SetString("Software\\Apache Group\\Apache\\2.2.14", "ServerRoot", "C:\\Apache2.2\\");
  TRegistry registry(host);
  ASSERT_TRUE(registry.OpenKey("Software\\Apache Group\\Apache", false));
  EXPECT_EQ(registry.SubKeyName(0), std::optional<std::string>("2.2.14"));
  EXPECT_EQ(registry.SubKeyName(1), std::nullopt);
  ASSERT_TRUE(registry.OpenKey("2.2.14", false));
  EXPECT_EQ(registry.ReadString("serverroot"), "C:\\Apache2.2\\");
  // A leading backslash opens from the root again.
  EXPECT_FALSE(registry.OpenKey("2.2.14", false));
  EXPECT_TRUE(registry.OpenKey("\\Software", false));
}

TEST(RegistryTest, ReadStringAcceptsOnlyStringTypes) {
  FakeHost host;
  host.SetValue("Software\\K", "Sz", RegValueType::kString, "text");
  host.SetValue("Software\\K", "Expand", RegValueType::kExpandString, "%TEMP%");
  host.SetValue("Software\\K", "Build", RegValueType::kDword, std::string("\x2a\0\0\0", 4));
  TRegistry registry(host);
  ASSERT_TRUE(registry.OpenKey("Software\\K", false));
  EXPECT_EQ(registry.ReadString("Sz"), "text");
  EXPECT_EQ(registry.ReadString("Expand"), "%TEMP%");
  EXPECT_EQ(registry.ReadString("Missing"), "");
  EXPECT_EQ(FaultText<RegistryFault>([&] { registry.ReadString("Build"); }),
            "Invalid data type for 'Build'");
}

TEST(RegistryTest, CreateOpensMissingKeysAndWritesStrings) {
  FakeHost host;
  TRegistry registry(host);
  EXPECT_FALSE(registry.OpenKey("Software\\Corvantis\\v2.1", false));
  ASSERT_TRUE(registry.OpenKey("Software\\Corvantis\\v2.1", true));
  registry.WriteString("InstallDir", "D:\\Web");
  EXPECT_EQ(host.Value("SOFTWARE\\corvantis\\V2.1", "installdir"), "D:\\Web");
  host.value_writes_fail = true;
  EXPECT_EQ(FaultText<RegistryFault>([&] { registry.WriteString("InstallDir", "E:\\"); }),
            "Failed to set data for 'InstallDir'");
}

TEST(RegistryTest, AnAccountWithoutWriteAccessFindsNoKey) {
  FakeHost host;
  host.AddKey("Software\\Corvantis\\v2.1");
  host.registry_writable = false;
  TRegistry registry(host);
  EXPECT_FALSE(registry.OpenKey("Software\\Corvantis\\v2.1", false));
  EXPECT_FALSE(registry.OpenKey("Software\\Corvantis\\v2.1", true));
}

}  // namespace
