// Decoding a captcha image that came from a server: the formats captchas come
// in are read, anything else is refused before a decoder sees it, and so is
// an image too large to be one.
#include "tools/captcha_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovrel {
namespace {

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 2x1 picture, red then blue, as a PNG (with its checksums).
const std::string kRedBluePng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00"
    "\x00\x01\x08\x06\x00\x00\x00\xf4\x22\x7f\x8a\x00\x00\x00\x0e\x49\x44\x41\x54\x78\x9c\x63"
    "\xf8\xcf\xc0\x00\x42\xff\x01\x0f\xf9\x03\xfd\x85\x11\x99\x76\x00\x00\x00\x00\x49\x45\x4e"
    "\x44\xae\x42\x60\x82",
    71);

// The same picture as a 24-bit BMP.
std::string redBlueBmp() {
    std::string bmp = "BM";
    appendLittleEndian(bmp, 14 + 40 + 8, 4);
    appendLittleEndian(bmp, 0, 4);
    appendLittleEndian(bmp, 14 + 40, 4);
    for (const std::uint32_t field : {40u, 2u, 1u}) appendLittleEndian(bmp, field, 4);
    appendLittleEndian(bmp, 1, 2);   // planes
    appendLittleEndian(bmp, 24, 2);  // bits per pixel
    for (int i = 0; i < 6; ++i) appendLittleEndian(bmp, 0, 4);
    bmp += std::string("\x00\x00\xff\xff\x00\x00\x00\x00", 8);  // blue-green-red, padded
    return bmp;
}

// A 1x1 uncompressed TGA: a format stb_image reads, but no captcha's.
std::string oneByOneTga() {
    std::string tga(18, '\0');
    tga[2] = 2;   // uncompressed true colour
    tga[12] = 1;  // width
    tga[14] = 1;  // height
    tga[16] = 24;
    return tga + std::string("\x00\x00\xff", 3);
}

// A PNG whose header claims width x height, with no pixels after it.
std::string pngHeaderClaiming(std::uint32_t width, std::uint32_t height) {
    std::string png = kRedBluePng.substr(0, 16);
    for (const std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            png += static_cast<char>((value >> shift) & 0xFF);
    return png + std::string("\x08\x06\x00\x00\x00\x00\x00\x00\x00", 9);
}

TEST(CaptchaView, DecodesCaptchaFormatsAndRefusesTheRest) {
    const std::vector<unsigned char> redBlue{255, 0, 0, 255, 0, 0, 255, 255};
    struct Row {
        const char* name;
        std::string bytes;
        std::string why;  // empty: decoded as the red and blue picture
    };
    const Row rows[] = {
        {"png", kRedBluePng, ""},
        {"bmp", redBlueBmp(), ""},
        {"tga", oneByOneTga(), "not an image"},
        {"png signature, then garbage", kRedBluePng.substr(0, 8) + "garbage", "not an image"},
        {"nothing", "", "not an image"},
        {"a PNG claiming 8000x8000", pngHeaderClaiming(8000, 8000),
         "too large an image (8000x8000)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Picture picture;
        std::string why;
        const bool decoded = decodePicture(row.bytes, picture, why);
        EXPECT_EQ(decoded, row.why.empty());
        EXPECT_EQ(why, row.why);
        if (decoded) {
            EXPECT_EQ(picture.width, 2);
            EXPECT_EQ(picture.height, 1);
            EXPECT_EQ(picture.rgba, redBlue);
        }
    }
}

}  // namespace
}  // namespace tovrel
