#include <gtest/gtest.h>

#include "formlib/Registry.h"
#include "platform/Fault.h"
#include "platform/Host.h"
#include "platform/win32/Win32TestSupport.h"

namespace {

const char kTestKey[] = "Software\\CorvantisHostTest";

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = CreateHost(0, nullptr);
    DeleteTestKey();
  }
  void TearDown() override { DeleteTestKey(); }
  static void DeleteTestKey() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY software = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view, &software) !=
          ERROR_SUCCESS)
        continue;
      RegDeleteTreeA(software, kTestKey + sizeof "Software");
      RegCloseKey(software);
    }
  }
  // Writes a value of any type next to the host, in the view it uses.
  static void SetRaw(const std::string& key, const std::string& name, DWORD type,
                     const std::string& bytes) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(handle);
  }

  std::unique_ptr<Host> host_;
};

TEST_F(Win32RegistryTest, AStringWrittenReadsBackWithItsType) {
  const std::string key = std::string(kTestKey) + "\\v2.1";
  std::unique_ptr<HostRegistryKey> opened = host_->OpenLocalMachineKey(key, false);
  EXPECT_EQ(opened, nullptr);  // not there, and not to be created
  opened = host_->OpenLocalMachineKey(key, true);
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(opened->SetStringValue("InstallDir", "C:\\Program Files\\Intranet caf\xe9"));
  EXPECT_TRUE(opened->SetStringValue("Empty", ""));
  EXPECT_TRUE(opened->SetValue("Path", RegValueType::kExpandString, "%SystemDrive%"));
  opened.reset();

  std::unique_ptr<HostRegistryKey> again = host_->OpenLocalMachineKey(key, false);
  ASSERT_NE(again, nullptr);
  std::string data;
  EXPECT_EQ(again->QueryValue("InstallDir", &data), RegValueType::kString);
  EXPECT_EQ(data, "C:\\Program Files\\Intranet caf\xe9");
  EXPECT_EQ(again->QueryValue("installdir", &data), RegValueType::kString);  // any letter case
  EXPECT_EQ(again->QueryValue("Empty", &data), RegValueType::kString);
  EXPECT_EQ(data, "");
  EXPECT_EQ(again->QueryValue("Missing", &data), RegValueType::kMissing);

  // The stored size counts the terminating zero, as the intranet's own
  // readers expect.
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &raw),
            ERROR_SUCCESS);
  DWORD type = 0;
  DWORD size = 0;
  RegQueryValueExA(raw, "InstallDir", nullptr, &type, nullptr, &size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof "C:\\Program Files\\Intranet caf\xe9");
  RegQueryValueExA(raw, "Path", nullptr, &type, nullptr, &size);
  RegCloseKey(raw);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(size, sizeof "%SystemDrive%");
}

TEST_F(Win32RegistryTest, ValuesReadWithTheTypesTheyWereStoredWith) {
  const std::string key = std::string(kTestKey) + "\\Types";
  SetRaw(key, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\php\0", 17));
  SetRaw(key, "NoZero", REG_SZ, "C:\\Apache2.2\\");  // stored without its zero
  SetRaw(key, "Build", REG_DWORD, std::string("\x2a\0\0\0", 4));
  SetRaw(key, "Blob", REG_BINARY, std::string("\x01\x02", 2));
  SetRaw(key, "List", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
  struct Case {
    const char* name;
    RegValueType type;
    std::string data;
  };
  const Case cases[] = {
      {"Expand", RegValueType::kExpandString, "%SystemRoot%\\php"},
      {"NoZero", RegValueType::kString, "C:\\Apache2.2\\"},
      {"Build", RegValueType::kDword, std::string("\x2a\0\0\0", 4)},
      {"Blob", RegValueType::kBinary, "\x01\x02"},
      {"List", RegValueType::kOther, std::string("a\0b\0\0", 5)},
      {"Nothing", RegValueType::kMissing, ""},
  };
  std::unique_ptr<HostRegistryKey> opened = host_->OpenLocalMachineKey(key, false);
  ASSERT_NE(opened, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string data = "stale";
    EXPECT_EQ(opened->QueryValue(c.name, &data), c.type);
    EXPECT_EQ(data, c.data);
  }

  // Through the registry class: text types read, a missing value is empty,
  // any other type is a fault.
  TRegistry registry(*host_);
  ASSERT_TRUE(registry.OpenKey(key, false));
  EXPECT_EQ(registry.ReadString("Expand"), "%SystemRoot%\\php");
  EXPECT_EQ(registry.ReadString("Nothing"), "");
  try {
    registry.ReadString("Build");
    FAIL() << "a DWORD read as a string";
  } catch (const RegistryFault& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Build'");
  }
}

TEST_F(Win32RegistryTest, SubkeysAreListedFromIndexZeroAndOpenRelativeToTheKey) {
  const std::string key = std::string(kTestKey) + "\\Apache Software Foundation\\Apache";
  SetRaw(key + "\\2.2.14", "ServerRoot", REG_SZ, std::string("C:\\Apache2.2\\\0", 14));
  std::unique_ptr<HostRegistryKey> apache = host_->OpenLocalMachineKey(key, false);
  ASSERT_NE(apache, nullptr);
  EXPECT_EQ(apache->EnumSubKey(0), std::optional<std::string>("2.2.14"));
  EXPECT_EQ(apache->EnumSubKey(1), std::nullopt);
  std::unique_ptr<HostRegistryKey> version = apache->OpenSubKey("2.2.14", false);
  ASSERT_NE(version, nullptr);
  std::string data;
  EXPECT_EQ(version->QueryValue("ServerRoot", &data), RegValueType::kString);
  EXPECT_EQ(data, "C:\\Apache2.2\\");
  EXPECT_EQ(apache->OpenSubKey("2.2.15", false), nullptr);
  EXPECT_NE(apache->OpenSubKey("2.2.15", true), nullptr);
  EXPECT_EQ(apache->EnumSubKey(1), std::optional<std::string>("2.2.15"));
}

TEST_F(Win32RegistryTest, KeysLieInThe32BitViewOfTheRegistry) {
  const std::string key = std::string(kTestKey) + "\\v2.1";
  ASSERT_NE(host_->OpenLocalMachineKey(key, true), nullptr);
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
    HKEY raw = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &raw);
    if (raw != nullptr) RegCloseKey(raw);
    EXPECT_EQ(status == ERROR_SUCCESS, view == KEY_WOW64_32KEY);
  }
}

}  // namespace
