// The PE checksum against the textbook word-by-word sum, and SHA-256 against known digests.
#include <gtest/gtest.h>

#include <random>

#include "PeChecksum.h"
#include "Sha256.h"

namespace {

// The checksum as it is usually written: 16-bit words, carry folded after every word.
std::uint32_t ReferenceChecksum(std::vector<std::uint8_t> bytes, std::size_t checksumOffset) {
    for (std::size_t i = checksumOffset; i < checksumOffset + 4 && i < bytes.size(); ++i) bytes[i] = 0;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        sum += bytes[i] | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<std::uint32_t>(bytes.size());
}

TEST(PeChecksumTest, MatchesTheWordByWordSumForAnyLengthAndChunking) {
    std::mt19937 random(7);
    for (std::size_t size : {0u, 1u, 2u, 3u, 5u, 64u, 1001u, 70000u}) {
        std::vector<std::uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        if (size == 70000) std::fill(bytes.begin(), bytes.begin() + 30000, 0xFF);  // carries galore
        const std::size_t field = size > 200 ? 0x98 : 0;
        MemorySource source(bytes, "test");
        EXPECT_EQ(ComputePeChecksum(source, field), ReferenceChecksum(bytes, field)) << size;

        // Fed in odd pieces, as the writer feeds it.
        std::vector<std::uint8_t> zeroed = bytes;
        for (std::size_t i = field; i < field + 4 && i < size; ++i) zeroed[i] = 0;
        PeChecksum pieces;
        for (std::size_t at = 0, step = 1; at < size; at += step, step = step * 3 % 17 + 1) {
            pieces.Add(zeroed.data() + at, std::min(step, size - at));
        }
        EXPECT_EQ(pieces.Finish(size), ReferenceChecksum(bytes, field)) << size;
    }
}

TEST(Sha256Test, KnownDigests) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        Sha256 whole;
        whole.Add(c.input.data(), c.input.size());
        EXPECT_EQ(whole.HexDigest(), c.digest);
        Sha256 pieces;
        for (std::size_t at = 0; at < c.input.size(); at += 63) pieces.Add(c.input.data() + at, std::min<std::size_t>(63, c.input.size() - at));
        EXPECT_EQ(pieces.HexDigest(), c.digest);
    }
}

}  // namespace
