// Images: the image file readers (PNG, PPM/PGM, Q6/Q7, ".seq" sequences,
// link files), mipmap chains, the CPU image cache and the PNG writers. The
// GL half (texture upload and the texture cache) is declared at the end and
// lives in render/texture.cpp; everything above it runs headless.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DataStream;

// Texture flags.
enum {
    TEXTURE_REPEAT_H = 1,
    TEXTURE_REPEAT_V = 2,
    TEXTURE_COMPRESS = 4,
    TEXTURE_NO_MIPMAPS = 8,
};

// Readers refuse images with a side above IMAGE_MAX_SIDE or more pixels than
// image_max_pixels (fuzzers lower it), so no file can ask for gigabytes.
enum { IMAGE_MAX_SIDE = 16384 };
extern int64_t image_max_pixels;

// Load generation: 0 at start-up, raised by each track load; caches tag their
// entries with it and purge the older ones. Per process.
extern int load_generation;
// Bytes of texture memory counted by the texture cache (reset with the generation).
extern int64_t texture_memory;

// A decoded image. `pixels` is malloc'd with room for the whole mipmap chain
// plus one pixel: level 0 first (rows top to bottom), then each smaller level.
struct DecodedImage {
    uint8_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int channels = 0;      // 1 grey, 3 RGB, 4 RGBA
    std::string options;   // PNG text chunks then the ".info" file; empty otherwise
};

void free_decoded_image(DecodedImage *image);

// Text of the last reader failure ("Can't parse PPM header", ...).
const char *last_image_error();

// --- mipmap chains -------------------------------------------------------

bool is_power_of_two(int n);
int mip_level_count(int width, int height);               // down to 1x1 inclusive
// Byte offset of `level` in a chain, and the bytes of the whole chain plus one pixel.
size_t mip_level_offset(int width, int height, int channels, int level);
size_t mip_chain_bytes(int width, int height, int channels);
// Chain-sized buffer (uninitialised), or null when the size is over the limits.
uint8_t *alloc_image_pixels(int width, int height, int channels);
void free_image_pixels(uint8_t *pixels);

// Fills every level after the first from level 0: 2x2 (or 2) averages,
// alpha-weighted colour for RGBA; `max_alpha` keeps the largest alpha.
void build_mip_chain(uint8_t *pixels, int width, int height, int channels);
void build_mip_chain_alpha(uint8_t *pixels, int width, int height, int channels, bool max_alpha);

// Builds the chain by the image's options: "[mip_custom]" cuts the levels out
// of the image (which shrinks to 2/3 of its height), "[mip_max_alpha]" keeps
// the largest alpha. `name` is for warnings.
void prepare_mip_chain(DecodedImage *image, const char *name);
// Replaces a non-power-of-two image by its nearest-neighbour resampling to the
// next powers of two with a new chain, after posting the warning (unless
// `warn` is false). False only when out of limits (the image is then unchanged).
bool resample_to_power_of_two(DecodedImage *image, const char *name, bool warn = true);
// Drops up to `levels` top levels while both sides of the top exceed 128.
void drop_mip_levels(DecodedImage *image, int levels);

// --- readers ---------------------------------------------------------------

// "Q6"/"Q7" data after the magic word; `source_channels` 3 or 4, decoded into
// `channels` 3 or 4 (missing channels stay 0, extra residuals are dropped).
bool read_predictive_image(DataStream *stream, int source_channels, int channels, DecodedImage *image);
// PPM after "P3"/"P6" (`binary` for P6) into 3 channels; PGM after "P2"/"P5" into 1.
bool read_ppm_body(DataStream *stream, bool binary, DecodedImage *image);
bool read_pgm_body(DataStream *stream, bool binary, DecodedImage *image);

// Reads the first word of an open stream: "P3"/"P6" or "Q6"/"Q7" into three
// channels with the mipmap chain built. Anything else fails.
bool read_rgb_image(DataStream *stream, uint8_t **pixels, int *width, int *height);
// A PGM ("P2"/"P5") into width x height grey bytes, no chain.
bool read_pgm(DataStream *stream, uint8_t **pixels, int *width, int *height);

// A PNG data name into 3 or 4 channels (chain room, chain not built), with
// the option text of its text chunks and ".info" file.
bool read_png_image(const char *name, DecodedImage *image);
// PNG (RGB gains alpha 255), else Q6/Q7, always four channels, chain built; no cache.
bool load_rgba_image(const char *name, uint8_t **pixels, int *width, int *height);
// A PNG as one 16-bit grey sample per pixel (malloc'd; free with free_gray16).
bool load_png_gray16(const char *name, uint16_t **samples, int *width, int *height);
void free_gray16(uint16_t *samples);

bool write_png_rgb(const char *name, const uint8_t *pixels, int width, int height);
bool write_png_gray16(const char *name, const uint16_t *samples, int width, int height);

// An ".seq" animation after its "ANIM1" magic: every image with its chain.
struct ImageSequence {
    int ticks_per_frame = 1;
    bool loop = false;
    std::vector<int> sequence;             // image index of each frame
    std::vector<DecodedImage> images;      // all of the same size and channels
};
bool read_image_sequence(DataStream *stream, ImageSequence *sequence);
void free_image_sequence(ImageSequence *sequence);
// Image index shown at `time` for an animation started at `start`.
int animation_image_index(const ImageSequence *sequence, int start, int time);

// A texture file read by its first word.
enum ImageFileKind {
    IMAGE_FILE_MISSING,    // cannot be opened
    IMAGE_FILE_BAD,        // opened but not decodable (message posted or logged)
    IMAGE_FILE_IMAGE,      // `image` holds level 0 (chain room, chain not built)
    IMAGE_FILE_SEQUENCE,   // "ANIM1": `sequence`
    IMAGE_FILE_LINK,       // "LINK": `link_target`
};
struct ImageFile {
    ImageFileKind kind = IMAGE_FILE_MISSING;
    bool from_png = false;  // the image came from a PNG (its options may ask for compression)
    DecodedImage image;
    ImageSequence sequence;
    std::string link_target;
};
// Natural channels: Q7 4, Q6/PPM 3, PNG 3 or 4.
ImageFileKind read_image_file(const char *name, ImageFile *file);
void free_image_file(ImageFile *file);

// --- link table ------------------------------------------------------------

// The target recorded for a link name (exact match), or null.
const char *find_link_target(const char *name);
void set_link_target(const char *link, const char *target);
void remove_link(const char *link);
// Loaded first for a link while it is being followed, so a cycle ends here.
extern const char *const link_cycle_texture;  // "@colors/white.png"
// Links followed within one load at most; deeper chains fail.
enum { MAX_LINK_DEPTH = 16 };

// --- cache lookup shared by the texture, image and model caches -------------

// Index of the first name equal to `name`, else the first equal without
// regard to case (posting "Warning: case mismatch on '%.900s'"), else -1.
int find_cached_name(const std::vector<const char *> &names, const char *name);
// Strips a leading "!" (full detail) and gives the detail drop for the load.
const char *detail_drop_for(const char *name, int *drop);

// --- image cache (terrain and the software texture method) -----------------

struct ImageCacheEntry {
    uint8_t *pixels;       // with its chain; owned by the cache
    int width;
    int height;
    int channels;
    int generation;
    std::string name;
};

// Loads (or finds) an image: detail levels dropped, then resampled to powers
// of two. The pixels belong to the cache until purge_images.
bool load_image(const char *name, const uint8_t **pixels, int *width, int *height, int *channels = nullptr);
// Frees images whose generation is neither 0 nor the current one.
void purge_images();
const std::vector<ImageCacheEntry> &image_cache();
void free_image_cache();   // shutdown and tests

// --- texture helpers computed on the CPU --------------------------------------

// Repeat flags from the name ("-hrepeat.", "-vrepeat.", "-repeat.").
int texture_repeat_flags(const char *name);
// The compress flag from "[compress]" overridden by the compression setting.
int texture_compress_flag(const std::string &options, int compression_setting);
// Border colour for plain clamping: transparent black for RGBA, else the most
// frequent quantised edge colour of level 0.
void texture_border_colour(const uint8_t *pixels, int width, int height, int channels, float colour[4]);

// Number plates: a canvas of transparent white with chain room, and the
// finishing steps after the text was drawn into it in opaque white.
uint8_t *new_plate_canvas(int width, int height);
void finish_plate_image(uint8_t *pixels, int width, int height, const uint8_t foreground[3],
                        const uint8_t background[3]);

// --- GL side: defined in render/texture.cpp (library zv_render) ---------------

unsigned load_texture(const char *name);    // 0 when it cannot be loaded
// Uploads a buffer with its chain as is (no resizing, no detail drop).
unsigned upload_texture(const uint8_t *pixels, int width, int height, int channels, int flags);
const char *texture_name(unsigned id);       // null for an unknown id
const char *texture_options(unsigned id);    // "" when none
void update_animations(int time);
void restart_animation(unsigned id, int time);
void pause_animation(unsigned id);
// Frees textures, images and animations of old generations.
void purge_textures();
unsigned make_plate_texture(const char *text, int width, int height, const uint8_t foreground[3],
                            const uint8_t background[3]);
