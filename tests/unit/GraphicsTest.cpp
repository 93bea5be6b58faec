// Loading the background picture.
#include "rtl/Graphics.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "rtl/Exceptions.h"

namespace {

void Load(TBitmap& bitmap, const std::string& bytes) {
    TBytesStream stream(bytes);
    bitmap.LoadFromStream(stream);
}

std::string Patched(std::string image, std::size_t offset, unsigned value, int width = 4) {
    for (int i = 0; i < width; ++i) image[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return image;
}

TEST(Bitmap, KeepsAValidImageAsStored) {
    const std::string image = MakeBitmap(600, 300);
    ASSERT_EQ(image.size(), 54u + 600 * 3 * 300);
    TBitmap bitmap;
    Load(bitmap, image);
    EXPECT_EQ(bitmap.Width(), 600);
    EXPECT_EQ(bitmap.Height(), 300);
    EXPECT_TRUE(bitmap.Layout().bottomUp);
    EXPECT_EQ(bitmap.Layout().bitsOffset, 54u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bitmap.Image()), image.size()), image);
}

TEST(Bitmap, OtherDepthsAndTopDownRows) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        TBitmap bitmap;
        Load(bitmap, MakeBitmap(7, -3, bits));
        EXPECT_EQ(bitmap.Width(), 7) << bits;
        EXPECT_EQ(bitmap.Height(), 3) << bits;
        EXPECT_FALSE(bitmap.Layout().bottomUp);
    }
}

TEST(Bitmap, ZeroBytesGiveAnEmptyPicture) {
    TBitmap bitmap;
    Load(bitmap, "");
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(bitmap.Width(), 0);
}

TEST(Bitmap, InvalidImagesAreRefusedWithTheMessage) {
    const std::string good = MakeBitmap(10, 10);
    const std::string cases[] = {
        "XM" + good.substr(2),
        "BM",
        good.substr(0, 53),
        good.substr(0, good.size() - 1),      // pixel rows cut short
        Patched(good, 10, 0xFFFFFFF0),        // pixels said to lie past the end
        Patched(good, 10, 20),                // pixels said to lie inside the header
        Patched(good, 14, 12),                // header too small
        Patched(good, 14, 0x7FFFFFFF),        // header larger than the image
        Patched(good, 18, 0),                 // no width
        Patched(good, 18, 0x80000000),        // negative width
        Patched(good, 22, 0),                 // no height
        Patched(good, 22, 0x80000000),        // the most negative height
        Patched(good, 22, 100000),            // a lying height
        Patched(good, 26, 2, 2),              // two planes
        Patched(good, 28, 7, 2),              // no such depth
        Patched(good, 30, 1),                 // run-length compressed
        Patched(good, 30, 4),                 // embedded JPEG
        Patched(Patched(MakeBitmap(10, 10, 8), 46, 300), 0, 'B' | ('M' << 8), 2),  // palette too large
    };
    for (const auto& bytes : cases) {
        TBitmap bitmap;
        Load(bitmap, good);
        try {
            Load(bitmap, bytes);
            ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "\x83\x72\x83\x62\x83\x67\x83\x7D\x83\x62\x83\x76\x83\x43\x83\x81\x81\x5B"
                                   "\x83\x57\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7");  // ビットマップイメージが不正です
        }
        EXPECT_EQ(bitmap.Width(), 10);  // the picture keeps what it held
    }
}

}  // namespace
