// PNG through libpng over data streams: colour images with their text
// chunks, 16-bit grey height images, and the RGB and 16-bit grey writers.
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/image.h"
#include "data/image_local.h"
#include "data/stream.h"
#include "platform/log.h"

// The ".info" file beside an image is option text, never a big file.
static const size_t INFO_MAX_BYTES = (size_t)1 << 20;
static const size_t PNG_CHUNK_MAX_BYTES = (size_t)1 << 20;
static const size_t PNG_FILE_MAX_BYTES = (size_t)512 << 20;

// Everything a read owns lives here, outside the frame that calls setjmp,
// so that a longjmp from libpng can release it.
struct PngRead {
    png_structp png;
    png_infop info;
    png_infop end_info;
    uint8_t *rows;        // level 0 as it arrives (grown with realloc)
    size_t capacity;
    std::string *text;    // joined text chunks, or null when not wanted
};

// The file after its signature, read whole before libpng sees it so that
// every chunk length can be checked against the bytes really there: libpng
// allocates (and clears) what a chunk header claims before reading it.
struct PngBytes {
    std::vector<uint8_t> bytes;
    size_t position;
};

static void png_memory_read(png_structp png, png_bytep data, size_t length)
{
    PngBytes *source = (PngBytes *)png_get_io_ptr(png);
    if (source->bytes.size() - source->position < length)
        png_error(png, "Truncated PNG data");
    memcpy(data, source->bytes.data() + source->position, length);
    source->position += length;
}

static uint32_t big_endian32(const uint8_t *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Reads the stream to its end (growing only as data arrives) and checks that
// the chunks up to IEND fit in it.
static bool png_slurp(DataStream *stream, PngBytes *source)
{
    source->bytes.clear();
    source->position = 0;
    const size_t chunk = 65536;
    for (;;) {
        size_t had = source->bytes.size();
        if (had >= PNG_FILE_MAX_BYTES) {
            set_image_error("PNG file too large");
            return false;
        }
        source->bytes.resize(had + chunk);
        size_t got = stream_read(stream, source->bytes.data() + had, chunk);
        source->bytes.resize(had + got);
        if (got < chunk)
            break;
    }
    const uint8_t *data = source->bytes.data();
    size_t size = source->bytes.size(), at = 0;
    for (;;) {
        if (size - at < 8) {
            set_image_error("Truncated PNG data");
            return false;
        }
        uint32_t length = big_endian32(data + at);
        if (length > 0x7fffffffu || (size_t)length + 4 > size - at - 8) {
            set_image_error("Truncated PNG data");
            return false;
        }
        if (!memcmp(data + at + 4, "IEND", 4))
            return true;
        at += 12 + (size_t)length;
    }
}

static void png_stream_write(png_structp png, png_bytep data, size_t length)
{
    DataStream *stream = (DataStream *)png_get_io_ptr(png);
    if (stream_write(stream, data, length) != length)
        png_error(png, "Write error");
}

static void png_stream_flush(png_structp png)
{
    DataStream *stream = (DataStream *)png_get_io_ptr(png);
    stream_flush(stream);
}

static void png_fail(png_structp png, png_const_charp message)
{
    set_image_error("PNG error: %s", message);
    png_longjmp(png, 1);
}

static void png_warn(png_structp, png_const_charp message)
{
    if (debug_level > 1)
        vark_log("PNG warning: %s\n", message);
}

static bool png_begin_read(PngRead *r, DataStream *stream, PngBytes *source)
{
    memset(r, 0, sizeof *r);
    png_byte signature[8];
    if (stream_read(stream, signature, 8) != 8 || png_sig_cmp(signature, 0, 8)) {
        set_image_error("Not a PNG file");
        return false;
    }
    if (!png_slurp(stream, source))
        return false;
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_warn);
    if (!r->png) {
        set_image_error("PNG error: out of memory");
        return false;
    }
    r->info = png_create_info_struct(r->png);
    r->end_info = png_create_info_struct(r->png);
    if (!r->info || !r->end_info) {
        png_destroy_read_struct(&r->png, &r->info, &r->end_info);
        set_image_error("PNG error: out of memory");
        return false;
    }
    png_set_read_fn(r->png, source, png_memory_read);
    png_set_sig_bytes(r->png, 8);
    png_set_user_limits(r->png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    // Ancillary chunks (text, profiles) are small in any image of ours; a
    // length field claiming megabytes must not become an allocation.
    png_set_chunk_malloc_max(r->png, PNG_CHUNK_MAX_BYTES);
    png_set_chunk_cache_max(r->png, 256);
    return true;
}

static void png_end_read(PngRead *r)
{
    png_destroy_read_struct(&r->png, &r->info, &r->end_info);
    free(r->rows);
    r->rows = nullptr;
}

static void append_text(PngRead *r, png_infop info)
{
    if (!r->text)
        return;
    png_textp chunks = nullptr;
    int count = png_get_text(r->png, info, &chunks, nullptr);
    for (int i = 0; i < count; i++) {
        if (!chunks[i].text)
            continue;
        if (!r->text->empty())
            r->text->push_back('\n');
        r->text->append(chunks[i].text);
    }
}

// Reads the rows (after the transforms were set up) into r->rows, which ends
// up holding height * row_bytes bytes. Non-interlaced images grow the buffer
// only as rows arrive, so a truncated file costs what it holds.
static void png_read_rows(PngRead *r, size_t row_bytes, int height, int passes)
{
    size_t total = row_bytes * (size_t)height;
    if (passes > 1) {
        r->rows = (uint8_t *)image_malloc(total);
        r->capacity = total;
        memset(r->rows, 0, total);
        for (int pass = 0; pass < passes; pass++)
            for (int y = 0; y < height; y++)
                png_read_row(r->png, r->rows + (size_t)y * row_bytes, nullptr);
        return;
    }
    for (int y = 0; y < height; y++) {
        size_t need = (size_t)(y + 1) * row_bytes;
        if (need > r->capacity) {
            size_t grown = r->capacity ? r->capacity * 2 : row_bytes * 16;
            if (grown < need)
                grown = need;
            if (grown > total)
                grown = total;
            r->rows = (uint8_t *)image_realloc(r->rows, grown);
            r->capacity = grown;
        }
        png_read_row(r->png, r->rows + (size_t)y * row_bytes, nullptr);
    }
}

// Level 0 of a colour PNG into r->rows; false after an error (already set).
static bool png_read_colour(PngRead *r, int *width, int *height, int *channels)
{
    if (setjmp(png_jmpbuf(r->png)))
        return false;
    png_read_info(r->png, r->info);
    png_uint_32 w = png_get_image_width(r->png, r->info);
    png_uint_32 h = png_get_image_height(r->png, r->info);
    int depth = png_get_bit_depth(r->png, r->info);
    int colour = png_get_color_type(r->png, r->info);
    if (!image_size_ok((int)w, (int)h))
        png_error(r->png, "image too large");
    append_text(r, r->info);
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(r->png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(r->png);
    if (png_get_valid(r->png, r->info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(r->png);
    if (depth == 16)
        png_set_strip_16(r->png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(r->png);
    int passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    int ch = png_get_channels(r->png, r->info);
    size_t row_bytes = png_get_rowbytes(r->png, r->info);
    if ((ch != 3 && ch != 4) || row_bytes != (size_t)w * ch)
        png_error(r->png, "unexpected pixel layout");
    png_read_rows(r, row_bytes, (int)h, passes);
    png_read_end(r->png, r->end_info);
    append_text(r, r->end_info);
    *width = (int)w;
    *height = (int)h;
    *channels = ch;
    return true;
}

bool read_png_stream(DataStream *stream, DecodedImage *image)
{
    PngRead r;
    PngBytes source;
    if (!png_begin_read(&r, stream, &source))
        return false;
    std::string text;
    r.text = &text;
    int w = 0, h = 0, ch = 0;
    bool ok = png_read_colour(&r, &w, &h, &ch);
    if (ok) {
        free_decoded_image(image);
        image->pixels = (uint8_t *)image_realloc(r.rows, mip_chain_bytes(w, h, ch));
        r.rows = nullptr;
        image->width = w;
        image->height = h;
        image->channels = ch;
        image->options = text;
    }
    png_end_read(&r);
    return ok;
}

bool read_png_image(const char *name, DecodedImage *image)
{
    DataStream *stream = stream_open(name, "rb");
    if (!stream) {
        set_image_error("Can't open '%.900s'", name);
        return false;
    }
    bool ok = read_png_stream(stream, image);
    stream_close(stream);
    if (!ok)
        return false;
    std::string info_name = std::string(name) + ".info";
    if (DataStream *info = stream_open(info_name.c_str(), "rb")) {
        std::string content;
        char buffer[4096];
        size_t got;
        while (content.size() < INFO_MAX_BYTES && (got = stream_read(info, buffer, sizeof buffer)) > 0)
            content.append(buffer, got);
        stream_close(info);
        if (!image->options.empty() && !content.empty())
            image->options.push_back('\n');
        image->options += content;
    }
    return true;
}

// --- 16-bit grey ------------------------------------------------------------------

static bool png_read_gray16(PngRead *r, int *width, int *height, bool *wide)
{
    if (setjmp(png_jmpbuf(r->png)))
        return false;
    png_read_info(r->png, r->info);
    png_uint_32 w = png_get_image_width(r->png, r->info);
    png_uint_32 h = png_get_image_height(r->png, r->info);
    int depth = png_get_bit_depth(r->png, r->info);
    int colour = png_get_color_type(r->png, r->info);
    if (!image_size_ok((int)w, (int)h))
        png_error(r->png, "image too large");
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(r->png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(r->png);
    if (depth == 16)
        png_set_swap(r->png);  // little-endian samples
    if (colour & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(r->png);
    if (colour & PNG_COLOR_MASK_COLOR)
        png_set_rgb_to_gray_fixed(r->png, 1, -1, -1);
    int passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    int sample_bytes = png_get_bit_depth(r->png, r->info) == 16 ? 2 : 1;
    size_t row_bytes = png_get_rowbytes(r->png, r->info);
    if (png_get_channels(r->png, r->info) != 1 || row_bytes != (size_t)w * sample_bytes)
        png_error(r->png, "unexpected pixel layout");
    png_read_rows(r, row_bytes, (int)h, passes);
    png_read_end(r->png, nullptr);
    *width = (int)w;
    *height = (int)h;
    *wide = sample_bytes == 2;
    return true;
}

bool read_png_gray16_stream(DataStream *stream, uint16_t **samples, int *width, int *height)
{
    *samples = nullptr;
    PngRead r;
    PngBytes source;
    if (!png_begin_read(&r, stream, &source))
        return false;
    int w = 0, h = 0;
    bool wide = false;
    bool ok = png_read_gray16(&r, &w, &h, &wide);
    if (ok) {
        size_t count = (size_t)w * h;
        uint8_t *bytes = (uint8_t *)image_realloc(r.rows, count * 2);
        r.rows = nullptr;
        uint16_t *out = (uint16_t *)bytes;
        if (!wide) {
            // Backwards, so that no byte is overwritten before it is widened.
            for (size_t i = count; i-- > 0;) {
                uint16_t v = bytes[i];
                out[i] = (uint16_t)(v * 257);
            }
        }
        *samples = out;
        *width = w;
        *height = h;
    }
    png_end_read(&r);
    return ok;
}

bool load_png_gray16(const char *name, uint16_t **samples, int *width, int *height)
{
    *samples = nullptr;
    DataStream *stream = stream_open(name, "rb");
    if (!stream) {
        set_image_error("Can't open '%.900s'", name);
        return false;
    }
    bool ok = read_png_gray16_stream(stream, samples, width, height);
    stream_close(stream);
    if (!ok)
        vark_log("Can't read '%.900s': %s\n", name, last_image_error());
    return ok;
}

void free_gray16(uint16_t *samples)
{
    free(samples);
}

// --- writers ------------------------------------------------------------------------

static bool png_write_rows(png_structp png, png_infop info, const uint8_t *data, int width, int height,
                           int depth, int colour, size_t row_bytes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, depth, colour, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (depth == 16)
        png_set_swap(png);  // our samples are little-endian, PNG's big-endian
    for (int y = 0; y < height; y++)
        png_write_row(png, (png_const_bytep)(data + (size_t)y * row_bytes));
    png_write_end(png, info);
    return true;
}

static bool write_png(const char *name, const uint8_t *data, int width, int height, int depth, int colour,
                      size_t row_bytes)
{
    if (!data || width < 1 || height < 1 || width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) {
        set_image_error("Bad image size for '%.900s'", name);
        return false;
    }
    DataStream *stream = stream_open(name, "wb");
    if (!stream) {
        set_image_error("Can't create '%.900s'", name);
        vark_log("Can't create '%.900s'\n", name);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_warn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info) {
        png_set_write_fn(png, stream, png_stream_write, png_stream_flush);
        ok = png_write_rows(png, info, data, width, height, depth, colour, row_bytes);
    }
    png_destroy_write_struct(&png, &info);
    if (stream_flush(stream) != 0)
        ok = false;
    stream_close(stream);
    if (!ok)
        vark_log("Can't write '%.900s': %s\n", name, last_image_error());
    return ok;
}

bool write_png_rgb(const char *name, const uint8_t *pixels, int width, int height)
{
    return write_png(name, pixels, width, height, 8, PNG_COLOR_TYPE_RGB, (size_t)width * 3);
}

bool write_png_gray16(const char *name, const uint16_t *samples, int width, int height)
{
    return write_png(name, (const uint8_t *)samples, width, height, 16, PNG_COLOR_TYPE_GRAY, (size_t)width * 2);
}
