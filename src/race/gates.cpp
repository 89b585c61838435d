// Timing gates: reading and writing "timing_gates", lap arithmetic and the
// per-tick crossing test.
#include "race/gates.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/stream.h"
#include "platform/log.h"
#include "platform/message_log.h"

GateTables gate_tables;

const char *const START_GATE_MODEL = "@startgate.qm";
const char *const START_GATE_TEXTURE = "@startgate.ppm";
const char *const START_GATE_SHAPE = "@startgate.shp";

// A timing_gates file is a few kilobytes; anything past this is not read.
static const size_t MAX_FILE_BYTES = 16u << 20;

static const float PI = 3.14159265358979f;

// --- a cursor over the file's text --------------------------------------------------

struct Cursor {
    const char *p;
    const char *end;
};

static void skip_white(Cursor *c)
{
    while (c->p < c->end && isspace((unsigned char)*c->p))
        c->p++;
}

static bool read_word(Cursor *c, std::string *word)
{
    skip_white(c);
    const char *start = c->p;
    while (c->p < c->end && !isspace((unsigned char)*c->p) && *c->p)
        c->p++;
    word->assign(start, (size_t)(c->p - start));
    if (word->size() > 1023)
        word->resize(1023);
    return !word->empty();
}

static bool read_real(Cursor *c, float *value)
{
    skip_white(c);
    const char *p = c->p, *start = p;
    if (p < c->end && (*p == '+' || *p == '-'))
        p++;
    int digits = 0;
    while (p < c->end && isdigit((unsigned char)*p))
        p++, digits++;
    if (p < c->end && *p == '.') {
        p++;
        while (p < c->end && isdigit((unsigned char)*p))
            p++, digits++;
    }
    if (!digits)
        return false;
    if (p < c->end && (*p == 'e' || *p == 'E')) {
        const char *q = p + 1;
        if (q < c->end && (*q == '+' || *q == '-'))
            q++;
        if (q < c->end && isdigit((unsigned char)*q)) {
            while (q < c->end && isdigit((unsigned char)*q))
                q++;
            p = q;
        }
    }
    std::string text(start, (size_t)(p - start));
    *value = (float)strtod(text.c_str(), nullptr);
    c->p = p;
    return true;
}

static bool read_int(Cursor *c, int *value)
{
    skip_white(c);
    const char *p = c->p;
    bool negative = false;
    if (p < c->end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p >= c->end || !isdigit((unsigned char)*p))
        return false;
    uint32_t v = 0;
    while (p < c->end && isdigit((unsigned char)*p))
        v = v * 10 + (uint32_t)(*p++ - '0');
    *value = (int)(negative ? 0u - v : v);
    c->p = p;
    return true;
}

static bool read_char(Cursor *c, char want)
{
    skip_white(c);
    if (c->p < c->end && *c->p == want) {
        c->p++;
        return true;
    }
    return false;
}

static bool read_vector(Cursor *c, float *v)
{
    return read_char(c, '[') && read_real(c, &v[0]) && read_real(c, &v[1]) && read_real(c, &v[2]) &&
           read_char(c, ']');
}

// --- parsing ---------------------------------------------------------------------

static float wrap_heading(float h)
{
    if (!std::isfinite(h))
        return 0;
    if (h >= -PI && h <= PI)
        return h;
    double t = ((double)h + PI) / (2 * PI);
    return (float)((t - floor(t)) * (2 * PI) - PI);
}

static bool is_blank(const char *p, const char *end)
{
    for (; p < end; p++)
        if (!isspace((unsigned char)*p))
            return false;
    return true;
}

// Starting positions, one per line, until "checkpoints:". False when a line
// does not hold a position (the file then has no timing).
static bool parse_starts(GateTables *tables, Cursor *c)
{
    while (c->p < c->end) {
        const char *line_end = (const char *)memchr(c->p, '\n', (size_t)(c->end - c->p));
        if (!line_end)
            line_end = c->end;
        if (is_blank(c->p, line_end)) {
            c->p = line_end < c->end ? line_end + 1 : line_end;
            continue;
        }
        Cursor line = {c->p, line_end};
        std::string word;
        Cursor peek = line;
        read_word(&peek, &word);
        if (word == "checkpoints:") {
            c->p = peek.p;  // records may follow on the same line
            return true;
        }
        float v[3], heading;
        if (!read_vector(&line, v) || !read_real(&line, &heading))
            return false;
        StartPosition start;
        start.x = v[0], start.y = v[1], start.z = v[2];
        start.heading = wrap_heading(heading);
        start.object = -1;
        std::string names[3] = {START_GATE_MODEL, START_GATE_TEXTURE, START_GATE_SHAPE};
        for (std::string &name : names) {
            std::string w;
            if (!read_word(&line, &w))
                break;
            name = w == "null" ? std::string() : w;
        }
        start.model = names[0], start.texture = names[1], start.shape = names[2];
        if (tables->starts.size() < MAX_START_POSITIONS)
            tables->starts.push_back(start);
        c->p = line_end < c->end ? line_end + 1 : line_end;
    }
    return false;
}

static void parse_checkpoints(GateTables *tables, Cursor *c)
{
    for (;;) {
        Cursor record = *c;
        Checkpoint gate;
        float centre[3], direction[3];
        if (!read_real(&record, &gate.radius) || !read_vector(&record, centre) || !read_vector(&record, direction))
            return;
        gate.x = centre[0], gate.y = centre[1], gate.z = centre[2];
        gate.dx = direction[0], gate.dy = direction[1], gate.dz = direction[2];
        if (tables->checkpoints.size() < MAX_CHECKPOINTS)
            tables->checkpoints.push_back(gate);
        *c = record;
    }
}

static int parse_entries(Cursor *c, const char *heading, std::vector<int> *out)
{
    Cursor start = *c;
    std::string word;
    if (!read_word(c, &word) || word != heading) {
        *c = start;
        return 0;
    }
    int count = 0, value;
    while (read_int(c, &value)) {
        if (count < MAX_LAP_ENTRIES) {
            out->push_back(value);
            count++;
        }
    }
    return count;
}

static void clean_entries(GateTables *tables)
{
    int last = (int)tables->checkpoints.size() - 1;
    for (int &entry : tables->sequence) {
        if (entry < 0) {
            entry = 0;
            continue;
        }
        int flag = entry >= GATE_NO_SEGMENT ? GATE_NO_SEGMENT : 0;
        int gate = entry % GATE_NO_SEGMENT;
        entry = flag + (gate > last ? (last < 0 ? 0 : last) : gate);
    }
    tables->first_lap_plain = tables->normal_lap_plain = 0;
    for (int k = 0; k < tables->first_lap + tables->normal_lap; k++)
        if (tables->sequence[k] < GATE_NO_SEGMENT)
            (k < tables->first_lap ? tables->first_lap_plain : tables->normal_lap_plain)++;
}

static void reset_tables(GateTables *tables)
{
    tables->starts.clear();
    tables->checkpoints.clear();
    tables->sequence.clear();
    tables->first_lap = tables->normal_lap = 0;
    tables->first_lap_plain = tables->normal_lap_plain = 0;
}

void parse_timing_gates(GateTables *tables, const char *text, size_t size)
{
    reset_tables(tables);
    Cursor c = {text, text + size};
    std::string word;
    read_word(&c, &word);
    bool ok = false;
    if (word == "startinggate:")
        ok = parse_starts(tables, &c);
    else if (word == "checkpoints:")
        ok = true;
    if (ok) {
        parse_checkpoints(tables, &c);
        tables->first_lap = parse_entries(&c, "firstlap:", &tables->sequence);
        tables->normal_lap = parse_entries(&c, "normallap:", &tables->sequence);
        clean_entries(tables);
    }
    bool active = !tables->checkpoints.empty() && tables->first_lap > 0 && tables->normal_lap > 0 &&
                  tables->first_lap_plain > 0 && tables->normal_lap_plain > 0;
    if (!active) {
        // Without a usable lap sequence nobody passes gates; the starting
        // positions still line the bikes up.
        tables->checkpoints.clear();
        tables->sequence.clear();
        tables->first_lap = tables->normal_lap = 0;
        tables->first_lap_plain = tables->normal_lap_plain = 0;
        return;
    }
    if (debug_level)
        vark_log("Found %d timing gates, first lap has %d gates, normal lap has %d\n",
                 (int)tables->checkpoints.size(), tables->first_lap, tables->normal_lap);
}

void clear_timing_gates()
{
    reset_tables(&gate_tables);
}

void read_timing_gates(const char *name)
{
    reset_tables(&gate_tables);
    DataStream *stream = stream_open(name, "r");
    if (!stream)
        return;
    std::vector<char> text;
    char block[16384];
    size_t got;
    while (text.size() < MAX_FILE_BYTES && (got = stream_read(stream, block, sizeof block)) > 0)
        text.insert(text.end(), block, block + got);
    stream_close(stream);
    parse_timing_gates(&gate_tables, text.data(), text.size());
}

static const char *or_null(const std::string &name)
{
    return name.empty() ? "null" : name.c_str();
}

int write_timing_gates(const char *name)
{
    DataStream *stream = stream_open(name, "w");
    if (!stream) {
        post_message("Can't open 'timing_gates'\n");
        return 0;
    }
    const GateTables &t = gate_tables;
    if (!t.starts.empty()) {
        stream_printf(stream, "startinggate:\n");
        for (const StartPosition &s : t.starts) {
            stream_printf(stream, "[%f %f %f]", s.x, s.y, s.z);
            stream_printf(stream, " %f", s.heading);
            if (s.model == START_GATE_MODEL && s.texture == START_GATE_TEXTURE && s.shape == START_GATE_SHAPE)
                stream_printf(stream, "\n");
            else
                stream_printf(stream, " %s %s %s\n", or_null(s.model), or_null(s.texture), or_null(s.shape));
        }
    }
    if (!t.checkpoints.empty()) {
        stream_printf(stream, "checkpoints:\n");
        for (const Checkpoint &g : t.checkpoints) {
            stream_printf(stream, "%f ", g.radius);
            stream_printf(stream, "[%f %f %f]", g.x, g.y, g.z);
            stream_printf(stream, " ");
            stream_printf(stream, "[%f %f %f]", g.dx, g.dy, g.dz);
            stream_printf(stream, "\n");
        }
    }
    if (t.first_lap > 0) {
        stream_printf(stream, "firstlap:\n");
        for (int k = 0; k < t.first_lap; k++)
            stream_printf(stream, "%d ", t.sequence[k]);
        stream_printf(stream, "\n");
    }
    if (t.normal_lap > 0) {
        stream_printf(stream, "normallap:\n");
        for (int k = 0; k < t.normal_lap; k++)
            stream_printf(stream, "%d ", t.sequence[t.first_lap + k]);
        stream_printf(stream, "\n");
    }
    stream_close(stream);
    return 1;
}

// --- laps ------------------------------------------------------------------------------

static int entry_at(int position)
{
    const GateTables &t = gate_tables;
    if (position < 0 || t.normal_lap <= 0)
        return -1;
    if (position < t.first_lap)
        return t.sequence[position];
    return t.sequence[t.first_lap + (position - t.first_lap) % t.normal_lap];
}

int gate_at_position(int position)
{
    int entry = entry_at(position);
    return entry < 0 ? -1 : entry % GATE_NO_SEGMENT;
}

void reset_gate_history(GateHistory *history)
{
    history->passed = 0;
    history->ticks.clear();
    history->finished = 0;
}

int gates_passed(const GateHistory *history)
{
    return history->passed;
}

int gate_tick(const GateHistory *history, int position)
{
    if (position < 0 || (size_t)position >= history->ticks.size())
        return -1;
    return history->ticks[position];
}

bool set_gates_passed(GateHistory *history, int n)
{
    if (n < 0)
        n = 0;
    bool decreased = n < history->passed;
    history->passed = n;
    if (history->ticks.size() > (size_t)n)
        history->ticks.resize(n);
    if (decreased)
        history->finished = 0;
    return decreased;
}

int lap_of(const GateHistory *history, int *position_in_lap)
{
    const GateTables &t = gate_tables;
    int n = history->passed;
    if (t.normal_lap <= 0 || n < t.first_lap) {
        if (position_in_lap)
            *position_in_lap = n;
        return 0;
    }
    if (position_in_lap)
        *position_in_lap = (n - t.first_lap) % t.normal_lap;
    return (n - t.first_lap) / t.normal_lap + 1;
}

float lap_time(const GateHistory *history, int k, int start_tick)
{
    const GateTables &t = gate_tables;
    if (k <= 0 || k > lap_of(history, nullptr))
        return 0;
    int end = gate_tick(history, t.first_lap - 1 + (k - 1) * t.normal_lap);
    int begin = k == 1 ? start_tick : gate_tick(history, t.first_lap - 1 + (k - 2) * t.normal_lap);
    if (end == -1 || begin == -1)
        return 0;
    return (float)(end - begin) / 128;
}

int plain_gates_passed(int count)
{
    const GateTables &t = gate_tables;
    if (count <= 0 || t.normal_lap <= 0)
        return 0;
    int plain = 0;
    int first = count < t.first_lap ? count : t.first_lap;
    for (int k = 0; k < first; k++)
        plain += t.sequence[k] < GATE_NO_SEGMENT;
    if (count <= t.first_lap)
        return plain;
    int rest = count - t.first_lap;
    plain += rest / t.normal_lap * t.normal_lap_plain;
    for (int k = 0; k < rest % t.normal_lap; k++)
        plain += t.sequence[t.first_lap + k] < GATE_NO_SEGMENT;
    return plain;
}

// --- crossing test ------------------------------------------------------------------------

static bool is_through(const Checkpoint &g, float x, float y, float z)
{
    float dx = x - g.x, dy = y - g.y, dz = z - g.z;
    return sqrtf(dx * dx + dy * dy + dz * dz) <= g.radius && dx * g.dx + dz * g.dz >= 0;
}

int check_gates(GateHistory *history, float x, float y, float z, int tick)
{
    const GateTables &t = gate_tables;
    if (t.checkpoints.empty() || history->finished)
        return 0;
    // Riding-line learning samples the bike here every 32nd tick once robots exist.
    int n = history->passed;
    static const int offsets[5] = {-3, -2, 0, 1, 2};
    bool unrecorded = false;
    for (int offset : offsets) {
        int k = n + offset;
        if (k < 0)
            continue;
        if (gate_tick(history, k) == -1)
            unrecorded = true;
        int gate = gate_at_position(k);
        bool through = gate >= 0 && is_through(t.checkpoints[gate], x, y, z);
        if (through && (k >= n || unrecorded)) {
            if (history->ticks.size() <= (size_t)k)
                history->ticks.resize((size_t)k + 1, -1);
            history->ticks[k] = tick;
            history->passed = k + 1;
            int result = GATE_TAKEN;
            int done = history->passed - t.first_lap;
            if (done >= 0 && done % t.normal_lap == 0)
                result |= LAP_COMPLETED;
            return result;
        }
        if (!through) {
            int after = k + 1 - t.first_lap;
            if (after >= 0 && after % t.normal_lap == 0 && gate_tick(history, k) == -1)
                break;
        }
    }
    return 0;
}
