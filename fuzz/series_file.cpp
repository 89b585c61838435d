// Fuzzes the series file parser, and the standings reader, round ranking,
// standings table, line-up and standings writer over the same bytes.
#include "race/series.h"

#include "data/stream.h"
#include "track_fuzz_util.h"

static const std::vector<std::string> TRACKS = {"arena", "hill", "dunes"};

// Used for the standings when the bytes are no series file: three riders,
// four events, rounds of two motos.
static Series fallback_series()
{
    Series s;
    s.title = "Fuzz";
    s.completed_events = 0;
    s.robot_skill = SKILL_EXPERT;
    s.rider_count = 3;
    for (int k = 0; k < SERIES_SLOTS; k++)
        s.rider_numbers[k] = k < 3 ? 20 + k : 0;
    for (int e = 0; e < 4; e++) {
        SeriesEvent event;
        clear_series_event(&event);
        event.name = "Moto";
        for (int k = 0; k < 4; k++) {
            event.moto_points[k] = 4 - k;
            event.round_points[k] = e % 2 ? 10 - k : 0;
        }
        s.events.push_back(event);
    }
    s.event_count = 4;
    return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path = fuzz_file("in.series", data, size);
    Series series;
    std::string reason;
    DataStream *stream = stream_open(path.c_str(), "r");
    if (!stream)
        return 0;
    bool ok = parse_series(stream, TRACKS, &series, &reason);
    stream_close(stream);
    if (ok) {
        if (series.rider_count < 0 || series.rider_count >= SERIES_SLOTS ||
            series.event_count != (int)series.events.size() || !reason.empty() || series.title.size() > 1023)
            abort();
        for (const SeriesEvent &event : series.events)
            if (event.track < 0 || event.track >= (int)TRACKS.size())
                abort();
    } else {
        if (reason.empty())
            abort();
        series = fallback_series();
    }

    // The same bytes as the standings.
    stream = stream_open(path.c_str(), "r");
    if (!stream)
        return 0;
    parse_series_standings(stream, &series);
    stream_close(stream);
    if (series.completed_events < 0 || series.completed_events > series.event_count)
        abort();
    for (int e = 0; e < series.completed_events; e++)
        for (int i = 0; i <= series.rider_count; i++)
            if (series.events[e].finishing_positions[i] < 0 ||
                series.events[e].finishing_positions[i] > series.rider_count)
                abort();
    rank_round(&series);
    StandingsTable table;
    build_standings_table(series, "1", &table);
    int line_up[SERIES_SLOTS];
    series_line_up(series, line_up);

    // Written standings read back the same.
    series.standings_file = "@fuzz.series_standings";
    if (!write_series_standings(series))
        return 0;
    Series back = series;
    stream = stream_open(series.standings_file.c_str(), "r");
    if (!stream)
        abort();
    parse_series_standings(stream, &back);
    stream_close(stream);
    if (back.completed_events != series.completed_events)
        abort();
    for (int e = 0; e < series.completed_events; e++)
        for (int i = 0; i <= series.rider_count; i++)
            if (back.events[e].finishing_positions[i] != series.events[e].finishing_positions[i])
                abort();
    return 0;
}
