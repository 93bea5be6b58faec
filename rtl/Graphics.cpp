// Checking and keeping bitmap file images.
#include "rtl/Graphics.h"

#include <cstdint>

#include "rtl/Exceptions.h"

namespace {

std::uint32_t U16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kRgb = 0, kBitFields = 3;
constexpr std::int64_t kMaxSide = 32767;

}  // namespace

BitmapLayout ParseBitmapImage(const unsigned char* data, std::size_t size) {
    constexpr std::size_t kFileHeader = 14;
    if (size < kFileHeader + 40 || data[0] != 'B' || data[1] != 'M') throw EInvalidGraphic();
    const std::uint64_t bitsOffset = U32(data + 10);
    const unsigned char* info = data + kFileHeader;
    const std::uint32_t headerSize = U32(info);
    if (headerSize < 40 || headerSize > 124 || kFileHeader + headerSize > size) throw EInvalidGraphic();
    const std::int64_t width = static_cast<std::int32_t>(U32(info + 4));
    const std::int64_t height = static_cast<std::int32_t>(U32(info + 8));
    const std::uint32_t planes = U16(info + 12), bitCount = U16(info + 14);
    const std::uint32_t compression = U32(info + 16), colorsUsed = U32(info + 32);
    if (width <= 0 || width > kMaxSide || height == 0 || height > kMaxSide || height < -kMaxSide) {
        throw EInvalidGraphic();
    }
    if (planes != 1) throw EInvalidGraphic();
    switch (bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: throw EInvalidGraphic();
    }
    if (compression != kRgb && !(compression == kBitFields && (bitCount == 16 || bitCount == 32))) {
        throw EInvalidGraphic();
    }
    std::uint64_t masks = (compression == kBitFields && headerSize == 40) ? 12 : 0;
    std::uint64_t colors = colorsUsed;
    if (bitCount <= 8) {
        std::uint64_t most = 1ull << bitCount;
        if (colors == 0) colors = most;
        if (colors > most) throw EInvalidGraphic();
    } else if (colors > 256) {
        throw EInvalidGraphic();
    }
    const std::uint64_t infoSize = headerSize + masks + colors * 4;
    if (kFileHeader + infoSize > bitsOffset) throw EInvalidGraphic();
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
    const std::uint64_t bitsSize = stride * rows;
    if (bitsOffset > size || bitsSize > size - bitsOffset) throw EInvalidGraphic();

    BitmapLayout layout;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(rows);
    layout.bottomUp = height > 0;
    layout.bitCount = static_cast<int>(bitCount);
    layout.infoOffset = kFileHeader;
    layout.infoSize = static_cast<std::size_t>(infoSize);
    layout.bitsOffset = static_cast<std::size_t>(bitsOffset);
    layout.bitsSize = static_cast<std::size_t>(bitsSize);
    return layout;
}

void TBitmap::LoadFromStream(TStream& stream) {
    std::string bytes(stream.Size() - stream.Position(), '\0');
    std::size_t got = bytes.empty() ? 0 : stream.Read(bytes.data(), bytes.size());
    bytes.resize(got);
    if (bytes.empty()) {
        image_.clear();
        layout_ = BitmapLayout{};
        return;
    }
    BitmapLayout layout = ParseBitmapImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    image_ = std::move(bytes);
    layout_ = layout;
}
