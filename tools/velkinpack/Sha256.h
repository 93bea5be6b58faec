// SHA-256, fed in pieces, for the payload digests that inspect shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void Add(const void* data, std::size_t count);
    // Lower-case hexadecimal digest; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);
    std::array<std::uint32_t, 8> state_;
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};
