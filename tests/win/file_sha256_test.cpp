#include "base/file_sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "app/inputs/setup_digest.h"
#include "tests/win/test_folders.h"

namespace {

TEST(FileSha256, KnownVectorsAndAMissingFile) {
  const struct {
    std::string content;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // Several reads' worth of the same letter.
      {std::string(100000, 'a'),
       "6d1cf22d7cc09b085dfc25ee1a1f3ae0265804c607bc2074ad253bcc82fd81ee"},
  };
  const TempTestFolder folder("orvex_sha256");
  for (const auto& c : cases) {
    const std::string path = folder / "setup.exe";
    WriteFileText(path, c.content);
    Sha256Digest digest{};
    ASSERT_TRUE(FileSha256(path.c_str(), &digest));
    EXPECT_EQ(DigestText(digest), c.digest) << c.content.size();
  }
  Sha256Digest digest{};
  EXPECT_FALSE(FileSha256("C:\\no-such-folder\\setup.exe", &digest));
}

}  // namespace
