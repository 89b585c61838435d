// Texture upload, the texture cache and animated textures over the CPU-side
// image readers of data/image.
#include "render/texture.h"

#include <cstdlib>
#include <cstring>

#include <GL/gl.h>

#include "data/image_local.h"
#include "data/render_settings.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "render/font.h"
#include "render/renderer.h"

// Per process: cache entries and animations in loading order.
static std::vector<TextureCacheEntry> textures;
static std::vector<TextureAnimation> animations;
static int link_depth;

const std::vector<TextureCacheEntry> &texture_cache()
{
    return textures;
}

const std::vector<TextureAnimation> &texture_animations()
{
    return animations;
}

static GLenum pixel_format(int channels)
{
    return channels == 4 ? GL_RGBA : channels == 3 ? GL_RGB : GL_LUMINANCE;
}

// Sets a wrap mode; false when the driver rejects clamp-to-edge.
static bool set_wrap(GLenum axis, bool repeat)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexParameteri(GL_TEXTURE_2D, axis, repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    if (repeat || glGetError() == GL_NO_ERROR)
        return true;
    glTexParameteri(GL_TEXTURE_2D, axis, GL_CLAMP);
    return false;
}

static unsigned upload_levels(const uint8_t *pixels, int width, int height, int channels, int flags,
                              int64_t *memory)
{
    if (!pixels || width < 1 || height < 1 || channels < 1 || channels > 4)
        return 0;
    GLuint id = 0;
    glGenTextures(1, &id);
    if (!id)
        return 0;
    glBindTexture(GL_TEXTURE_2D, id);
    bool edge_s = set_wrap(GL_TEXTURE_WRAP_S, flags & TEXTURE_REPEAT_H);
    bool edge_t = set_wrap(GL_TEXTURE_WRAP_T, flags & TEXTURE_REPEAT_V);
    bool edge = edge_s && edge_t;
    bool mipmaps = !(flags & TEXTURE_NO_MIPMAPS);
    GLint minify = edge ? (mipmaps ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR)
                        : (mipmaps ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minify);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    float border[4];
    texture_border_colour(pixels, width, height, channels, border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);

    bool compress = (flags & TEXTURE_COMPRESS) && renderer_info.version_major >= 2 && channels >= 3;
    GLint internal = compress ? (channels == 4 ? GL_COMPRESSED_RGBA : GL_COMPRESSED_RGB) : (GLint)pixel_format(channels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    int levels = mipmaps ? mip_level_count(width, height) : 1;
    int w = width, h = height;
    int64_t used = 0;
    for (int level = 0; level < levels; level++) {
        glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, pixel_format(channels), GL_UNSIGNED_BYTE,
                     pixels + mip_level_offset(width, height, channels, level));
        GLint compressed = 0;
        if (compress)
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED, &compressed);
        if (compressed) {
            GLint size = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
            used += size;
        } else {
            used += (int64_t)w * h * channels;
        }
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    if (memory)
        *memory += used;
    return id;
}

unsigned upload_texture(const uint8_t *pixels, int width, int height, int channels, int flags)
{
    return upload_levels(pixels, width, height, channels, flags, nullptr);
}

unsigned upload_image(DecodedImage *image, const char *name, int drop, int flags, int64_t *memory)
{
    if (!resample_to_power_of_two(image, name))
        return 0;
    drop_mip_levels(image, drop);
    return upload_levels(image->pixels, image->width, image->height, image->channels, flags, memory);
}

// Uploads every image of a sequence in the same way, the first one shown.
static unsigned upload_animation(ImageFile *file, const char *name, int drop, int flags, int64_t *memory)
{
    ImageSequence &sequence = file->sequence;
    for (size_t i = 0; i < sequence.images.size(); i++) {
        DecodedImage &image = sequence.images[i];
        // One warning per file is enough.
        if (!resample_to_power_of_two(&image, name, i == 0))
            return 0;
        drop_mip_levels(&image, drop);
    }
    int first = sequence.sequence[0];
    const DecodedImage &shown = sequence.images[(size_t)first];
    unsigned id = upload_levels(shown.pixels, shown.width, shown.height, shown.channels, flags, memory);
    if (!id)
        return 0;
    TextureAnimation animation = {id, first, 0, false, ImageSequence()};
    animation.sequence = std::move(sequence);
    sequence = ImageSequence();
    animations.push_back(std::move(animation));
    return id;
}

unsigned load_texture(const char *requested)
{
    if (!requested)
        return 0;
    int drop = 0;
    std::string name = detail_drop_for(requested, &drop);
    if (const char *target = find_link_target(name.c_str()))
        name = target;

    std::vector<const char *> names;
    names.reserve(textures.size());
    for (const TextureCacheEntry &entry : textures)
        names.push_back(entry.name.c_str());
    int found = find_cached_name(names, name.c_str());
    if (found >= 0) {
        TextureCacheEntry &entry = textures[(size_t)found];
        if (entry.generation != 0 && entry.generation != load_generation) {
            entry.generation = load_generation;
            texture_memory += entry.memory;
        }
        return entry.id;
    }

    ImageFile file;
    ImageFileKind kind = read_image_file(name.c_str(), &file);
    int flags = texture_repeat_flags(name.c_str());
    int64_t memory = 0;
    unsigned id = 0;
    std::string options;
    switch (kind) {
    case IMAGE_FILE_MISSING:
        if (debug_level > 0)
            post_messagef("Can't open texture \"%.900s\"", name.c_str());
        return 0;
    case IMAGE_FILE_BAD:
        return 0;
    case IMAGE_FILE_LINK: {
        if (link_depth >= MAX_LINK_DEPTH) {
            post_messagef("Too many links following '%.900s'", name.c_str());
            return 0;
        }
        // Recorded first so that a link leading back here ends at the white texture.
        set_link_target(name.c_str(), link_cycle_texture);
        link_depth++;
        id = load_texture(file.link_target.c_str());
        link_depth--;
        const char *loaded = id ? texture_name(id) : nullptr;
        if (loaded)
            set_link_target(name.c_str(), std::string(loaded).c_str());
        else
            remove_link(name.c_str());
        free_image_file(&file);
        return id;
    }
    case IMAGE_FILE_SEQUENCE:
        id = upload_animation(&file, name.c_str(), drop, flags, &memory);
        break;
    case IMAGE_FILE_IMAGE:
        prepare_mip_chain(&file.image, name.c_str());
        if (file.from_png)
            flags |= texture_compress_flag(file.image.options, render_settings.texture_compression);
        options = file.image.options;
        id = upload_image(&file.image, name.c_str(), drop, flags, &memory);
        break;
    }
    free_image_file(&file);
    if (!id)
        return 0;
    textures.push_back(TextureCacheEntry{id, load_generation, memory, options, name});
    texture_memory += memory;
    return id;
}

static const TextureCacheEntry *find_texture(unsigned id)
{
    for (const TextureCacheEntry &entry : textures)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

const char *texture_name(unsigned id)
{
    const TextureCacheEntry *entry = find_texture(id);
    return entry ? entry->name.c_str() : nullptr;
}

const char *texture_options(unsigned id)
{
    const TextureCacheEntry *entry = find_texture(id);
    return entry ? entry->options.c_str() : "";
}

void update_animations(int time)
{
    for (TextureAnimation &animation : animations) {
        if (animation.paused)
            continue;
        int index = animation_image_index(&animation.sequence, animation.start, time);
        if (index == animation.shown)
            continue;
        animation.shown = index;
        const DecodedImage &image = animation.sequence.images[(size_t)index];
        glBindTexture(GL_TEXTURE_2D, animation.id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        int levels = mip_level_count(image.width, image.height);
        int w = image.width, h = image.height;
        for (int level = 0; level < levels; level++) {
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, pixel_format(image.channels), GL_UNSIGNED_BYTE,
                            image.pixels + mip_level_offset(image.width, image.height, image.channels, level));
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }
}

void restart_animation(unsigned id, int time)
{
    for (TextureAnimation &animation : animations) {
        if (animation.id == id) {
            animation.start = time;
            animation.paused = false;
        }
    }
}

void pause_animation(unsigned id)
{
    for (TextureAnimation &animation : animations)
        if (animation.id == id)
            animation.paused = true;
}

void purge_textures()
{
    size_t kept = 0;
    for (size_t i = 0; i < textures.size(); i++) {
        TextureCacheEntry &entry = textures[i];
        if (entry.generation != 0 && entry.generation != load_generation) {
            if (debug_level > 0)
                post_messagef("deleting tid %d (%.900s)", (int)entry.id, entry.name.c_str());
            glDeleteTextures(1, &entry.id);
            continue;
        }
        if (kept != i)
            textures[kept] = std::move(entry);
        kept++;
    }
    textures.resize(kept);

    kept = 0;
    for (size_t i = 0; i < animations.size(); i++) {
        TextureAnimation &animation = animations[i];
        if (!find_texture(animation.id)) {
            if (debug_level > 0)
                post_messagef("deleting anim %d for tid %d", (int)i, (int)animation.id);
            free_image_sequence(&animation.sequence);
            continue;
        }
        if (kept != i)
            animations[kept] = std::move(animation);
        kept++;
    }
    animations.resize(kept);
    purge_images();
}

void free_textures()
{
    for (TextureCacheEntry &entry : textures)
        glDeleteTextures(1, &entry.id);
    textures.clear();
    for (TextureAnimation &animation : animations)
        free_image_sequence(&animation.sequence);
    animations.clear();
    free_image_cache();
    texture_memory = 0;
}

unsigned make_plate_texture(const char *text, int width, int height, const uint8_t foreground[3],
                            const uint8_t background[3])
{
    uint8_t *pixels = new_plate_canvas(width, height);
    if (!pixels)
        return 0;
    render_text_to_image(pixels, width, height, 1, 1, 1, 1, text ? text : "");
    finish_plate_image(pixels, width, height, foreground, background);
    unsigned id = upload_texture(pixels, width, height, 4, 0);
    free_image_pixels(pixels);
    return id;
}
