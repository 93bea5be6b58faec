// The background picture: a bitmap file image kept as it was stored, ready for painting.
#pragma once

#include <cstddef>
#include <string>

#include "rtl/Classes.h"

// Where the parts of a bitmap file image lie; every range lies inside the image.
struct BitmapLayout {
    int width = 0;
    int height = 0;         // rows, always positive
    bool bottomUp = true;   // rows stored from the bottom row up
    int bitCount = 0;
    std::size_t infoOffset = 14;  // the information header, followed by masks and colours
    std::size_t infoSize = 0;
    std::size_t bitsOffset = 0;   // the pixel rows
    std::size_t bitsSize = 0;
};

// Checks a bitmap file image ("BM", an information header of 40 bytes or more, uncompressed or
// bit-field pixels in one of the usual depths, all ranges inside the image) and says where
// its parts lie; raises EInvalidGraphic otherwise.
BitmapLayout ParseBitmapImage(const unsigned char* data, std::size_t size);

class TBitmap {
public:
    TBitmap() = default;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Reads a bitmap file image from the stream's position to its end. Zero bytes give an
    // empty picture; anything that is not a valid image raises EInvalidGraphic and leaves the
    // picture as it was.
    void LoadFromStream(TStream& stream);

    bool Empty() const { return image_.empty(); }
    int Width() const { return layout_.width; }
    int Height() const { return layout_.height; }
    const BitmapLayout& Layout() const { return layout_; }
    const unsigned char* Image() const { return reinterpret_cast<const unsigned char*>(image_.data()); }

private:
    std::string image_;
    BitmapLayout layout_;
};
