// Points series: series and standings files, round ranking, the standings
// table, the next event's line-up and recording an event.
#include "race/series.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/file_index.h"
#include "data/stream.h"
#include "platform/log.h"
#include "test_util.h"

namespace {

const std::vector<std::string> TRACKS = {"arena", "hill", "dunes"};

// The data and home directories of DataDirs, with the home directory made
// so standings can be written there.
struct SeriesDirs : DataDirs {
    SeriesDirs()
    {
        temp.write("xdg/Zorvex/.keep", "");
    }
    void write(const std::string &name, const std::string &bytes) const
    {
        file_index_reset();
        write_data(name, bytes);
    }
};

// 40 point values: the given ones first, then zeros.
std::string points(std::initializer_list<int> first)
{
    std::string line;
    int k = 0;
    for (int v : first) {
        line += std::to_string(v) + " ";
        k++;
    }
    for (; k < 40; k++)
        line += "0 ";
    return line + "\n";
}

std::string event(const std::string &name, const std::string &track, int minutes, int laps,
                  std::initializer_list<int> moto, std::initializer_list<int> round)
{
    return name + " " + track + " " + std::to_string(minutes) + " " + std::to_string(laps) + "\n" + points(moto) +
           points(round);
}

// Three riders, two events: a moto that does not end a round, then one that does.
std::string good_file()
{
    return "\"Summer Cup\"\n3 Amateur\n20 31 45\n2\n" + event("\"Heat one\"", "hill", 0, 4, {10, 8, 6}, {0}) +
           event("Final", "dunes", 5, 2, {20, 16, 12}, {25, 20, 15, 10});
}

struct Parsed {
    bool ok;
    Series series;
    std::string reason;
};

Parsed parse_text(const SeriesDirs &dirs, const std::string &text)
{
    dirs.write("t.series", text);
    Parsed result{};
    DataStream *stream = stream_open("@t.series", "r");
    EXPECT_NE(stream, nullptr);
    if (!stream)
        return result;
    result.ok = parse_series(stream, TRACKS, &result.series, &result.reason);
    stream_close(stream);
    return result;
}

// A series in memory: n riders numbered 20, 21, ...; one event per entry of
// `round_ends` (true = the event ends a round with points 25, 20, 15, ...).
Series make_series(int n, const std::vector<bool> &round_ends)
{
    Series s;
    s.title = "Test";
    s.standings_file = "@test.series_standings";
    s.completed_events = 0;
    s.robot_skill = SKILL_EXPERT;
    s.rider_count = n;
    for (int k = 0; k < SERIES_SLOTS; k++)
        s.rider_numbers[k] = k < n ? 20 + k : 0;
    for (size_t e = 0; e < round_ends.size(); e++) {
        SeriesEvent ev;
        clear_series_event(&ev);
        ev.name = "Event " + std::to_string(e + 1);
        for (int k = 0; k < 10; k++)
            ev.moto_points[k] = 10 - k;
        if (round_ends[e])
            for (int k = 0; k < 10; k++)
                ev.round_points[k] = 25 - 5 * k;
        s.events.push_back(ev);
    }
    s.event_count = (int)s.events.size();
    return s;
}

void set_positions(Series *s, int event, std::initializer_list<int> positions)
{
    int i = 0;
    for (int p : positions)
        s->events[event].finishing_positions[i++] = p;
}

std::string log_of(const SeriesDirs &dirs, int level, const std::vector<std::string> &tracks)
{
    std::string log = dirs.temp.file("log.txt");
    set_env("VARK_LOGFILE", log.c_str());
    vark_log_reset_for_tests();
    int saved = debug_level;
    debug_level = level;
    read_series_list(tracks);
    debug_level = saved;
    vark_log(nullptr);
    vark_log_reset_for_tests();
    set_env("VARK_LOGFILE", nullptr);
    return read_file_bytes(log);
}

// --- series files --------------------------------------------------------------------

TEST(SeriesFile, ReadsEveryField)
{
    SeriesDirs dirs;
    Parsed p = parse_text(dirs, good_file());
    ASSERT_TRUE(p.ok) << p.reason;
    const Series &s = p.series;
    EXPECT_EQ(s.title, "Summer Cup");
    EXPECT_EQ(s.robot_skill, SKILL_AMATEUR);
    ASSERT_EQ(s.rider_count, 3);
    EXPECT_EQ(s.rider_numbers[0], 20);
    EXPECT_EQ(s.rider_numbers[2], 45);
    EXPECT_EQ(s.completed_events, 0);
    ASSERT_EQ(s.event_count, 2);
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].name, "Heat one");
    EXPECT_EQ(s.events[0].track, 1);
    EXPECT_EQ(s.events[0].minutes, 0);
    EXPECT_EQ(s.events[0].laps, 4);
    EXPECT_EQ(s.events[0].moto_points[1], 8);
    EXPECT_EQ(s.events[0].round_points[0], 0);
    EXPECT_EQ(s.events[1].name, "Final");
    EXPECT_EQ(s.events[1].track, 2);
    EXPECT_EQ(s.events[1].minutes, 5);
    EXPECT_EQ(s.events[1].laps, 2);
    EXPECT_EQ(s.events[1].round_points[3], 10);
    for (int k = 40; k < SERIES_SLOTS; k++) {
        EXPECT_EQ(s.events[1].moto_points[k], 0);
        EXPECT_EQ(s.events[1].round_points[k], 0);
    }
    EXPECT_EQ(s.events[1].finishing_positions[0], 0);
    EXPECT_TRUE(s.standings_file.empty());
}

TEST(SeriesFile, OneWordTitlesAndSkillWords)
{
    struct Case {
        const char *skill;
        int index;
    } cases[] = {{"Novice", SKILL_NOVICE}, {"Amateur", SKILL_AMATEUR}, {"Expert", SKILL_EXPERT},
                 {"novice", SKILL_EXPERT}, {"Pro", SKILL_EXPERT},       {"\"Novice\"", SKILL_EXPERT}};
    SeriesDirs dirs;
    for (const Case &c : cases) {
        Parsed p = parse_text(dirs, std::string("Cup 0 ") + c.skill + " 0");
        ASSERT_TRUE(p.ok) << c.skill << ": " << p.reason;
        EXPECT_EQ(p.series.title, "Cup");
        EXPECT_EQ(p.series.robot_skill, c.index) << c.skill;
        EXPECT_EQ(p.series.event_count, 0);
    }
}

TEST(SeriesFile, LongTextsAreCutButStayOneItem)
{
    SeriesDirs dirs;
    std::string long_name(1500, 'q');
    Parsed quoted = parse_text(dirs, "\"" + long_name + " x\" 0 Novice 1 " + long_name + " arena 1 2 " +
                                         points({}) + points({1}));
    ASSERT_TRUE(quoted.ok) << quoted.reason;
    EXPECT_EQ(quoted.series.title, std::string(1023, 'q'));
    EXPECT_EQ(quoted.series.robot_skill, SKILL_NOVICE);
    EXPECT_EQ(quoted.series.events[0].name, std::string(1023, 'q'));
    EXPECT_EQ(quoted.series.events[0].round_points[0], 1);
}

TEST(SeriesFile, EmptyQuotedTitleAndTightQuotes)
{
    SeriesDirs dirs;
    Parsed p = parse_text(dirs, "\"\"0 Expert 1 \"Main\"arena 1 2 " + points({}) + points({}));
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_EQ(p.series.title, "");
    EXPECT_EQ(p.series.events[0].name, "Main");
    EXPECT_EQ(p.series.events[0].track, 0);
}

TEST(SeriesFile, Takes159RidersButNot160)
{
    SeriesDirs dirs;
    std::string numbers;
    for (int k = 0; k < 160; k++)
        numbers += std::to_string(20 + k % 80) + " ";
    Parsed most = parse_text(dirs, "Big 159 Expert " + numbers.substr(0, numbers.size() - 3) + " 0");
    ASSERT_TRUE(most.ok) << most.reason;
    EXPECT_EQ(most.series.rider_count, 159);
    EXPECT_EQ(most.series.rider_numbers[158], 20 + 158 % 80);
    Parsed too_many = parse_text(dirs, "Big 160 Expert " + numbers + " 0");
    EXPECT_FALSE(too_many.ok);
}

TEST(SeriesFile, RejectsMalformedFiles)
{
    const std::string heat = event("Heat", "hill", 0, 3, {5}, {0});
    std::string short_moto = "Heat hill 0 3\n";
    for (int k = 0; k < 39; k++)
        short_moto += "1 ";
    std::string short_round = "Heat hill 0 3\n" + points({}) + "1 2 3";
    std::string bad_point = "Heat hill 0 3\n" + points({}) + "1 2 x" + points({});
    struct Case {
        const char *what;
        std::string text;
        const char *reason;  // a part of the reason given
    } cases[] = {
        {"empty file", "", "title missing"},
        {"white space only", " \n\t ", "title missing"},
        {"unclosed quote", "\"Cup 3 Expert 20 21 22 0", "title missing"},
        {"no rider count", "Cup", "rider count missing"},
        {"rider count a word", "Cup x Expert 0", "rider count is not a number"},
        {"rider count with a tail", "Cup 3x Expert 20 21 22 0", "rider count is not a number"},
        {"rider count overflows", "Cup 99999999999 Expert 0", "rider count is not a number"},
        // Rejected before any rider number is needed.
        {"160 riders", "Cup 160 Expert", "rider count 160 out of range"},
        {"huge rider count", "Cup 2147483647 Expert", "out of range"},
        {"negative rider count", "Cup -1 Expert 0", "out of range"},
        {"no skill", "Cup 0", "robot skill missing"},
        {"missing rider numbers", "Cup 2 Expert 20", "rider number 2 missing"},
        {"rider number a word", "Cup 1 Expert abc 0", "rider number 1 is not a number"},
        {"negative rider number", "Cup 1 Expert -980 0", "rider number 1 out of range"},
        {"rider number of four digits", "Cup 1 Expert 1000 0", "rider number 1 out of range"},
        {"no event count", "Cup 1 Expert 20", "event count missing"},
        {"event count a word", "Cup 0 Expert many", "event count is not a number"},
        {"negative event count", "Cup 0 Expert -1", "negative event count"},
        {"fewer events than counted", "Cup 0 Expert 2 " + heat, "event 2: name missing"},
        {"huge event count", "Cup 0 Expert 2147483647 " + heat, "event 2: name missing"},
        {"no track", "Cup 0 Expert 1 Heat", "event 1: track missing"},
        {"unknown track", "Cup 0 Expert 1 " + event("Heat", "moon", 0, 3, {}, {}), "unknown track 'moon'"},
        {"track in another case", "Cup 0 Expert 1 " + event("Heat", "Hill", 0, 3, {}, {}), "unknown track"},
        {"no minutes", "Cup 0 Expert 1 Heat hill", "event 1: minutes missing"},
        {"laps a word", "Cup 0 Expert 1 Heat hill 0 four", "event 1: laps is not a number"},
        {"truncated moto points", "Cup 0 Expert 1 " + short_moto, "event 1: moto points 40 missing"},
        {"truncated round points", "Cup 0 Expert 1 " + short_round, "event 1: round points 4 missing"},
        {"word among the points", "Cup 0 Expert 1 " + bad_point, "event 1: round points 3 is not a number"},
    };
    SeriesDirs dirs;
    for (const Case &c : cases) {
        Parsed p = parse_text(dirs, c.text);
        EXPECT_FALSE(p.ok) << c.what;
        EXPECT_NE(p.reason.find(c.reason), std::string::npos) << c.what << ": got '" << p.reason << "'";
    }
}

// --- loading the list ------------------------------------------------------------------

TEST(SeriesList, LoadsSeriesFilesInNameOrderAndSkipsBadOnes)
{
    SeriesDirs dirs;
    dirs.write("b.series", "Bee 0 Novice 0");
    dirs.write("a.series", good_file());
    dirs.write("bad.series", "Bad 0 Expert 1 " + event("Heat", "moon", 0, 3, {}, {}));
    dirs.write("more/d.series", "Dee 0 Expert 0");
    dirs.write("c.SERIES", "Cee 0 Expert 0");
    dirs.write("e.series.txt", "Eee 0 Expert 0");
    series_list.selected = 3;
    series_list.event_series = 1;
    series_list.event_index = 2;
    read_series_list(TRACKS);
    ASSERT_EQ(series_list.series.size(), 3u);
    EXPECT_EQ(series_list.series[0].title, "Summer Cup");
    EXPECT_EQ(series_list.series[0].standings_file, "@a.series_standings");
    EXPECT_EQ(series_list.series[1].title, "Bee");
    EXPECT_EQ(series_list.series[2].title, "Dee");
    EXPECT_EQ(series_list.series[2].standings_file, "@more/d.series_standings");
    EXPECT_EQ(series_list.selected, 0);
    EXPECT_EQ(series_list.event_series, -1);
    EXPECT_EQ(series_list.event_index, -1);

    // A second start finds nothing and leaves an empty list.
    SeriesDirs empty;
    read_series_list(TRACKS);
    EXPECT_TRUE(series_list.series.empty());
}

TEST(SeriesList, LogsSeriesAndEventsAtDebugLevelOne)
{
    SeriesDirs dirs;
    dirs.write("a.series", good_file());
    dirs.write("bad.series", "Bad 5 Expert");
    std::string quiet = log_of(dirs, 0, TRACKS);
    EXPECT_EQ(quiet.find("series"), std::string::npos);
    std::string log = log_of(dirs, 1, TRACKS);
    EXPECT_NE(log.find("] series a.series (Summer Cup)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("]   event hill (Heat one)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("]   event dunes (Final)\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("(Bad)"), std::string::npos);
    EXPECT_NE(log.find("bad.series"), std::string::npos);
}

TEST(SeriesList, ReadsStandings)
{
    // Three riders and the player; three events, the last two each end a round.
    std::string file = "Cup 3 Expert 20 21 22 3 " + event("One", "arena", 0, 3, {4, 3, 2, 1}, {0}) +
                       event("Two", "arena", 0, 3, {4, 3, 2, 1}, {10, 8, 6, 4}) +
                       event("Three", "hill", 0, 3, {4, 3, 2, 1}, {10, 8, 6, 4});
    struct Case {
        const char *what;
        const char *standings;  // null: no file
        int completed;
        int second_event_first_position;  // participant 0 in event 2, 0-based
    } cases[] = {
        {"no file", nullptr, 0, 0},
        {"empty file", "", 0, 0},
        {"two whole lines", "1 2 3 4 \n4 3 2 1 \n", 2, 3},
        {"all events and more", "1 2 3 4 \n2 1 3 4 \n1 2 3 4 \n1 2 3 4 \n", 3, 1},
        {"any white space", "1\n2\t3   4 2\r\n1 3 4", 2, 1},
        {"short second line", "1 2 3 4 \n4 3 2", 1, 0},
        {"garbage", "1 2 3 4 \n4 x 2 1 \n", 1, 0},
        {"binary garbage", "\x01\xff\x80", 0, 0},
        {"position 0", "1 2 3 4 \n0 1 2 3 \n", 1, 0},
        {"position above n + 1", "1 2 3 4 \n5 1 2 3 \n", 1, 0},
        {"huge position", "1 2 3 4 \n2147483647 1 2 3 \n1 2 3 4 \n", 1, 0},
        {"negative position", "1 2 3 4 \n-2 1 2 3 \n", 1, 0},
        {"everyone last", "4 4 4 4 \n4 4 4 4 \n", 2, 3},
    };
    for (const Case &c : cases) {
        SeriesDirs dirs;
        dirs.write("cup.series", file);
        if (c.standings)
            dirs.write("cup.series_standings", c.standings);
        read_series_list(TRACKS);
        ASSERT_EQ(series_list.series.size(), 1u) << c.what;
        const Series &s = series_list.series[0];
        EXPECT_EQ(s.completed_events, c.completed) << c.what;
        EXPECT_EQ(s.events[1].finishing_positions[0], c.second_event_first_position) << c.what;
        // An event that was not read whole keeps no positions.
        for (int e = c.completed; e < 3; e++)
            for (int i = 0; i < 4; i++)
                EXPECT_EQ(s.events[e].finishing_positions[i], 0) << c.what;
    }
}

TEST(SeriesList, RanksRoundsReadFromStandings)
{
    SeriesDirs dirs;
    dirs.write("cup.series", "Cup 2 Expert 20 21 1 " + event("Race", "arena", 0, 3, {5, 3, 1}, {9, 6, 3}));
    dirs.write("cup.series_standings", "2 3 1 \n");
    read_series_list(TRACKS);
    ASSERT_EQ(series_list.series.size(), 1u);
    const SeriesEvent &race = series_list.series[0].events[0];
    EXPECT_EQ(race.round_ranks[2], 0);
    EXPECT_EQ(race.round_ranks[0], 1);
    EXPECT_EQ(race.round_ranks[1], 2);
}

// --- ranking and the standings file --------------------------------------------------

TEST(RankRound, TotalsOverTheRoundThenPositionInLastEventThenIndex)
{
    // Round 1: two motos; round 2: one race; round 3: one race.
    Series s = make_series(2, {false, true, true, true});
    s.completed_events = 4;
    set_positions(&s, 0, {0, 1, 2});  // moto points 10, 9, 8
    set_positions(&s, 1, {2, 1, 0});  // 8, 9, 10: everyone 18
    // Round 2 alone: participant 0 wins although it trails over both rounds.
    set_positions(&s, 2, {0, 2, 1});
    // Round 3: everyone shares first place; the lower index wins.
    set_positions(&s, 3, {0, 0, 0});
    rank_round(&s);
    EXPECT_EQ(s.events[1].round_ranks[2], 0);
    EXPECT_EQ(s.events[1].round_ranks[1], 1);
    EXPECT_EQ(s.events[1].round_ranks[0], 2);
    EXPECT_EQ(s.events[2].round_ranks[0], 0);
    EXPECT_EQ(s.events[2].round_ranks[2], 1);
    EXPECT_EQ(s.events[2].round_ranks[1], 2);
    EXPECT_EQ(s.events[3].round_ranks[0], 0);
    EXPECT_EQ(s.events[3].round_ranks[1], 1);
    EXPECT_EQ(s.events[3].round_ranks[2], 2);
}

TEST(RankRound, OnlyCompletedEventsCountAndStrayPositionsStayInRange)
{
    Series s = make_series(2, {false, true});
    s.events[1].moto_points[0] = 100;
    set_positions(&s, 0, {1, 0, 2});
    set_positions(&s, 1, {0, 1, 2});
    s.completed_events = 1;
    rank_round(&s);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(s.events[1].round_ranks[i], 0);
    // Positions put in memory outside 0..n are clamped into it.
    set_positions(&s, 0, {-7, 5000, 0});
    set_positions(&s, 1, {1000000, 0, 1});
    s.completed_events = 2;
    rank_round(&s);
    EXPECT_EQ(s.events[1].round_ranks[1], 0);  // 8 + 100 points
    EXPECT_EQ(s.events[1].round_ranks[2], 1);  // 10 + 9
    EXPECT_EQ(s.events[1].round_ranks[0], 2);  // 10 + 8
}

TEST(SeriesStandings, WritesOneLinePerCompletedEventAndReadsBack)
{
    SeriesDirs dirs;
    Series s = make_series(2, {false, true, true});
    s.standings_file = "@sub/cup.series_standings";
    set_positions(&s, 0, {2, 0, 1});
    set_positions(&s, 1, {0, 1, 2});
    set_positions(&s, 2, {1, 1, 1});
    s.completed_events = 2;
    dirs.temp.write("xdg/Zorvex/sub/cup.series_standings", "old old old\n");
    ASSERT_TRUE(write_series_standings(s));
    EXPECT_EQ(read_file_bytes(dirs.home + "sub/cup.series_standings"), "3 1 2 \n1 2 3 \n");
    EXPECT_FALSE(file_exists(dirs.home + "sub/cup.series_standings.new"));

    Series back = make_series(2, {false, true, true});
    DataStream *stream = stream_open("@sub/cup.series_standings", "r");
    ASSERT_NE(stream, nullptr);
    parse_series_standings(stream, &back);
    stream_close(stream);
    EXPECT_EQ(back.completed_events, 2);
    EXPECT_EQ(back.events[0].finishing_positions[0], 2);
    EXPECT_EQ(back.events[1].finishing_positions[2], 2);

    // After "Reset Points" the next write empties the file.
    s.completed_events = 0;
    ASSERT_TRUE(write_series_standings(s));
    EXPECT_EQ(read_file_bytes(dirs.home + "sub/cup.series_standings"), "");
}

TEST(SeriesStandings, UnwritableFileReportsFailure)
{
    SeriesDirs dirs;
    // A plain file where the directory should be, in both search paths.
    dirs.temp.write("xdg/Zorvex/blocked", "x");
    dirs.temp.write("data/blocked", "x");
    Series s = make_series(1, {true});
    s.standings_file = "@blocked/cup.series_standings";
    s.completed_events = 1;
    EXPECT_FALSE(write_series_standings(s));
}

// --- the standings table ---------------------------------------------------------------

std::vector<std::string> row_cells(const StandingsBlock &block, const std::string &number)
{
    for (const StandingsRow &row : block.rows)
        if (row.number == number) {
            std::vector<std::string> out = row.cells;
            out.push_back(row.total_text);
            return out;
        }
    return {};
}

TEST(StandingsTable, RoundsOfOneTwoThreeAndFourEvents)
{
    // Rounds: [0 1] two motos, [2] one race, [3 4 5] three motos, [6 7 8 9] four events.
    Series s = make_series(1, {false, true, true, false, false, true, false, false, false, true});
    // Participant 0 (#20) and the player; the player wins the odd events.
    for (int e = 0; e < 10; e++)
        set_positions(&s, e, e % 2 ? std::initializer_list<int>{1, 0} : std::initializer_list<int>{0, 1});

    s.completed_events = 1;
    rank_round(&s);
    StandingsTable table;
    build_standings_table(s, "7x", &table);
    EXPECT_EQ(table.heading, "Next Event: Event 2");
    ASSERT_EQ(table.blocks.size(), 1u);
    EXPECT_EQ(table.blocks[0].headings,
              (std::vector<std::string>{"No.", "Rd 1", "Rd 2", "Rd 3", "Rd 4", "Total"}));
    EXPECT_EQ(row_cells(table.blocks[0], "20"), (std::vector<std::string>{"- (1-)", "-", "-", "-", "0"}));
    EXPECT_EQ(row_cells(table.blocks[0], "7x"), (std::vector<std::string>{"- (2-)", "-", "-", "-", "0"}));

    s.completed_events = 10;
    rank_round(&s);
    build_standings_table(s, "7x", &table);
    EXPECT_EQ(table.heading, "Test Final Standings");
    // Round 1: 10+9 each, the player wins the last moto, so ranks first.
    // Round 2: #20 wins. Round 3: the player has 10+9+10. Round 4: 10+9+10+9
    // each, the player wins the last.
    EXPECT_EQ(row_cells(table.blocks[0], "20"),
              (std::vector<std::string>{"20 (1-2)", "25 (1)", "20 (2-1-2)", "20 (2)", "85"}));
    EXPECT_EQ(row_cells(table.blocks[0], "7x"),
              (std::vector<std::string>{"25 (2-1)", "20 (2)", "25 (1-2-1)", "25 (1)", "95"}));
    EXPECT_EQ(table.blocks[0].rows[0].number, "7x");
    EXPECT_TRUE(table.blocks[0].rows[0].player);
    EXPECT_FALSE(table.blocks[0].rows[0].band);
    EXPECT_FALSE(table.blocks[0].rows[1].player);
    EXPECT_TRUE(table.blocks[0].rows[1].band);
}

TEST(StandingsTable, EqualTotalsGoByTheLatestRound)
{
    Series s = make_series(2, {true, true});
    set_positions(&s, 0, {0, 2, 1});  // 25 20 for #20 and the player
    set_positions(&s, 1, {1, 2, 0});  // 20 25
    s.completed_events = 2;
    rank_round(&s);
    StandingsTable table;
    build_standings_table(s, "P", &table);
    ASSERT_EQ(table.blocks.size(), 1u);
    const std::vector<StandingsRow> &rows = table.blocks[0].rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, "P");
    EXPECT_EQ(rows[0].total, 45);
    EXPECT_EQ(rows[1].number, "20");
    EXPECT_EQ(rows[1].total, 45);
    EXPECT_EQ(rows[2].number, "21");
    EXPECT_EQ(rows[2].total, 30);

    // Before any round is complete the rows keep participant order.
    s.completed_events = 0;
    build_standings_table(s, "P", &table);
    EXPECT_EQ(table.blocks[0].rows[0].number, "20");
    EXPECT_EQ(table.blocks[0].rows[2].number, "P");
}

TEST(StandingsTable, BlocksOfEightRoundsWithRunningTotals)
{
    Series s = make_series(2, std::vector<bool>(10, true));
    for (int e = 0; e < 10; e++)
        set_positions(&s, e, {e == 9 ? 2 : 0, 1, e == 9 ? 0 : 2});
    s.completed_events = 9;
    rank_round(&s);
    StandingsTable table;
    build_standings_table(s, "", &table);
    EXPECT_EQ(table.heading, "Next Event: Event 10");
    ASSERT_EQ(table.blocks.size(), 2u);
    EXPECT_EQ(table.blocks[0].first_round, 0);
    EXPECT_EQ(table.blocks[0].headings.size(), 10u);
    EXPECT_EQ(table.blocks[0].headings[8], "Rd 8");
    EXPECT_EQ(table.blocks[1].first_round, 8);
    EXPECT_EQ(table.blocks[1].headings,
              (std::vector<std::string>{"No.", "Rd 9", "Rd 10", "Total"}));
    ASSERT_EQ(table.blocks[0].rows.size(), 3u);
    EXPECT_EQ(table.blocks[0].rows[0].number, "20");
    EXPECT_EQ(table.blocks[0].rows[0].total, 8 * 25);
    EXPECT_EQ(table.blocks[1].rows[0].total, 9 * 25);
    EXPECT_EQ(table.blocks[1].rows[0].cells, (std::vector<std::string>{"25 (1)", "-"}));
    EXPECT_EQ(table.blocks[1].rows[2].number, "");
    EXPECT_TRUE(table.blocks[1].rows[2].player);
    EXPECT_EQ(table.blocks[1].rows[2].total_text, "135");
}

TEST(StandingsTable, HeadingsAreCutAndEmptySeriesStillListsRiders)
{
    Series s = make_series(2, {});
    s.title = std::string(1000, 't');
    StandingsTable table;
    build_standings_table(s, "1", &table);
    EXPECT_EQ(table.heading, std::string(900, 't') + " Final Standings");
    ASSERT_EQ(table.blocks.size(), 1u);
    EXPECT_EQ(table.blocks[0].headings, (std::vector<std::string>{"No.", "Total"}));
    ASSERT_EQ(table.blocks[0].rows.size(), 3u);
    EXPECT_EQ(table.blocks[0].rows[0].number, "20");
    EXPECT_EQ(table.blocks[0].rows[2].number, "1");
}

// --- the next event's line-up and recording ---------------------------------------------

TEST(SeriesLineUp, FirstEventInFileOrderThenReverseFinishingOrder)
{
    Series s = make_series(14, {true, true, true});
    int line_up[SERIES_SLOTS];
    ASSERT_TRUE(series_line_up(s, line_up));
    for (int i = 0; i < 14; i++)
        EXPECT_EQ(line_up[i], 1000 + 20 + i);
    EXPECT_EQ(line_up[14], 1);
    EXPECT_EQ(line_up[15], 0);

    // The player won, rider 0 came last, rider 1 is listed beyond n.
    for (int i = 0; i <= 14; i++)
        s.events[0].finishing_positions[i] = i;
    s.events[0].finishing_positions[14] = 0;
    s.events[0].finishing_positions[0] = 14;
    s.events[0].finishing_positions[1] = 99;
    s.completed_events = 1;
    ASSERT_TRUE(series_line_up(s, line_up));
    EXPECT_EQ(line_up[6], 1000 + 20);   // first placed: position 14, lower index first
    EXPECT_EQ(line_up[8], 1000 + 21);
    EXPECT_EQ(line_up[34], 1);          // the winner goes last to the gate
    int filled = 0;
    for (int k = 0; k < SERIES_SLOTS; k++)
        filled += line_up[k] != 0;
    EXPECT_EQ(filled, 15);

    s.completed_events = 3;
    line_up[0] = 42;
    EXPECT_FALSE(series_line_up(s, line_up));
    EXPECT_EQ(line_up[0], 42);
}

TEST(SeriesLineUp, GateOrderOfLargeFields)
{
    const int expected[] = {10, 9, 11, 8, 12, 7, 13, 6, 14, 5, 15, 4, 16, 3, 17, 2, 18, 1, 19, 0, 20, 21, 39};
    const int k_of[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 39};
    for (size_t j = 0; j < sizeof expected / sizeof expected[0]; j++)
        EXPECT_EQ(series_gate_slot(15, k_of[j]), expected[j]) << k_of[j];
    EXPECT_EQ(series_gate_slot(14, 14), 34);

    // 159 riders: everyone gets a slot of their own.
    Series s = make_series(159, {true, true});
    for (int i = 0; i <= 159; i++)
        s.events[0].finishing_positions[i] = 159 - i;
    s.completed_events = 1;
    int line_up[SERIES_SLOTS];
    ASSERT_TRUE(series_line_up(s, line_up));
    int filled = 0;
    for (int k = 0; k < SERIES_SLOTS; k++)
        filled += line_up[k] != 0;
    EXPECT_EQ(filled, 160);
}

TEST(SeriesRecord, PositionsFromTheOrder)
{
    Series s = make_series(3, {true, true});  // riders 20, 21, 22
    struct Case {
        const char *what;
        std::vector<SeriesFinisher> order;
        std::vector<int> positions;  // riders 0..2, then the player
    } cases[] = {
        {"player counts in the middle",
         {{false, false, "21"}, {true, true, "5"}, {false, false, "99"}, {false, false, "20"}},
         {2, 0, 3, 1}},
        {"player abandoned before finishing",
         {{true, false, "5"}, {false, false, "22"}, {false, false, "20"}},
         {1, 3, 0, 3}},
        {"player's number equals a series rider's",
         {{true, true, "20"}, {false, false, "21"}, {false, false, "20"}, {false, false, "22"}},
         {2, 1, 3, 0}},
        {"a rider reached twice is placed once",
         {{false, false, "22"}, {false, false, "22"}, {false, false, "21"}},
         {3, 1, 0, 3}},
        {"empty order", {}, {3, 3, 3, 3}},
    };
    for (const Case &c : cases) {
        record_series_positions(&s, 1, c.order);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(s.events[1].finishing_positions[i], c.positions[i]) << c.what << " participant " << i;
    }
    record_series_positions(&s, 7, {});  // out of range: nothing happens
}

} // namespace
