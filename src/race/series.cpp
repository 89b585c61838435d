// Points series: reading series and standings files, ranking rounds, the
// standings table and the line-up of the next event.
#include "race/series.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "data/file_index.h"
#include "data/search_path.h"
#include "data/stream.h"
#include "platform/log.h"

SeriesList series_list;

// Plate numbers are at most three characters; anything else cannot name a robot.
static const int MAX_RIDER_NUMBER = 999;

// --- items of a series file ----------------------------------------------------------

namespace {

// White-space separated items over a data stream, with one character of lookahead.
struct ItemReader {
    DataStream *stream;
    int next;  // the lookahead character, -1 at the end, -2 when none is held
};

int peek(ItemReader *r)
{
    if (r->next == -2)
        r->next = stream_getc(r->stream);
    return r->next;
}

void take(ItemReader *r)
{
    r->next = -2;
}

// Skips white space; false at the end of the input.
bool skip_white(ItemReader *r)
{
    int c;
    while ((c = peek(r)) >= 0 && isspace(c))
        take(r);
    return c >= 0;
}

// The rest of the current word; characters past the limit are dropped so that
// an overlong word is still one item.
void read_word_tail(ItemReader *r, std::string *word)
{
    int c;
    while ((c = peek(r)) >= 0 && !isspace(c)) {
        if (word->size() < SERIES_MAX_TEXT)
            word->push_back((char)c);
        take(r);
    }
}

bool read_word(ItemReader *r, std::string *word)
{
    word->clear();
    if (!skip_white(r))
        return false;
    read_word_tail(r, word);
    return true;
}

// A text in double quotes, or one word when no quote follows. A quote that is
// never closed means the item is missing.
bool read_text(ItemReader *r, std::string *text)
{
    text->clear();
    if (!skip_white(r))
        return false;
    if (peek(r) != '"') {
        read_word_tail(r, text);
        return true;
    }
    take(r);
    int c;
    while ((c = peek(r)) >= 0 && c != '"') {
        if (text->size() < SERIES_MAX_TEXT)
            text->push_back((char)c);
        take(r);
    }
    if (c < 0)
        return false;
    take(r);
    return true;
}

enum NumberRead { NUMBER_OK, NUMBER_MISSING, NUMBER_BAD };

// A decimal integer that makes up the whole item.
NumberRead read_number(ItemReader *r, int *value)
{
    std::string word;
    if (!read_word(r, &word))
        return NUMBER_MISSING;
    size_t k = 0;
    bool negative = false;
    if (word[0] == '+' || word[0] == '-') {
        negative = word[0] == '-';
        k = 1;
    }
    if (k == word.size())
        return NUMBER_BAD;
    long long v = 0;
    for (; k < word.size(); k++) {
        if (!isdigit((unsigned char)word[k]))
            return NUMBER_BAD;
        v = v * 10 + (word[k] - '0');
        if (v > (long long)INT_MAX + 1)
            return NUMBER_BAD;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return NUMBER_BAD;
    *value = (int)v;
    return NUMBER_OK;
}

// Reads a number; on failure sets the reason from `what`.
bool number_item(ItemReader *r, int *value, const std::string &what, std::string *reason)
{
    switch (read_number(r, value)) {
    case NUMBER_OK:
        return true;
    case NUMBER_MISSING:
        *reason = what + " missing";
        return false;
    default:
        *reason = what + " is not a number";
        return false;
    }
}

int skill_index(const std::string &word)
{
    if (word == "Novice")
        return SKILL_NOVICE;
    if (word == "Amateur")
        return SKILL_AMATEUR;
    return SKILL_EXPERT;
}

bool ends_with(const char *text, const char *tail)
{
    size_t length = strlen(text), n = strlen(tail);
    return length >= n && strcmp(text + length - n, tail) == 0;
}

int clamp_position(int position, int rider_count)
{
    return position < 0 ? 0 : position > rider_count ? rider_count : position;
}

} // namespace

// --- parsing ------------------------------------------------------------------------

void clear_series_event(SeriesEvent *event)
{
    event->name.clear();
    event->track = 0;
    event->minutes = 0;
    event->laps = 0;
    for (int k = 0; k < SERIES_SLOTS; k++) {
        event->moto_points[k] = 0;
        event->round_points[k] = 0;
        event->finishing_positions[k] = 0;
        event->round_ranks[k] = 0;
    }
}

static bool parse_event(ItemReader *r, const std::vector<std::string> &tracks, int index, SeriesEvent *event,
                        std::string *reason)
{
    clear_series_event(event);
    std::string where = "event " + std::to_string(index + 1) + ": ";
    if (!read_text(r, &event->name)) {
        *reason = where + "name missing";
        return false;
    }
    std::string track;
    if (!read_text(r, &track)) {
        *reason = where + "track missing";
        return false;
    }
    event->track = -1;
    for (size_t k = 0; k < tracks.size() && event->track < 0; k++)
        if (tracks[k] == track)
            event->track = (int)k;
    if (event->track < 0) {
        *reason = where + "unknown track '" + track + "'";
        return false;
    }
    if (!number_item(r, &event->minutes, where + "minutes", reason) ||
        !number_item(r, &event->laps, where + "laps", reason))
        return false;
    for (int k = 0; k < SERIES_POINT_VALUES; k++)
        if (!number_item(r, &event->moto_points[k], where + "moto points " + std::to_string(k + 1), reason))
            return false;
    for (int k = 0; k < SERIES_POINT_VALUES; k++)
        if (!number_item(r, &event->round_points[k], where + "round points " + std::to_string(k + 1), reason))
            return false;
    return true;
}

bool parse_series(DataStream *stream, const std::vector<std::string> &tracks, Series *series,
                  std::string *reason)
{
    ItemReader r = {stream, -2};
    Series s;
    s.event_count = 0;
    s.completed_events = 0;
    s.robot_skill = SKILL_EXPERT;
    s.rider_count = 0;
    for (int k = 0; k < SERIES_SLOTS; k++)
        s.rider_numbers[k] = 0;

    if (!read_text(&r, &s.title)) {
        *reason = "title missing";
        return false;
    }
    if (!number_item(&r, &s.rider_count, "rider count", reason))
        return false;
    // Checked before any rider number is read: the numbers go into a fixed table.
    if (s.rider_count < 0 || s.rider_count > SERIES_SLOTS - 1) {
        *reason = "rider count " + std::to_string(s.rider_count) + " out of range";
        return false;
    }
    std::string skill;
    if (!read_word(&r, &skill)) {
        *reason = "robot skill missing";
        return false;
    }
    s.robot_skill = skill_index(skill);
    for (int k = 0; k < s.rider_count; k++) {
        std::string what = "rider number " + std::to_string(k + 1);
        if (!number_item(&r, &s.rider_numbers[k], what, reason))
            return false;
        // A negative or huge number would turn "1000 + number" into another line-up kind.
        if (s.rider_numbers[k] < 0 || s.rider_numbers[k] > MAX_RIDER_NUMBER) {
            *reason = what + " out of range";
            return false;
        }
    }
    int event_count = 0;
    if (!number_item(&r, &event_count, "event count", reason))
        return false;
    if (event_count < 0) {
        *reason = "negative event count";
        return false;
    }
    // The count is not trusted for allocation: events are added as they are read.
    for (int e = 0; e < event_count; e++) {
        s.events.emplace_back();
        if (!parse_event(&r, tracks, e, &s.events.back(), reason))
            return false;
    }
    s.event_count = event_count;
    *series = std::move(s);
    reason->clear();
    return true;
}

// --- standings ----------------------------------------------------------------------

void parse_series_standings(DataStream *stream, Series *series)
{
    ItemReader r = {stream, -2};
    int participants = series->rider_count + 1;
    series->completed_events = 0;
    int events = std::min(series->event_count, (int)series->events.size());
    for (int e = 0; e < events; e++) {
        SeriesEvent &event = series->events[e];
        bool whole = true;
        for (int i = 0; i < participants && whole; i++) {
            int value = 0;
            // A position outside 1..n+1 cannot come from a recorded race: the
            // line is treated as damaged and reading stops there, like a short file.
            whole = read_number(&r, &value) == NUMBER_OK && value >= 1 && value <= participants;
            if (whole)
                event.finishing_positions[i] = value - 1;
        }
        if (!whole) {
            for (int i = 0; i < SERIES_SLOTS; i++)
                event.finishing_positions[i] = 0;
            return;
        }
        series->completed_events = e + 1;
    }
}

void rank_round(Series *series)
{
    int participants = series->rider_count + 1;
    long long totals[SERIES_SLOTS] = {};
    int completed = std::min(series->completed_events, (int)series->events.size());
    for (int e = 0; e < completed; e++) {
        SeriesEvent &event = series->events[e];
        for (int i = 0; i < participants; i++)
            totals[i] += event.moto_points[clamp_position(event.finishing_positions[i], series->rider_count)];
        if (event.round_points[0] == 0)
            continue;
        bool taken[SERIES_SLOTS] = {};
        for (int rank = 0; rank < participants; rank++) {
            int best = -1;
            for (int i = 0; i < participants; i++) {
                if (taken[i])
                    continue;
                if (best < 0 || totals[i] > totals[best] ||
                    (totals[i] == totals[best] &&
                     event.finishing_positions[i] < event.finishing_positions[best]))
                    best = i;
            }
            event.round_ranks[best] = rank;
            taken[best] = true;
        }
        for (int i = 0; i < participants; i++)
            totals[i] = 0;
    }
}

bool write_series_standings(const Series &series)
{
    std::string text;
    int participants = series.rider_count + 1;
    int completed = std::min(series.completed_events, (int)series.events.size());
    char number[16];
    for (int e = 0; e < completed; e++) {
        for (int i = 0; i < participants; i++) {
            snprintf(number, sizeof number, "%d ", series.events[e].finishing_positions[i] + 1);
            text += number;
        }
        text += "\n";
    }

    // Written beside the file and renamed over it, so that a failed or
    // interrupted write keeps the previous standings.
    const char *home = data_search_path(0);
    if (home && series.standings_file.size() > 1 && series.standings_file[0] == '@') {
        std::string path = home + series.standings_file.substr(1);
        std::string temp = path + ".new";
        DataStream *stream = stream_open(temp.c_str(), "wb");
        if (stream) {
            bool written = stream_write(stream, text.data(), text.size()) == text.size();
            written = stream_flush(stream) == 0 && written;
            stream_close(stream);
            if (written && stream_rename(temp.c_str(), path.c_str()))
                return true;
            remove(temp.c_str());
            if (!written)
                return false;
        }
    }
    // No usable home directory: replace the file where the data name leads.
    DataStream *stream = stream_open(series.standings_file.c_str(), "wb");
    if (!stream)
        return false;
    bool written = stream_write(stream, text.data(), text.size()) == text.size();
    written = stream_flush(stream) == 0 && written;
    stream_close(stream);
    return written;
}

// --- loading ------------------------------------------------------------------------

void read_series_list(const std::vector<std::string> &tracks)
{
    series_list.series.clear();
    for (const char *const *names = data_file_names(); names && *names; names++) {
        const char *name = *names;
        if (!ends_with(name, ".series"))
            continue;
        std::string data_name = std::string("@") + name;
        DataStream *stream = stream_open(data_name.c_str(), "r");
        if (!stream) {
            if (debug_level)
                vark_log("series %s not loaded: cannot open\n", name);
            continue;
        }
        Series series;
        std::string reason;
        bool ok = parse_series(stream, tracks, &series, &reason);
        stream_close(stream);
        if (!ok) {
            if (debug_level)
                vark_log("series %s not loaded: %s\n", name, reason.c_str());
            continue;
        }
        if (debug_level) {
            vark_log("series %s (%s)\n", name, series.title.c_str());
            for (const SeriesEvent &event : series.events)
                vark_log("  event %s (%s)\n", tracks[event.track].c_str(), event.name.c_str());
        }
        series.standings_file = data_name + "_standings";
        DataStream *standings = stream_open(series.standings_file.c_str(), "r");
        if (standings) {
            parse_series_standings(standings, &series);
            stream_close(standings);
        }
        rank_round(&series);
        series_list.series.push_back(std::move(series));
    }
    series_list.selected = 0;
    series_list.event_series = -1;
    series_list.event_index = -1;
}

// --- the next event's line-up and recording a finished one ----------------------------

int series_gate_slot(int rider_count, int k)
{
    if (rider_count <= 14)
        return 6 + 2 * k;
    // Centre out from slot 10, then the rest of the front row. Past the 40
    // listed slots the participants fill the slots behind in order.
    static const int centre_out[20] = {10, 9, 11, 8, 12, 7, 13, 6, 14, 5, 15, 4, 16, 3, 17, 2, 18, 1, 19, 0};
    return k < 20 ? centre_out[k] : k;
}

bool series_line_up(const Series &series, int line_up[SERIES_SLOTS])
{
    if (series.completed_events < 0 || series.completed_events >= (int)series.events.size())
        return false;
    int n = series.rider_count;
    for (int k = 0; k < SERIES_SLOTS; k++)
        line_up[k] = 0;
    if (series.completed_events == 0) {
        for (int i = 0; i < n; i++)
            line_up[i] = 1000 + series.rider_numbers[i];
        line_up[n] = 1;
        return true;
    }
    const SeriesEvent &previous = series.events[series.completed_events - 1];
    int k = 0;
    for (int position = n; position >= 0; position--)
        for (int i = 0; i <= n; i++) {
            if (clamp_position(previous.finishing_positions[i], n) != position)
                continue;
            int slot = series_gate_slot(n, k++);
            line_up[slot] = i == n ? 1 : 1000 + series.rider_numbers[i];
        }
    return true;
}

void record_series_positions(Series *series, int event_index, const std::vector<SeriesFinisher> &order)
{
    if (event_index < 0 || event_index >= (int)series->events.size())
        return;
    SeriesEvent &event = series->events[event_index];
    int n = series->rider_count;
    bool placed[SERIES_SLOTS] = {};
    for (int i = 0; i <= n; i++)
        event.finishing_positions[i] = n;
    int p = 0;
    char number[16];
    for (const SeriesFinisher &entry : order) {
        // The player's own entry never stands for a series rider, even when
        // the numbers agree, and nobody is placed twice: either would leave a
        // gap in the positions.
        if (entry.player) {
            if (entry.player_counts && !placed[n]) {
                event.finishing_positions[n] = p++;
                placed[n] = true;
            }
            continue;
        }
        for (int i = 0; i < n; i++) {
            snprintf(number, sizeof number, "%d", series->rider_numbers[i]);
            if (!placed[i] && entry.number == number) {
                event.finishing_positions[i] = p++;
                placed[i] = true;
                break;
            }
        }
    }
}

// --- the standings table ---------------------------------------------------------------

namespace {

struct Round {
    int first, last;  // event indices; `last` ends the round
};

std::vector<Round> series_rounds(const Series &series)
{
    std::vector<Round> rounds;
    int first = 0;
    for (int e = 0; e < (int)series.events.size(); e++)
        if (series.events[e].round_points[0] != 0) {
            rounds.push_back({first, e});
            first = e + 1;
        }
    return rounds;
}

std::string format_text(const char *format, ...) __attribute__((format(printf, 1, 2)));

std::string format_text(const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace

static std::string round_cell(const Series &series, const Round &round, int i)
{
    int n = series.rider_count;
    const SeriesEvent &first = series.events[round.first];
    const SeriesEvent &last = series.events[round.last];
    int events = round.last - round.first + 1;
    if (round.last < series.completed_events) {
        int rank = clamp_position(last.round_ranks[i], n);
        int points = last.round_points[rank];
        if (events == 2)
            return format_text("%d (%d-%d)", points, clamp_position(first.finishing_positions[i], n) + 1,
                               clamp_position(last.finishing_positions[i], n) + 1);
        if (events == 3)
            return format_text("%d (%d-%d-%d)", points, clamp_position(first.finishing_positions[i], n) + 1,
                               clamp_position(series.events[round.first + 1].finishing_positions[i], n) + 1,
                               clamp_position(last.finishing_positions[i], n) + 1);
        return format_text("%d (%d)", points, rank + 1);
    }
    if (events == 2 && round.first < series.completed_events)
        return format_text("- (%d-)", clamp_position(first.finishing_positions[i], n) + 1);
    return "-";
}

void build_standings_table(const Series &series, const char *player_number, StandingsTable *table)
{
    int n = series.rider_count;
    int participants = n + 1;
    table->blocks.clear();
    if (series.completed_events < (int)series.events.size())
        table->heading = format_text("Next Event: %.900s", series.events[series.completed_events].name.c_str());
    else
        table->heading = format_text("%.900s Final Standings", series.title.c_str());

    std::vector<Round> rounds = series_rounds(series);
    int round_count = (int)rounds.size();
    // With no rounds at all one table still lists the riders.
    for (int start = 0; start == 0 || start < round_count; start += SERIES_BLOCK_ROUNDS) {
        int end = std::min(start + SERIES_BLOCK_ROUNDS, round_count);
        StandingsBlock block;
        block.first_round = start;
        block.headings.push_back("No.");
        for (int r = start; r < end; r++)
            block.headings.push_back(format_text("Rd %d", r + 1));
        block.headings.push_back("Total");

        long long totals[SERIES_SLOTS] = {};
        int latest = -1;  // latest completed round up to the end of the block
        for (int r = 0; r < end; r++) {
            if (rounds[r].last >= series.completed_events)
                continue;
            latest = r;
            const SeriesEvent &last = series.events[rounds[r].last];
            for (int i = 0; i < participants; i++)
                totals[i] += last.round_points[clamp_position(last.round_ranks[i], n)];
        }
        std::vector<int> order;
        for (int i = 0; i < participants; i++)
            order.push_back(i);
        // Rows still equal after both keys keep participant order.
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (totals[a] != totals[b])
                return totals[a] > totals[b];
            if (latest < 0)
                return false;
            const SeriesEvent &last = series.events[rounds[latest].last];
            return last.round_ranks[a] < last.round_ranks[b];
        });
        for (int i : order) {
            StandingsRow row;
            row.participant = i;
            row.player = i == n;
            row.number = row.player ? std::string(player_number ? player_number : "")
                                    : format_text("%d", series.rider_numbers[i]);
            row.band = block.rows.size() % 2 == 1;
            for (int r = start; r < end; r++)
                row.cells.push_back(round_cell(series, rounds[r], i));
            row.total = totals[i];
            row.total_text = format_text("%lld", totals[i]);
            block.rows.push_back(std::move(row));
        }
        table->blocks.push_back(std::move(block));
    }
}
