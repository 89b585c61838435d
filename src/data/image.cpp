// Image readers for the text-headed formats (PPM, PGM, Q6/Q7, ".seq", link
// files), mipmap chains, the link table and the CPU image cache.
#include "data/image.h"

#include <strings.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/image_local.h"
#include "data/render_settings.h"
#include "data/stream.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/message_log.h"

int64_t image_max_pixels = (int64_t)8192 * 8192;
int load_generation = 0;
int64_t texture_memory = 0;
const char *const link_cycle_texture = "@colors/white.png";

// A ".seq" may name the same large PNG many times; its images together may
// not hold more than this.
static const size_t SEQUENCE_MAX_BYTES = (size_t)512 << 20;
static const int SEQUENCE_MAX_FRAMES = 1000000;
static const int SEQUENCE_MAX_IMAGES = 100000;
static const int LINK_MAX_BYTES = 1023;

static char image_error[256];

// Per process: the link table and the image cache, in loading order.
struct LinkEntry {
    std::string link;
    std::string target;
};
static std::vector<LinkEntry> links;
static std::vector<ImageCacheEntry> images;

void set_image_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(image_error, sizeof image_error, format, args);
    va_end(args);
}

const char *last_image_error()
{
    return image_error;
}

static void out_of_memory()
{
    vark_message_box("Error", "Out of virtual memory");
    exit(1);
}

void *image_malloc(size_t size)
{
    void *block = malloc(size ? size : 1);
    if (!block)
        out_of_memory();
    return block;
}

void *image_realloc(void *block, size_t size)
{
    void *grown = realloc(block, size ? size : 1);
    if (!grown)
        out_of_memory();
    return grown;
}

bool image_size_ok(int width, int height)
{
    return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
           (int64_t)width * height <= image_max_pixels;
}

void free_decoded_image(DecodedImage *image)
{
    if (!image)
        return;
    free(image->pixels);
    image->pixels = nullptr;
    image->width = image->height = image->channels = 0;
    image->options.clear();
}

// --- mipmap chains -------------------------------------------------------

bool is_power_of_two(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

static int half(int n)
{
    return n > 1 ? n / 2 : 1;
}

static int next_power_of_two(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int mip_level_count(int width, int height)
{
    int count = 1;
    while (width > 1 || height > 1) {
        width = half(width);
        height = half(height);
        count++;
    }
    return count;
}

size_t mip_level_offset(int width, int height, int channels, int level)
{
    size_t offset = 0;
    for (int i = 0; i < level; i++) {
        offset += (size_t)width * height * channels;
        width = half(width);
        height = half(height);
    }
    return offset;
}

size_t mip_chain_bytes(int width, int height, int channels)
{
    return mip_level_offset(width, height, channels, mip_level_count(width, height)) + channels;
}

uint8_t *alloc_image_pixels(int width, int height, int channels)
{
    if (!image_size_ok(width, height) || channels < 1 || channels > 4)
        return nullptr;
    return (uint8_t *)image_malloc(mip_chain_bytes(width, height, channels));
}

void free_image_pixels(uint8_t *pixels)
{
    free(pixels);
}

// One level from the one before it (source w x h).
static void shrink_level(const uint8_t *source, int w, int h, uint8_t *target, int channels, bool max_alpha)
{
    int tw = half(w), th = half(h);
    int nx = w > 1 ? 2 : 1, ny = h > 1 ? 2 : 1;
    int n = nx * ny;
    for (int y = 0; y < th; y++) {
        for (int x = 0; x < tw; x++) {
            const uint8_t *covered[4];
            int k = 0;
            for (int j = 0; j < ny; j++)
                for (int i = 0; i < nx; i++)
                    covered[k++] = source + ((size_t)(y * ny + j) * w + (size_t)(x * nx + i)) * channels;
            uint8_t *out = target + ((size_t)y * tw + x) * channels;
            if (channels != 4) {
                for (int c = 0; c < channels; c++) {
                    int sum = 0;
                    for (int i = 0; i < n; i++)
                        sum += covered[i][c];
                    out[c] = (uint8_t)(sum / n);
                }
                continue;
            }
            int alpha_sum = 0, alpha_max = 0, opaque = 0;
            for (int i = 0; i < n; i++) {
                int a = covered[i][3];
                alpha_sum += a;
                if (a > alpha_max)
                    alpha_max = a;
                if (a == 255)
                    opaque++;
            }
            bool plain = alpha_sum == 0 || opaque == n;
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int i = 0; i < n; i++)
                    sum += plain ? covered[i][c] : covered[i][c] * covered[i][3];
                out[c] = (uint8_t)(plain ? sum / n : sum / alpha_sum);
            }
            out[3] = (uint8_t)(max_alpha ? alpha_max : alpha_sum / n);
        }
    }
}

// Levels after `first` from level `first`.
static void build_levels_from(uint8_t *pixels, int width, int height, int channels, int first, bool max_alpha)
{
    int count = mip_level_count(width, height);
    size_t offset = mip_level_offset(width, height, channels, first);
    int w = width, h = height;
    for (int i = 0; i < first; i++) {
        w = half(w);
        h = half(h);
    }
    for (int level = first + 1; level < count; level++) {
        size_t next = offset + (size_t)w * h * channels;
        shrink_level(pixels + offset, w, h, pixels + next, channels, max_alpha);
        offset = next;
        w = half(w);
        h = half(h);
    }
}

void build_mip_chain_alpha(uint8_t *pixels, int width, int height, int channels, bool max_alpha)
{
    if (pixels && width > 0 && height > 0)
        build_levels_from(pixels, width, height, channels, 0, max_alpha);
}

void build_mip_chain(uint8_t *pixels, int width, int height, int channels)
{
    build_mip_chain_alpha(pixels, width, height, channels, false);
}

static bool has_marker(const std::string &options, const char *marker)
{
    return options.find(marker) != std::string::npos;
}

// Cuts the levels of a "[mip_custom]" image out of it: level 0 is the top
// width x (2h/3) block, each next level goes below the previous one while it
// fits above the bottom edge, else to its right. Levels that fit nowhere
// (narrow images) are averaged from the last one cut.
static bool cut_custom_levels(DecodedImage *image, bool max_alpha)
{
    int w = image->width, full_height = image->height, ch = image->channels;
    int h = full_height * 2 / 3;
    uint8_t *out = alloc_image_pixels(w, h, ch);
    if (!out)
        return false;
    int count = mip_level_count(w, h);
    int x = 0, y = 0, lw = w, lh = h;
    int last = 0;
    for (int level = 0; level < count; level++) {
        if (level > 0) {
            int nw = half(lw), nh = half(lh);
            if (y + lh + nh <= full_height) {
                y += lh;
            } else {
                x += lw;
            }
            lw = nw;
            lh = nh;
            if (x + lw > w || y + lh > full_height)
                break;
        }
        uint8_t *target = out + mip_level_offset(w, h, ch, level);
        for (int row = 0; row < lh; row++)
            memcpy(target + (size_t)row * lw * ch, image->pixels + ((size_t)(y + row) * w + x) * ch, (size_t)lw * ch);
        last = level;
    }
    if (last + 1 < count)
        build_levels_from(out, w, h, ch, last, max_alpha);
    free(image->pixels);
    image->pixels = out;
    image->height = h;
    return true;
}

void prepare_mip_chain(DecodedImage *image, const char *name)
{
    if (!image || !image->pixels)
        return;
    bool max_alpha = has_marker(image->options, "[mip_max_alpha]");
    if (has_marker(image->options, "[mip_custom]")) {
        if ((2 * image->height) % 3 == 0 && cut_custom_levels(image, max_alpha))
            return;
        post_messagef("Warning: Invalid height for custom MIP map in '%.950s'", name);
    }
    build_mip_chain_alpha(image->pixels, image->width, image->height, image->channels, max_alpha);
}

bool resample_to_power_of_two(DecodedImage *image, const char *name, bool warn)
{
    int w = image->width, h = image->height, ch = image->channels;
    if (is_power_of_two(w) && is_power_of_two(h))
        return true;
    if (warn)
        post_messagef("Warning: Non power of 2 texture '%.950s'", name);
    int big_w = next_power_of_two(w), big_h = next_power_of_two(h);
    uint8_t *out = alloc_image_pixels(big_w, big_h, ch);
    if (!out) {
        set_image_error("Image too large to resample (%dx%d)", big_w, big_h);
        return false;
    }
    for (int y = 0; y < big_h; y++) {
        int sy = (int)((int64_t)y * h / big_h);
        for (int x = 0; x < big_w; x++) {
            int sx = (int)((int64_t)x * w / big_w);
            memcpy(out + ((size_t)y * big_w + x) * ch, image->pixels + ((size_t)sy * w + sx) * ch, (size_t)ch);
        }
    }
    build_mip_chain_alpha(out, big_w, big_h, ch, has_marker(image->options, "[mip_max_alpha]"));
    free(image->pixels);
    image->pixels = out;
    image->width = big_w;
    image->height = big_h;
    return true;
}

void drop_mip_levels(DecodedImage *image, int levels)
{
    int ch = image->channels;
    while (levels > 0 && image->width > 128 && image->height > 128) {
        size_t top = (size_t)image->width * image->height * ch;
        size_t rest = mip_chain_bytes(image->width, image->height, ch) - top;
        memmove(image->pixels, image->pixels + top, rest);
        image->width /= 2;
        image->height /= 2;
        levels--;
    }
}

// --- text headers and raw data --------------------------------------------------

// A decimal number, after any comment lines ("#" to the end of the line).
static bool read_header_number(DataStream *stream, int *value)
{
    char mark[2];
    while (stream_scanf(stream, " %1[#]%*[^\n]", mark) == 1) {
    }
    return stream_scanf(stream, " %d", value) == 1;
}

// Reads `count` bytes, growing the buffer only as data arrives so that a
// short file cannot make us reserve what its header claims.
static bool read_raw(DataStream *stream, size_t count, std::vector<uint8_t> *data)
{
    const size_t chunk = (size_t)1 << 20;
    data->clear();
    while (data->size() < count) {
        size_t want = count - data->size();
        if (want > chunk)
            want = chunk;
        size_t had = data->size();
        data->resize(had + want);
        size_t got = stream_read(stream, data->data() + had, want);
        if (got < want) {
            data->resize(had + got);
            return false;
        }
    }
    return true;
}

static uint8_t clamp_byte(int v)
{
    return (uint8_t)(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Undoes the predictor: `source_channels` residuals per pixel, `channels` out.
static void decode_predictive(const uint8_t *residuals, int source_channels, uint8_t *out, int channels, int w, int h)
{
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            uint8_t *p = out + ((size_t)y * w + x) * channels;
            const uint8_t *r = residuals + ((size_t)y * w + x) * source_channels;
            for (int c = 0; c < channels; c++) {
                if (c >= source_channels) {
                    p[c] = 0;
                    continue;
                }
                int prediction;
                if (x == 0 && y == 0)
                    prediction = 0;
                else if (y == 0)
                    prediction = p[c - channels];
                else if (x == 0)
                    prediction = p[c - (ptrdiff_t)w * channels];
                else
                    prediction = clamp_byte(p[c - (ptrdiff_t)w * channels] + p[c - channels] -
                                            p[c - (ptrdiff_t)w * channels - channels]);
                p[c] = (uint8_t)(prediction + r[c]);
            }
        }
    }
}

bool read_predictive_image(DataStream *stream, int source_channels, int channels, DecodedImage *image)
{
    const char *kind = source_channels == 4 ? "Q7" : "Q6";
    int w = 0, h = 0;
    if (!read_header_number(stream, &w) || !read_header_number(stream, &h)) {
        set_image_error("Can't get %s dimensions", kind);
        return false;
    }
    if (!image_size_ok(w, h)) {
        set_image_error("Bad %s dimensions (%dx%d)", kind, w, h);
        return false;
    }
    std::vector<uint8_t> residuals;
    if (stream_getc(stream) < 0 || !read_raw(stream, (size_t)w * h * source_channels, &residuals)) {
        set_image_error("Truncated %s data", kind);
        return false;
    }
    uint8_t *pixels = alloc_image_pixels(w, h, channels);
    decode_predictive(residuals.data(), source_channels, pixels, channels, w, h);
    free_decoded_image(image);
    image->pixels = pixels;
    image->width = w;
    image->height = h;
    image->channels = channels;
    return true;
}

// PPM and PGM after the magic word: `channels` samples per pixel, scaled to
// 0..255 by the maximum value. Binary files with a maximum above 255 hold
// two big-endian bytes per sample.
static bool read_pnm_body(DataStream *stream, bool binary, int channels, DecodedImage *image)
{
    const char *kind = channels == 1 ? "PGM" : "PPM";
    int w = 0, h = 0, maximum = 0;
    if (!read_header_number(stream, &w) || !read_header_number(stream, &h)) {
        set_image_error("Can't get %s dimensions", kind);
        return false;
    }
    if (!read_header_number(stream, &maximum) || maximum < 1 || maximum > 65535) {
        set_image_error("Can't parse %s header", kind);
        return false;
    }
    if (!image_size_ok(w, h)) {
        set_image_error("Bad %s dimensions (%dx%d)", kind, w, h);
        return false;
    }
    size_t count = (size_t)w * h * channels;
    std::vector<int> samples;
    if (binary) {
        int width = maximum > 255 ? 2 : 1;
        std::vector<uint8_t> data;
        if (stream_getc(stream) < 0 || !read_raw(stream, count * width, &data)) {
            set_image_error("Truncated %s data", kind);
            return false;
        }
        samples.resize(count);
        for (size_t i = 0; i < count; i++)
            samples[i] = width == 2 ? data[2 * i] << 8 | data[2 * i + 1] : data[i];
    } else {
        // Grown as samples arrive: each takes at least two bytes of the file.
        for (size_t i = 0; i < count; i++) {
            int v = 0;
            if (!read_header_number(stream, &v)) {
                set_image_error("Truncated %s data", kind);
                return false;
            }
            samples.push_back(v);
        }
    }
    uint8_t *pixels = alloc_image_pixels(w, h, channels);
    for (size_t i = 0; i < count; i++) {
        int64_t v = samples[i];
        if (maximum != 255)
            v = v * 255 / maximum;
        pixels[i] = clamp_byte((int)(v > 255 ? 255 : v));
    }
    free_decoded_image(image);
    image->pixels = pixels;
    image->width = w;
    image->height = h;
    image->channels = channels;
    return true;
}

bool read_ppm_body(DataStream *stream, bool binary, DecodedImage *image)
{
    return read_pnm_body(stream, binary, 3, image);
}

bool read_pgm_body(DataStream *stream, bool binary, DecodedImage *image)
{
    return read_pnm_body(stream, binary, 1, image);
}

static bool read_magic(DataStream *stream, char word[16])
{
    word[0] = 0;
    return stream_scanf(stream, " %15s", word) == 1;
}

bool read_rgb_image(DataStream *stream, uint8_t **pixels, int *width, int *height)
{
    *pixels = nullptr;
    char word[16];
    read_magic(stream, word);
    DecodedImage image;
    bool ok;
    if (!strcmp(word, "P3") || !strcmp(word, "P6")) {
        ok = read_ppm_body(stream, word[1] == '6', &image);
    } else if (!strcmp(word, "Q6") || !strcmp(word, "Q7")) {
        ok = read_predictive_image(stream, word[1] == '7' ? 4 : 3, 3, &image);
    } else {
        set_image_error("Can't parse PPM header");
        return false;
    }
    if (!ok)
        return false;
    build_mip_chain(image.pixels, image.width, image.height, 3);
    *pixels = image.pixels;
    *width = image.width;
    *height = image.height;
    return true;
}

bool read_pgm(DataStream *stream, uint8_t **pixels, int *width, int *height)
{
    *pixels = nullptr;
    char word[16];
    read_magic(stream, word);
    if (strcmp(word, "P2") && strcmp(word, "P5")) {
        set_image_error("Can't parse PGM header");
        return false;
    }
    DecodedImage image;
    if (!read_pgm_body(stream, word[1] == '5', &image))
        return false;
    *pixels = image.pixels;
    *width = image.width;
    *height = image.height;
    return true;
}

// --- RGBA images for the fonts ----------------------------------------------------

bool load_rgba_image(const char *name, uint8_t **pixels, int *width, int *height)
{
    *pixels = nullptr;
    DecodedImage image;
    if (!read_png_image(name, &image)) {
        DataStream *stream = stream_open(name, "rb");
        if (!stream)
            return false;
        char word[16];
        read_magic(stream, word);
        bool ok = false;
        if (!strcmp(word, "Q6") || !strcmp(word, "Q7"))
            ok = read_predictive_image(stream, word[1] == '7' ? 4 : 3, 4, &image);
        stream_close(stream);
        if (!ok)
            return false;
    }
    if (image.channels == 3) {
        uint8_t *rgba = alloc_image_pixels(image.width, image.height, 4);
        size_t count = (size_t)image.width * image.height;
        for (size_t i = 0; i < count; i++) {
            memcpy(rgba + 4 * i, image.pixels + 3 * i, 3);
            rgba[4 * i + 3] = 255;
        }
        free(image.pixels);
        image.pixels = rgba;
        image.channels = 4;
    }
    build_mip_chain(image.pixels, image.width, image.height, 4);
    *pixels = image.pixels;
    *width = image.width;
    *height = image.height;
    return true;
}

// --- ".seq" animations --------------------------------------------------------------

void free_image_sequence(ImageSequence *sequence)
{
    for (DecodedImage &image : sequence->images)
        free_decoded_image(&image);
    sequence->images.clear();
    sequence->sequence.clear();
}

static std::string trimmed(const char *text)
{
    const char *start = text;
    while (*start && isspace((unsigned char)*start))
        start++;
    const char *end = start + strlen(start);
    while (end > start && isspace((unsigned char)end[-1]))
        end--;
    return std::string(start, end);
}

// The PNG name after the word "PNG": the rest of its line, or the next line.
static bool read_sequence_png_name(DataStream *stream, std::string *name)
{
    char line[1024];
    for (int tries = 0; tries < 2; tries++) {
        if (!stream_gets(stream, line, sizeof line))
            return false;
        size_t length = strlen(line);
        // A name longer than the buffer: drop the rest of its line.
        if (length == sizeof line - 1 && line[length - 1] != '\n') {
            int c;
            while ((c = stream_getc(stream)) >= 0 && c != '\n') {
            }
        }
        *name = trimmed(line);
        if (!name->empty())
            return true;
    }
    return false;
}

static bool read_sequence_image(DataStream *stream, int index, DecodedImage *image)
{
    char word[16];
    if (!read_magic(stream, word)) {
        post_messagef("EOF while reading .seq");
        return false;
    }
    if (!strcmp(word, "Q7")) {
        if (!read_predictive_image(stream, 4, 4, image)) {
            post_messagef("Error reading .seq image %d: %s", index, last_image_error());
            return false;
        }
        return true;
    }
    if (!strcmp(word, "PNG")) {
        std::string name;
        if (!read_sequence_png_name(stream, &name)) {
            post_messagef("EOF while reading .seq");
            return false;
        }
        if (!read_png_image(name.c_str(), image)) {
            post_messagef("Can't read %.900s", name.c_str());
            return false;
        }
        image->options.clear();
        return true;
    }
    post_messagef("Unknown image kind '%s' in .seq", word);
    return false;
}

bool read_image_sequence(DataStream *stream, ImageSequence *sequence)
{
    free_image_sequence(sequence);
    int frames = 0, count = 0, ticks = 0, loop = 0;
    if (stream_scanf(stream, " %d %d %d %d", &frames, &count, &ticks, &loop) != 4) {
        post_messagef("EOF while reading .seq");
        return false;
    }
    if (frames < 1 || frames > SEQUENCE_MAX_FRAMES || count < 1 || count > SEQUENCE_MAX_IMAGES || ticks < 1) {
        post_messagef("Bad .seq header (%d frames, %d images, %d ticks per frame)", frames, count, ticks);
        return false;
    }
    sequence->ticks_per_frame = ticks;
    sequence->loop = loop != 0;
    for (int k = 0; k < frames; k++) {
        int index = -1;
        int got = stream_scanf(stream, " %d", &index);
        if (got < 0) {
            post_messagef("EOF while reading .seq");
            free_image_sequence(sequence);
            return false;
        }
        if (got != 1 || index < 0 || index >= count) {
            post_messagef("Error reading .seq frame %d", k);
            free_image_sequence(sequence);
            return false;
        }
        sequence->sequence.push_back(index);
    }
    size_t total = 0;
    for (int i = 0; i < count; i++) {
        DecodedImage image;
        if (!read_sequence_image(stream, i, &image)) {
            free_image_sequence(sequence);
            return false;
        }
        sequence->images.push_back(image);
        const DecodedImage &first = sequence->images[0];
        if (image.width != first.width || image.height != first.height) {
            post_messagef("Width/height mismatch reading .seq");
            free_image_sequence(sequence);
            return false;
        }
        if (image.channels != first.channels) {
            post_messagef("Depth mismatch reading .seq");
            free_image_sequence(sequence);
            return false;
        }
        total += mip_chain_bytes(image.width, image.height, image.channels);
        if (total > SEQUENCE_MAX_BYTES) {
            post_messagef("Animation too large reading .seq");
            free_image_sequence(sequence);
            return false;
        }
        DecodedImage &kept = sequence->images.back();
        build_mip_chain(kept.pixels, kept.width, kept.height, kept.channels);
    }
    return true;
}

int animation_image_index(const ImageSequence *sequence, int start, int time)
{
    int frames = (int)sequence->sequence.size();
    if (frames == 0)
        return 0;
    int64_t elapsed = (int64_t)time - start;
    int64_t n = (elapsed > 0 ? elapsed : 0) / (sequence->ticks_per_frame > 0 ? sequence->ticks_per_frame : 1);
    n = sequence->loop ? n % frames : (n < frames - 1 ? n : frames - 1);
    return sequence->sequence[(size_t)n];
}

// --- texture files by their first word ------------------------------------------

void free_image_file(ImageFile *file)
{
    free_decoded_image(&file->image);
    free_image_sequence(&file->sequence);
    file->link_target.clear();
    file->kind = IMAGE_FILE_MISSING;
    file->from_png = false;
}

static ImageFileKind read_opened_file(DataStream *stream, const char *name, ImageFile *file)
{
    char word[16];
    read_magic(stream, word);
    if (!strcmp(word, "Q7") || !strcmp(word, "Q6")) {
        int channels = word[1] == '7' ? 4 : 3;
        return read_predictive_image(stream, channels, channels, &file->image) ? IMAGE_FILE_IMAGE : IMAGE_FILE_BAD;
    }
    if (!strcmp(word, "P3") || !strcmp(word, "P6"))
        return read_ppm_body(stream, word[1] == '6', &file->image) ? IMAGE_FILE_IMAGE : IMAGE_FILE_BAD;
    if (!strcmp(word, "ANIM1"))
        return read_image_sequence(stream, &file->sequence) ? IMAGE_FILE_SEQUENCE : IMAGE_FILE_BAD;
    if (!strcmp(word, "LINK")) {
        char text[LINK_MAX_BYTES + 1];
        size_t got = stream_read(stream, text, LINK_MAX_BYTES);
        text[got] = 0;
        file->link_target = trimmed(text);
        if (file->link_target.empty() || file->link_target.size() != strlen(file->link_target.c_str())) {
            set_image_error("Empty link in '%.900s'", name);
            return IMAGE_FILE_BAD;
        }
        return IMAGE_FILE_LINK;
    }
    return IMAGE_FILE_MISSING;  // not ours: the caller tries PNG
}

ImageFileKind read_image_file(const char *name, ImageFile *file)
{
    free_image_file(file);
    DataStream *stream = stream_open(name, "rb");
    if (!stream)
        return file->kind = IMAGE_FILE_MISSING;
    ImageFileKind kind = read_opened_file(stream, name, file);
    stream_close(stream);
    if (kind == IMAGE_FILE_MISSING) {
        kind = read_png_image(name, &file->image) ? IMAGE_FILE_IMAGE : IMAGE_FILE_BAD;
        file->from_png = kind == IMAGE_FILE_IMAGE;
    }
    if (kind == IMAGE_FILE_BAD) {
        vark_log("Can't read image '%.900s': %s\n", name, last_image_error());
        free_image_file(file);
    }
    return file->kind = kind;
}

// --- link table ---------------------------------------------------------------------

const char *find_link_target(const char *name)
{
    for (const LinkEntry &entry : links)
        if (entry.link == name)
            return entry.target.c_str();
    return nullptr;
}

void set_link_target(const char *link, const char *target)
{
    for (LinkEntry &entry : links) {
        if (entry.link == link) {
            entry.target = target;
            return;
        }
    }
    links.push_back(LinkEntry{link, target});
}

void remove_link(const char *link)
{
    for (size_t i = 0; i < links.size(); i++) {
        if (links[i].link == link) {
            links.erase(links.begin() + (ptrdiff_t)i);
            return;
        }
    }
}

// --- cache lookup ------------------------------------------------------------------------

int find_cached_name(const std::vector<const char *> &names, const char *name)
{
    for (size_t i = 0; i < names.size(); i++)
        if (!strcmp(names[i], name))
            return (int)i;
    for (size_t i = 0; i < names.size(); i++) {
        if (!strcasecmp(names[i], name)) {
            post_messagef("Warning: case mismatch on '%.900s'", name);
            return (int)i;
        }
    }
    return -1;
}

const char *detail_drop_for(const char *name, int *drop)
{
    if (name[0] == '!') {
        *drop = 0;
        return name + 1;
    }
    *drop = render_settings.model_texture_reduction;
    return name;
}

// --- image cache ---------------------------------------------------------------------------

static int link_depth;

static bool load_image_named(const char *requested, const uint8_t **pixels, int *width, int *height, int *channels)
{
    int drop = 0;
    std::string name = detail_drop_for(requested, &drop);
    if (const char *target = find_link_target(name.c_str()))
        name = target;

    std::vector<const char *> names;
    names.reserve(images.size());
    for (const ImageCacheEntry &entry : images)
        names.push_back(entry.name.c_str());
    int found = find_cached_name(names, name.c_str());
    if (found >= 0) {
        ImageCacheEntry &entry = images[(size_t)found];
        if (entry.generation != 0)
            entry.generation = load_generation;
        *pixels = entry.pixels;
        *width = entry.width;
        *height = entry.height;
        *channels = entry.channels;
        return true;
    }

    ImageFile file;
    switch (read_image_file(name.c_str(), &file)) {
    case IMAGE_FILE_MISSING:
        if (debug_level > 0)
            post_messagef("Can't open image \"%.900s\"", name.c_str());
        return false;
    case IMAGE_FILE_BAD:
        return false;
    case IMAGE_FILE_SEQUENCE:
        vark_log("Animation '%.900s' can't be used as an image\n", name.c_str());
        free_image_file(&file);
        return false;
    case IMAGE_FILE_LINK: {
        if (link_depth >= MAX_LINK_DEPTH) {
            post_messagef("Too many links following '%.900s'", name.c_str());
            return false;
        }
        // Recorded first so that a link leading back here ends at the white image.
        set_link_target(name.c_str(), link_cycle_texture);
        link_depth++;
        bool ok = load_image_named(file.link_target.c_str(), pixels, width, height, channels);
        link_depth--;
        if (!ok) {
            remove_link(name.c_str());
            return false;
        }
        for (const ImageCacheEntry &entry : images)
            if (entry.pixels == *pixels)
                set_link_target(name.c_str(), entry.name.c_str());
        return true;
    }
    case IMAGE_FILE_IMAGE:
        break;
    }
    DecodedImage &image = file.image;
    prepare_mip_chain(&image, name.c_str());
    drop_mip_levels(&image, drop);
    if (!resample_to_power_of_two(&image, name.c_str())) {
        free_image_file(&file);
        return false;
    }
    images.push_back(ImageCacheEntry{image.pixels, image.width, image.height, image.channels, load_generation, name});
    image.pixels = nullptr;
    const ImageCacheEntry &entry = images.back();
    *pixels = entry.pixels;
    *width = entry.width;
    *height = entry.height;
    *channels = entry.channels;
    return true;
}

bool load_image(const char *name, const uint8_t **pixels, int *width, int *height, int *channels)
{
    int ignored = 0;
    *pixels = nullptr;
    return load_image_named(name, pixels, width, height, channels ? channels : &ignored);
}

void purge_images()
{
    size_t kept = 0;
    for (size_t i = 0; i < images.size(); i++) {
        ImageCacheEntry &entry = images[i];
        if (entry.generation != 0 && entry.generation != load_generation) {
            if (debug_level > 0)
                post_messagef("deleting image %.900s", entry.name.c_str());
            free(entry.pixels);
            continue;
        }
        if (kept != i)
            images[kept] = std::move(entry);
        kept++;
    }
    images.resize(kept);
}

const std::vector<ImageCacheEntry> &image_cache()
{
    return images;
}

void free_image_cache()
{
    for (ImageCacheEntry &entry : images)
        free(entry.pixels);
    images.clear();
    links.clear();
}

// --- texture helpers ---------------------------------------------------------------------------

int texture_repeat_flags(const char *name)
{
    int flags = 0;
    if (strstr(name, "-hrepeat."))
        flags |= TEXTURE_REPEAT_H;
    if (strstr(name, "-vrepeat."))
        flags |= TEXTURE_REPEAT_V;
    if (strstr(name, "-repeat."))
        flags |= TEXTURE_REPEAT_H | TEXTURE_REPEAT_V;
    return flags;
}

int texture_compress_flag(const std::string &options, int compression_setting)
{
    if (compression_setting == 0)
        return 0;
    if (compression_setting == 2)
        return TEXTURE_COMPRESS;
    return has_marker(options, "[compress]") ? TEXTURE_COMPRESS : 0;
}

void texture_border_colour(const uint8_t *pixels, int width, int height, int channels, float colour[4])
{
    colour[0] = colour[1] = colour[2] = colour[3] = 0;
    if (channels == 4 || !pixels || width < 1 || height < 1)
        return;
    int bins[512] = {};
    auto count = [&](int x, int y) {
        const uint8_t *p = pixels + ((size_t)y * width + x) * channels;
        int r = p[0] * 7 / 255;
        int g = (channels >= 3 ? p[1] : p[0]) * 7 / 255;
        int b = (channels >= 3 ? p[2] : p[0]) * 7 / 255;
        bins[r * 64 + g * 8 + b]++;
    };
    // Every edge pixel once.
    for (int x = 0; x < width; x++) {
        count(x, 0);
        if (height > 1)
            count(x, height - 1);
    }
    for (int y = 1; y < height - 1; y++) {
        count(0, y);
        if (width > 1)
            count(width - 1, y);
    }
    int best = 0;
    for (int i = 1; i < 512; i++)
        if (bins[i] > bins[best])
            best = i;
    colour[0] = (float)(best / 64) / 7.0f;
    colour[1] = (float)(best / 8 % 8) / 7.0f;
    colour[2] = (float)(best % 8) / 7.0f;
    colour[3] = 1.0f;
}

uint8_t *new_plate_canvas(int width, int height)
{
    uint8_t *pixels = alloc_image_pixels(width, height, 4);
    if (!pixels)
        return nullptr;
    size_t count = (size_t)width * height;
    for (size_t i = 0; i < count; i++) {
        pixels[4 * i] = pixels[4 * i + 1] = pixels[4 * i + 2] = 255;
        pixels[4 * i + 3] = 0;
    }
    return pixels;
}

void finish_plate_image(uint8_t *pixels, int width, int height, const uint8_t foreground[3],
                        const uint8_t background[3])
{
    size_t count = (size_t)width * height;
    for (size_t i = 0; i < count; i++)
        for (int c = 0; c < 3; c++)
            pixels[4 * i + c] = (uint8_t)(background[c] + (foreground[c] - background[c]) * pixels[4 * i + c] / 255);
    build_mip_chain(pixels, width, height, 4);
    // A transparent rim keeps clamped sampling from smearing the plate's colour.
    int levels = mip_level_count(width, height);
    int w = width, h = height;
    for (int level = 0; level < levels; level++) {
        uint8_t *base = pixels + mip_level_offset(width, height, 4, level);
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (y != 0 && y != h - 1 && x != 0 && x != w - 1)
                    continue;
                uint8_t *p = base + ((size_t)y * w + x) * 4;
                p[0] = p[1] = p[2] = 255;
                p[3] = 0;
            }
        }
        w = half(w);
        h = half(h);
    }
}
