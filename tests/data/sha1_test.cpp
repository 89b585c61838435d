// SHA-1 against the published test vectors.
#include "data/sha1.h"

#include <gtest/gtest.h>

#include <string>

static std::string sha1_of(const std::string &text, size_t piece = 0)
{
    Sha1 sha;
    sha1_init(&sha);
    if (piece == 0)
        sha1_update(&sha, text.data(), text.size());
    else
        for (size_t i = 0; i < text.size(); i += piece)
            sha1_update(&sha, text.data() + i, std::min(piece, text.size() - i));
    uint8_t digest[20];
    sha1_final(&sha, digest);
    char hex[41];
    sha1_hex(digest, hex);
    return hex;
}

TEST(Sha1, PublishedVectors)
{
    struct Case {
        std::string input;
        const char *digest;
    };
    const Case cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "a49b2446a02c645bf419f995b67091253a04a259"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(sha1_of(c.input), c.digest) << c.input.size() << " bytes";
        // Feeding the same bytes in odd-sized pieces must not change the digest.
        EXPECT_EQ(sha1_of(c.input, 7), c.digest) << c.input.size() << " bytes in pieces";
        EXPECT_EQ(sha1_of(c.input, 64), c.digest) << c.input.size() << " bytes in blocks";
    }
}

TEST(Sha1, HexComparisonIgnoresCaseAndRejectsOtherText)
{
    Sha1 sha;
    sha1_init(&sha);
    sha1_update(&sha, "abc", 3);
    uint8_t digest[20];
    sha1_final(&sha, digest);
    EXPECT_TRUE(sha1_matches_hex(digest, "a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_TRUE(sha1_matches_hex(digest, "A9993E364706816ABA3E25717850C26C9CD0D89D"));
    EXPECT_FALSE(sha1_matches_hex(digest, "a9993e364706816aba3e25717850c26c9cd0d89e"));
    EXPECT_FALSE(sha1_matches_hex(digest, "a9993e364706816aba3e25717850c26c9cd0d89"));
    EXPECT_FALSE(sha1_matches_hex(digest, "g9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_FALSE(sha1_matches_hex(digest, nullptr));
}
