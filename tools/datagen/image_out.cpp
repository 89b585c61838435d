// PNG and PNM encoders for the generator's images. PNG rows use the "Sub"
// filter and zlib at a fixed level, so the same pixels give the same bytes.
#include "datagen/image_out.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

Picture make_picture(int width, int height, int channels)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.pixels.assign((size_t)width * height * channels, 0);
    return p;
}

static void put32(std::vector<uint8_t> *out, uint32_t v)
{
    out->push_back((uint8_t)(v >> 24));
    out->push_back((uint8_t)(v >> 16));
    out->push_back((uint8_t)(v >> 8));
    out->push_back((uint8_t)v);
}

static void chunk(std::vector<uint8_t> *out, const char type[4], const std::vector<uint8_t> &data)
{
    put32(out, (uint32_t)data.size());
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out->data() + start, (uInt)(out->size() - start));
    put32(out, (uint32_t)crc);
}

// `rows` holds height rows of row_bytes each; bpp is the bytes per pixel.
static std::vector<uint8_t> encode(const uint8_t *rows, int width, int height, int depth, int colour_type,
                                   size_t row_bytes, int bpp, const std::string &text)
{
    std::vector<uint8_t> raw;
    raw.reserve((row_bytes + 1) * height);
    for (int y = 0; y < height; y++) {
        const uint8_t *row = rows + row_bytes * y;
        raw.push_back(1);  // Sub
        for (size_t k = 0; k < row_bytes; k++)
            raw.push_back((uint8_t)(row[k] - (k >= (size_t)bpp ? row[k - bpp] : 0)));
    }
    uLongf packed_size = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), (uLong)raw.size(), 6) != Z_OK) {
        fprintf(stderr, "zorvex-data: PNG compression failed\n");
        exit(1);
    }
    packed.resize(packed_size);

    static const uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> out(signature, signature + 8);
    std::vector<uint8_t> header;
    put32(&header, (uint32_t)width);
    put32(&header, (uint32_t)height);
    header.push_back((uint8_t)depth);
    header.push_back((uint8_t)colour_type);
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    chunk(&out, "IHDR", header);
    if (!text.empty()) {
        static const char keyword[] = "Comment";
        std::vector<uint8_t> data(keyword, keyword + sizeof keyword);  // with its NUL separator
        data.insert(data.end(), text.begin(), text.end());
        chunk(&out, "tEXt", data);
    }
    chunk(&out, "IDAT", packed);
    chunk(&out, "IEND", {});
    return out;
}

std::vector<uint8_t> encode_png(const Picture &p, const std::string &text)
{
    static const int colour_types[5] = {0, 0, 4, 2, 6};
    return encode(p.pixels.data(), p.width, p.height, 8, colour_types[p.channels], (size_t)p.width * p.channels,
                  p.channels, text);
}

std::vector<uint8_t> encode_png_gray16(const std::vector<uint16_t> &samples, int width, int height)
{
    std::vector<uint8_t> rows((size_t)width * height * 2);
    for (size_t k = 0; k < samples.size(); k++) {
        rows[2 * k] = (uint8_t)(samples[k] >> 8);
        rows[2 * k + 1] = (uint8_t)samples[k];
    }
    return encode(rows.data(), width, height, 16, 0, (size_t)width * 2, 2, std::string());
}

std::vector<uint8_t> encode_pnm(const Picture &p)
{
    char header[64];
    snprintf(header, sizeof header, "%s\n%d %d\n255\n", p.channels == 1 ? "P5" : "P6", p.width, p.height);
    std::vector<uint8_t> out(header, header + strlen(header));
    out.insert(out.end(), p.pixels.begin(), p.pixels.end());
    return out;
}
