#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ArchiveFixtures.h"
#include "archive/TraditionalCrypto.h"

namespace {

// Known answers from archives other tools encrypted with "secret": the
// header's check byte and the plain text that follows it.
TEST(TraditionalCipher, DecryptsWhatOtherToolsEncrypted) {
  struct Case {
    const char* fixture;
    bool time_check;  // flag bit 3: the check byte is the DOS time's high byte
  };
  for (const Case c : {Case{"SevenZipEncrypted.zip", false}, Case{"InfoZipEncrypted.zip", true}}) {
    SCOPED_TRACE(c.fixture);
    const std::string bytes = Fixture(c.fixture);
    namespace f = local_header;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t data = f::kSize + Get16(p + f::kNameLength) + Get16(p + f::kExtraLength);
    const uint8_t check = static_cast<uint8_t>(c.time_check ? Get16(p + f::kModTime) >> 8
                                                            : Get32(p + f::kCrc32) >> 24);
    std::vector<uint8_t> entry(p + data, p + data + kEncryptionHeaderSize + 16);
    TraditionalCipher cipher;
    std::vector<uint8_t> copy = entry;
    EXPECT_FALSE(cipher.DecryptHeader(copy.data(), "", check));
    copy = entry;
    EXPECT_FALSE(cipher.DecryptHeader(copy.data(), "Secret", check));
    ASSERT_TRUE(cipher.DecryptHeader(entry.data(), "secret", check));
    cipher.Decrypt(entry.data() + kEncryptionHeaderSize, 16);
    EXPECT_EQ(std::string(entry.begin() + kEncryptionHeaderSize, entry.end()),
              "Read me first.\r\n");
  }
}

TEST(TraditionalCipher, BufferLoopsMatchTheByteSteps) {
  std::mt19937 random(3);
  std::vector<uint8_t> cipher_text(10000);
  for (uint8_t& b : cipher_text) b = static_cast<uint8_t>(random());
  TraditionalCipher fast, slow;
  fast.InitKeys("pass word");
  slow.InitKeys("pass word");
  std::vector<uint8_t> plain = cipher_text;
  fast.Decrypt(plain.data(), plain.size());
  for (size_t i = 0; i < cipher_text.size(); ++i) {
    const uint8_t p = cipher_text[i] ^ slow.DecryptByte();
    slow.UpdateKeys(p);
    ASSERT_EQ(plain[i], p) << i;
  }
  EXPECT_EQ(fast.Key0, slow.Key0);
  EXPECT_EQ(fast.Key1, slow.Key1);
  EXPECT_EQ(fast.Key2, slow.Key2);
  fast.InitKeys("pass word");
  fast.Encrypt(plain.data(), plain.size());
  EXPECT_EQ(plain, cipher_text);
}

}  // namespace
