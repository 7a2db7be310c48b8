#include <gtest/gtest.h>

#include "Helpers/CryptoHashing.h"

namespace vorn::tally {
namespace {

TEST(CryptoHashingTests, SaltIsAppendedBeforeHashing) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(CryptoHashing::sha256("abc", ""), abc);
    EXPECT_EQ(CryptoHashing::sha256("ab", "c"), abc);
    EXPECT_EQ(CryptoHashing::sha256("", "abc"), abc);
    EXPECT_NE(CryptoHashing::sha256("c", "ab"), abc);
}

TEST(CryptoHashingTests, EmptyAndNonASCIIInput) {
    EXPECT_EQ(CryptoHashing::sha256("", ""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // Hashed by its UTF-8 bytes, so splitting a character between text and salt changes
    // nothing.
    EXPECT_EQ(CryptoHashing::sha256("\xC3\xA9", ""),
              "4a99557e4033c3539de2eb65472017cad5f9557f7a0625a09f1c3f6e2ba69c4c");
    EXPECT_EQ(CryptoHashing::sha256("\xC3", "\xA9"), CryptoHashing::sha256("\xC3\xA9", ""));
}

}  // namespace
}  // namespace vorn::tally
