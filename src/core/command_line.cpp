// Command-line parsing: one table of options driven by one loop.
#include "core/command_line.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/render_settings.h"
#include "platform/log.h"

namespace {

enum OptionKind {
    OPTION_FLAG,     // exact text only; stores flag_value
    OPTION_INT,      // "%d"; without an error text, a plain decimal conversion
    OPTION_REAL,     // "%f"
    OPTION_TEXT,     // the value itself
    OPTION_TRIPLE,   // "%f,%f,%f"
    OPTION_ANY,      // a value that is taken and ignored
};

enum OptionRecord { IN_NONE, IN_LAUNCH, IN_RENDER };

enum OptionAction { ACTION_NONE, ACTION_NO_MMX, ACTION_OPEN_HOME };

struct CommandLineOption {
    const char *name;
    OptionKind kind;
    OptionRecord record = IN_NONE;
    size_t offset = 0;
    int flag_value = 1;
    double scale = 1;                // applied to a real before clamping
    bool clamped = false;
    double min = 0, max = 0;
    size_t also_offset = SIZE_MAX;   // a second field of the same record that gets value + also_add
    double also_add = 0;
    const char *error = nullptr;     // "Bad arg for" text; set for values that must parse
    const char *notice = nullptr;    // printed to standard error when the option is seen
    const char *strip_prefix = nullptr;
    OptionAction action = ACTION_NONE;
};

#define LAUNCH(field) .record = IN_LAUNCH, .offset = offsetof(LaunchSettings, field)
#define RENDER(field) .record = IN_RENDER, .offset = offsetof(RenderSettings, field)

// Matched in this order; the first option that matches takes the argument.
const CommandLineOption command_line_options[] = {
    {.name = "--fugly", .kind = OPTION_FLAG, RENDER(plain_rendering)},
    {.name = "--nosound", .kind = OPTION_FLAG, LAUNCH(no_sound)},
    {.name = "--novertexarrays", .kind = OPTION_FLAG, RENDER(no_vertex_arrays)},
    {.name = "--learn", .kind = OPTION_FLAG, LAUNCH(learn)},
    {.name = "--nolearn", .kind = OPTION_FLAG, LAUNCH(learn), .flag_value = 0},
    {.name = "--nommx", .kind = OPTION_FLAG, RENDER(mmx), .flag_value = 0, .action = ACTION_NO_MMX},
    {.name = "--debug", .kind = OPTION_FLAG, LAUNCH(debug_level)},
    {.name = "--super-debug", .kind = OPTION_FLAG, LAUNCH(debug_level), .flag_value = 2},
    {.name = "--practice", .kind = OPTION_FLAG, LAUNCH(practice)},
    {.name = "--warp", .kind = OPTION_FLAG, LAUNCH(warp)},
    {.name = "--texture-detail", .kind = OPTION_INT, RENDER(model_texture_reduction), .clamped = true,
     .min = 0, .max = 4, .also_offset = offsetof(RenderSettings, ground_texture_reduction),
     .error = "Bad arg for --texture-detail\n"},
    {.name = "--ground-texture-detail", .kind = OPTION_INT, RENDER(ground_texture_reduction), .clamped = true,
     .min = 0, .max = 4, .error = "Bad arg for --ground-texture-detail\n"},
    {.name = "--roostfrequency", .kind = OPTION_INT, RENDER(roost_frequency), .clamped = true,
     .min = 0, .max = 1000, .error = "Bad arg for --roostfrequency\n"},
    {.name = "--erode", .kind = OPTION_REAL, RENDER(erosion_rate), .clamped = true, .min = 0, .max = 100,
     .error = "Bad arg for --erode\n"},
    {.name = "--detail", .kind = OPTION_REAL, RENDER(terrain_detail), .error = "Bad arg for --detail\n"},
    {.name = "--max-detail-distance", .kind = OPTION_REAL, RENDER(max_detail_distance),
     .also_offset = offsetof(RenderSettings, max_detail_fade_distance), .also_add = 5,
     .error = "Bad arg for --max-detail-distance\n"},
    {.name = "--lod-scale", .kind = OPTION_REAL, RENDER(lod_scale), .clamped = true, .min = 0.000001,
     .max = 1000000, .error = "Bad arg for --lod-scale\n"},
    {.name = "--lod-bias", .kind = OPTION_REAL, RENDER(lod_bias), .error = "Bad arg for --lod-bias\n"},
    {.name = "--lock-fps", .kind = OPTION_REAL, LAUNCH(lock_fps), .error = "Bad arg for --lock-fps\n"},
    {.name = "--fake-lag", .kind = OPTION_REAL, LAUNCH(fake_lag), .scale = 0.001, .clamped = true, .min = 0,
     .max = 1, .error = "Bad arg for --fake-lag\n"},
    {.name = "--fake-loss", .kind = OPTION_INT, LAUNCH(fake_loss), .clamped = true, .min = 0, .max = 100,
     .error = "Bad arg for --fake-loss\n"},
    {.name = "--record-audio", .kind = OPTION_TEXT, LAUNCH(audio_record_file)},
    {.name = "--record-video", .kind = OPTION_FLAG, LAUNCH(record_video)},
    {.name = "--rotate-lineup", .kind = OPTION_INT, LAUNCH(rotate_lineup)},
    {.name = "--editor", .kind = OPTION_FLAG, LAUNCH(editor)},
    {.name = "--hidden-pause", .kind = OPTION_FLAG, LAUNCH(draw_paused), .flag_value = 0},
    {.name = "--hidden-hud", .kind = OPTION_FLAG, LAUNCH(draw_hud), .flag_value = 0},
    {.name = "--bikes", .kind = OPTION_ANY, .notice = "--bikes doesn't do anything anymore\n"},
    {.name = "--width", .kind = OPTION_INT, RENDER(xres)},
    {.name = "--height", .kind = OPTION_INT, RENDER(yres)},
    {.name = "--depth", .kind = OPTION_INT, LAUNCH(colour_depth)},
    {.name = "--zdepth", .kind = OPTION_INT, LAUNCH(depth_bits)},
    {.name = "--draw-fps", .kind = OPTION_INT, RENDER(draw_fps)},
    {.name = "--draw-time", .kind = OPTION_INT, RENDER(draw_time)},
    {.name = "--draw-ping", .kind = OPTION_INT, RENDER(draw_ping)},
    {.name = "--draw-render-stats", .kind = OPTION_INT, RENDER(draw_render_stats)},
    {.name = "--accurate-skip", .kind = OPTION_FLAG, LAUNCH(accurate_skip)},
    {.name = "--track", .kind = OPTION_TEXT, LAUNCH(track)},
    {.name = "--connect", .kind = OPTION_TEXT, LAUNCH(server), .strip_prefix = "zorvex:"},
    {.name = "--password", .kind = OPTION_TEXT, LAUNCH(password)},
    {.name = "--chase-center", .kind = OPTION_TRIPLE, LAUNCH(chase_center), .error = "Bad arg for --chase-center\n"},
    {.name = "--open-home", .kind = OPTION_FLAG, .action = ACTION_OPEN_HOME},
    {.name = "--glfinish", .kind = OPTION_FLAG, LAUNCH(gl_finish)},
    {.name = "--print-orientation", .kind = OPTION_FLAG, RENDER(print_orientation)},
};

#undef LAUNCH
#undef RENDER

// A decimal integer at the start of `text` (after white space, with a sign),
// saturated to the int range; false when there is none.
bool parse_int(const char *text, int *value)
{
    char *end;
    errno = 0;
    long parsed = strtol(text, &end, 10);
    if (end == text)
        return false;
    if (parsed > INT_MAX)
        parsed = INT_MAX;
    if (parsed < INT_MIN)
        parsed = INT_MIN;
    *value = (int)parsed;
    return true;
}

// A finite real at the start of `text`; `rest` gets what follows it.
bool parse_real(const char *text, double *value, const char **rest)
{
    char *end;
    double parsed = strtod(text, &end);
    if (end == text || !std::isfinite(parsed))
        return false;
    *value = parsed;
    *rest = end;
    return true;
}

bool parse_triple(const char *text, float out[3])
{
    double values[3];
    const char *cursor = text;
    for (int i = 0; i < 3; i++) {
        if (i > 0) {
            if (*cursor != ',')
                return false;
            cursor++;
        }
        if (!parse_real(cursor, &values[i], &cursor))
            return false;
    }
    for (int i = 0; i < 3; i++)
        out[i] = (float)values[i];
    return true;
}

// Stores one option's value; false when the value does not parse.
bool apply_value(const CommandLineOption &option, const char *value, char *base)
{
    char *target = base ? base + option.offset : nullptr;
    switch (option.kind) {
    case OPTION_FLAG:
    case OPTION_ANY:
        return true;
    case OPTION_TEXT: {
        size_t prefix = option.strip_prefix ? strlen(option.strip_prefix) : 0;
        if (prefix > 0 && strncmp(value, option.strip_prefix, prefix) == 0)
            value += prefix;
        if (target)
            memcpy(target, &value, sizeof value);
        return true;
    }
    case OPTION_TRIPLE: {
        float point[3];
        if (!parse_triple(value, point))
            return false;
        if (target)
            memcpy(target, point, sizeof point);
        return true;
    }
    case OPTION_INT: {
        int parsed = 0;
        if (!parse_int(value, &parsed) && option.error)
            return false;
        long long stored = parsed;
        if (option.clamped)
            stored = (long long)std::fmax(option.min, std::fmin(option.max, (double)stored));
        int result = (int)stored;
        if (target)
            memcpy(target, &result, sizeof result);
        if (target && option.also_offset != SIZE_MAX) {
            int also = (int)(result + option.also_add);
            memcpy(base + option.also_offset, &also, sizeof also);
        }
        return true;
    }
    case OPTION_REAL: {
        double parsed;
        const char *rest;
        if (!parse_real(value, &parsed, &rest))
            return false;
        parsed *= option.scale;
        if (option.clamped)
            parsed = std::fmax(option.min, std::fmin(option.max, parsed));
        float result = (float)parsed;
        if (target)
            memcpy(target, &result, sizeof result);
        if (target && option.also_offset != SIZE_MAX) {
            float also = (float)(parsed + option.also_add);
            memcpy(base + option.also_offset, &also, sizeof also);
        }
        return true;
    }
    }
    return false;
}

} // namespace

int parse_command_line(int argc, char **argv, LaunchSettings *launch, RenderSettings *render, FILE *err)
{
    int left = argc - 1;          // the program name is skipped
    char **next = argv + 1;
    bool options_ended = false;

    while (left > 0) {
        const char *argument = *next++;
        left--;

        if (!options_ended && strcmp(argument, "--") == 0) {
            options_ended = true;
            continue;
        }

        const CommandLineOption *match = nullptr;
        const char *value = nullptr;
        if (!options_ended) {
            for (const CommandLineOption &option : command_line_options) {
                size_t length = strlen(option.name);
                if (strcmp(argument, option.name) == 0) {
                    match = &option;
                    break;
                }
                if (option.kind != OPTION_FLAG && strncmp(argument, option.name, length) == 0 &&
                    argument[length] == '=') {
                    match = &option;
                    value = argument + length + 1;
                    break;
                }
            }
        }

        if (!match) {
            if (argument[0] == '-' && !options_ended) {
                fprintf(err, "bad option '%s'\n", argument);
                return 1;
            }
            if (launch->demo_file) {
                fprintf(err, "Too many files!\n");
                return 1;
            }
            launch->demo_file = argument;
            continue;
        }

        if (match->kind != OPTION_FLAG && !value) {
            if (left == 0) {
                // Nothing left to take as the value.
                fprintf(err, "Bad arg for %s\n", match->name);
                return 1;
            }
            value = *next++;
            left--;
        }

        if (match->action == ACTION_OPEN_HOME)
            return COMMAND_LINE_OPEN_HOME;
        if (match->action == ACTION_NO_MMX && render->mmx)
            vark_log("Ignoring MMX\n");
        if (match->notice)
            fputs(match->notice, err);

        char *base = match->record == IN_LAUNCH ? (char *)launch
                   : match->record == IN_RENDER ? (char *)render
                                                 : nullptr;
        if (match->kind == OPTION_FLAG) {
            if (base)
                memcpy(base + match->offset, &match->flag_value, sizeof(int));
            continue;
        }
        if (!apply_value(*match, value, base)) {
            if (match->error)
                fputs(match->error, err);
            else
                fprintf(err, "Bad arg for %s\n", match->name);
            return 1;
        }
    }

    // A server decides the track.
    if (launch->server)
        launch->track = nullptr;
    return COMMAND_LINE_CONTINUE;
}
