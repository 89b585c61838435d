// Points series: championships of events against a fixed field of robot
// riders, read from ".series" files, with standings kept in a file beside them.
#pragma once
#include <string>
#include <vector>

struct DataStream;

enum {
    SERIES_SLOTS = 160,        // per-participant arrays; n + 1 participants fit
    SERIES_POINT_VALUES = 40,  // moto and round points given in the file
    SERIES_MAX_TEXT = 1023,    // longest title, event name or track name kept
    SERIES_BLOCK_ROUNDS = 8,   // rounds per table of the standings
};

enum { SKILL_NOVICE, SKILL_AMATEUR, SKILL_EXPERT };

struct SeriesEvent {
    std::string name;
    int track = 0;                        // index into the track list given to the reader
    int minutes = 0;                      // 0 = laps only
    int laps = 0;
    int moto_points[SERIES_SLOTS] = {};   // by finishing position; entries 40.. are 0
    int round_points[SERIES_SLOTS] = {};  // by round position; non-zero first entry ends a round
    int finishing_positions[SERIES_SLOTS] = {};  // 0-based, per participant
    int round_ranks[SERIES_SLOTS] = {};   // 0-based, per participant, for round-ending events
};

// Participants are the series riders 0..n-1 in file order, then the player at n.
struct Series {
    std::string title;
    std::string standings_file;  // "@" + series file name + "_standings"
    int event_count = 0;
    std::vector<SeriesEvent> events;
    int completed_events = 0;    // 0..event_count; the next event to run has this index
    int robot_skill = SKILL_EXPERT;  // SKILL_*
    int rider_count = 0;         // n, 0..159
    int rider_numbers[SERIES_SLOTS] = {};
};

// Per process: filled once at start-up by read_series_list.
struct SeriesList {
    std::vector<Series> series;  // load order
    int selected = 0;            // the series shown by the menus
    int event_series = -1;       // event in progress: series index, or -1
    int event_index = -1;        // event in progress: event index, or -1
};

extern SeriesList series_list;

// An event without results: name and track set, every table zero.
void clear_series_event(SeriesEvent *event);

// Parses a series file from `stream`. An event's track must equal one of
// `tracks` (track directory names) and is stored as its index there. Returns
// false with a short `reason` when an item is missing or not a number, the
// rider count or a rider number is out of range, or a track is unknown. The
// standings file name and the standings themselves are left empty.
bool parse_series(DataStream *stream, const std::vector<std::string> &tracks, Series *series,
                  std::string *reason);

// Reads finishing positions for the events in order from a standings stream
// and sets completed_events to the number of whole events read; does not rank.
void parse_series_standings(DataStream *stream, Series *series);

// Loads every ".series" data file with its standings (per process, at start-up).
// Malformed files are dropped with a debug log line only.
void read_series_list(const std::vector<std::string> &tracks);

// Round ranks of every completed round-ending event.
void rank_round(Series *series);

// Rewrites the standings file from the completed events; false when it could
// not be written (the in-memory standings stay as they are).
bool write_series_standings(const Series &series);

// start_series_event and record_series_event come with the race rules
// (race_reset and the running order); their pure parts are below.

// Slot of the k-th participant placed on the gate after the first event.
int series_gate_slot(int rider_count, int k);

// Line-up kinds for the series' next event: 1000 + number for series riders,
// 1 for the player, 0 elsewhere. False (line_up untouched) when the series is over.
bool series_line_up(const Series &series, int line_up[SERIES_SLOTS]);

// One entry of the race's order, first to last.
struct SeriesFinisher {
    bool player = false;  // the local human's slot
    bool player_counts = false;  // for the player: the race is over, or it finished without a cutting penalty
    std::string number;   // the rider's number text
};

// Sets the finishing positions of `event` from the order: everyone starts last
// (n); the player and the series riders take the next position as reached.
void record_series_positions(Series *series, int event, const std::vector<SeriesFinisher> &order);

// The series page's standings, as text.
struct StandingsRow {
    int participant = 0;         // 0..n, n the player
    std::string number;          // rider number, or the player's "Number" setting
    bool player = false;         // drawn light blue instead of white
    bool band = false;           // every second row lies on a white band
    std::vector<std::string> cells;  // one per round of the block
    long long total = 0;
    std::string total_text;
};

struct StandingsBlock {
    int first_round = 0;               // 0-based index of the block's first round
    std::vector<std::string> headings;  // "No.", "Rd %d"..., "Total"
    std::vector<StandingsRow> rows;     // sorted, best first
};

struct StandingsTable {
    std::string heading;  // next event, or the final standings
    std::vector<StandingsBlock> blocks;
};

void build_standings_table(const Series &series, const char *player_number, StandingsTable *table);
