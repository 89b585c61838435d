// Images the generator writes: an 8-bit pixel buffer and its encoders (PNG
// with optional text chunks, binary PPM and PGM).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;              // 1 grey, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;   // rows top to bottom
};

Picture make_picture(int width, int height, int channels);
inline uint8_t *pixel_at(Picture *p, int x, int y)
{
    return &p->pixels[((size_t)y * p->width + x) * p->channels];
}

// PNG bytes; `text` (optional) goes into one text chunk, which the game's
// reader returns as the image's option text.
std::vector<uint8_t> encode_png(const Picture &picture, const std::string &text = std::string());
// 16-bit grey PNG from samples.
std::vector<uint8_t> encode_png_gray16(const std::vector<uint16_t> &samples, int width, int height);
// "P6" for three channels, "P5" for one.
std::vector<uint8_t> encode_pnm(const Picture &picture);

// Clamps to a byte.
inline uint8_t to_byte(double v)
{
    return v <= 0 ? 0 : (v >= 255 ? 255 : (uint8_t)(v + 0.5));
}
