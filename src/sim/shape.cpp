// ".shp" collision shapes: parsing, the program-wide cache and per-bike copies.
#include "sim/shape.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "data/stream.h"
#include "platform/log.h"

namespace {

struct Scanner {
    const char *p;
    const char *end;
};

void skip_space(Scanner &s)
{
    while (s.p < s.end && isspace((unsigned char)*s.p))
        s.p++;
}

// One number in the manner of "%f" (or "%d" when `integer`): optional sign,
// digits, fraction and exponent. False when none is there.
bool scan_number(Scanner &s, bool integer, double *out)
{
    skip_space(s);
    char buffer[64];
    size_t n = 0;
    const char *q = s.p;
    auto take = [&](void) {
        if (n < sizeof buffer - 1)
            buffer[n++] = *q;
        q++;
    };
    if (q < s.end && (*q == '+' || *q == '-'))
        take();
    size_t digits = 0;
    while (q < s.end && isdigit((unsigned char)*q))
        take(), digits++;
    if (!integer) {
        if (q < s.end && *q == '.') {
            take();
            while (q < s.end && isdigit((unsigned char)*q))
                take(), digits++;
        }
        if (digits && q < s.end && (*q == 'e' || *q == 'E')) {
            const char *mark = q;
            size_t mark_n = n;
            take();
            if (q < s.end && (*q == '+' || *q == '-'))
                take();
            size_t exp_digits = 0;
            while (q < s.end && isdigit((unsigned char)*q))
                take(), exp_digits++;
            if (!exp_digits)
                q = mark, n = mark_n;
        }
    }
    if (!digits || n >= sizeof buffer - 1)
        return false;
    buffer[n] = 0;
    double v = strtod(buffer, nullptr);
    if (!std::isfinite(v))
        return false;
    *out = v;
    s.p = q;
    return true;
}

struct CacheEntry {
    std::string name;
    std::unique_ptr<CollisionShape> shape;  // null when loading failed
};

// Shapes by file name, for the life of the program.
std::vector<CacheEntry> &shape_cache()
{
    static std::vector<CacheEntry> cache;
    return cache;
}

enum { MAX_SHAPE_FILE = 1 << 20, MIN_SPHERE_TEXT = 13 };

}  // namespace

bool parse_shape_text(const char *text, size_t length, CollisionShape *shape)
{
    Scanner s = {text, text + length};
    double count_value;
    if (!scan_number(s, true, &count_value) || count_value < 0)
        return false;
    // Each sphere needs at least seven one-digit numbers and their separators.
    size_t left = (size_t)(s.end - s.p);
    if (count_value > (double)(left / MIN_SPHERE_TEXT))
        return false;
    size_t count = (size_t)count_value;
    std::vector<ShapeSphere> spheres(count);
    double bounding = 0;
    for (ShapeSphere &sphere : spheres) {
        double v[7];
        for (double &x : v)
            if (!scan_number(s, false, &x))
                return false;
        sphere = {{v[0], v[1], v[2]}, v[3], v[4], v[5], v[6]};
        double reach = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) + v[3];
        if (reach > bounding)
            bounding = reach;
    }
    shape->spheres.swap(spheres);
    shape->bounding_radius = bounding;
    return true;
}

static CollisionShape *read_shape_file(const char *name)
{
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return nullptr;
    std::vector<char> text;
    char chunk[4096];
    size_t got;
    bool too_big = false;
    while ((got = stream_read(stream, chunk, sizeof chunk)) > 0) {
        if (text.size() + got > MAX_SHAPE_FILE) {
            too_big = true;
            break;
        }
        text.insert(text.end(), chunk, chunk + got);
    }
    stream_close(stream);
    auto shape = std::make_unique<CollisionShape>();
    shape->name = name;
    if (too_big || !parse_shape_text(text.data(), text.size(), shape.get())) {
        vark_log("Error: bad collision shape %.200s\n", name);
        return nullptr;
    }
    return shape.release();
}

const CollisionShape *load_shape(const char *name)
{
    if (!name || !*name)
        return nullptr;
    std::vector<CacheEntry> &cache = shape_cache();
    for (const CacheEntry &e : cache)
        if (e.name == name)
            return e.shape.get();
    cache.push_back({name, std::unique_ptr<CollisionShape>(read_shape_file(name))});
    return cache.back().shape.get();
}

CollisionShape *copy_shape(const CollisionShape *shape)
{
    if (!shape)
        return nullptr;
    CollisionShape *copy = new CollisionShape(*shape);
    copy->world_centres.assign(shape->spheres.size() * 3, 0.0);
    return copy;
}

void free_shape(CollisionShape *shape)
{
    delete shape;
}

void clear_shape_cache()
{
    shape_cache().clear();
}
