// Timing gates: file reading and writing, lap arithmetic, the crossing test.
#include "race/gates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/message_log.h"
#include "test_util.h"

namespace {

void parse(const std::string &text)
{
    parse_timing_gates(&gate_tables, text.data(), text.size());
}

// Checkpoints g = 0..7 at x = 10 g on the line z = 0, facing +x, radius 3;
// first lap 0 1 2 (F = 3), normal lap 3 4 5 6 (N = 4).
const char *const RING =
    "checkpoints:\n"
    "3 [0 0 0] [1 0 0]\n3 [10 0 0] [1 0 0]\n3 [20 0 0] [1 0 0]\n3 [30 0 0] [1 0 0]\n"
    "3 [40 0 0] [1 0 0]\n3 [50 0 0] [1 0 0]\n3 [60 0 0] [1 0 0]\n3 [70 0 0] [1 0 0]\n"
    "firstlap:\n0 1 2\nnormallap:\n3 4 5 6\n";

// Just past the centre of checkpoint g, on its positive side.
int pass(GateHistory *h, int gate, int tick)
{
    return check_gates(h, 10.0f * gate + 0.5f, 0, 0, tick);
}

TEST(TimingGates, ReadsStartsCheckpointsAndLaps)
{
    parse("startinggate:\n"
          "[1 2 3] 0.5\n"
          "\n"
          "[4 5 6] 4.0 @gate.qm @gate.png null\n"
          "checkpoints:\n"
          "5 [1 2 3] [0 0 1]\n"
          "6.5 [4 5 6] [1 0 0]\n"
          "firstlap: 0 100001\n"
          "normallap: 1 0\n");
    ASSERT_EQ(gate_tables.starts.size(), 2u);
    const StartPosition &a = gate_tables.starts[0];
    EXPECT_EQ(a.x, 1);
    EXPECT_EQ(a.z, 3);
    EXPECT_FLOAT_EQ(a.heading, 0.5f);
    EXPECT_EQ(a.model, START_GATE_MODEL);
    EXPECT_EQ(a.texture, START_GATE_TEXTURE);
    EXPECT_EQ(a.shape, START_GATE_SHAPE);
    const StartPosition &b = gate_tables.starts[1];
    EXPECT_NEAR(b.heading, 4.0 - 2 * M_PI, 1e-5);
    EXPECT_EQ(b.model, "@gate.qm");
    EXPECT_EQ(b.shape, "");
    ASSERT_EQ(gate_tables.checkpoints.size(), 2u);
    EXPECT_EQ(gate_tables.checkpoints[1].radius, 6.5f);
    EXPECT_EQ(gate_tables.checkpoints[0].dz, 1);
    EXPECT_EQ(gate_tables.first_lap, 2);
    EXPECT_EQ(gate_tables.normal_lap, 2);
    EXPECT_EQ(gate_tables.first_lap_plain, 1);
    EXPECT_EQ(gate_tables.normal_lap_plain, 2);
    EXPECT_EQ(gate_at_position(1), 1);
}

TEST(TimingGates, CleansSequenceEntries)
{
    parse("checkpoints:\n"
          "1 [0 0 0] [1 0 0]\n1 [0 0 0] [1 0 0]\n1 [0 0 0] [1 0 0]\n1 [0 0 0] [1 0 0]\n1 [0 0 0] [1 0 0]\n"
          "firstlap: 100003 7 -4 2\nnormallap: 1 200001\n");
    ASSERT_EQ(gate_tables.checkpoints.size(), 5u);
    std::vector<int> expected = {100003, 4, 0, 2, 1, 100001};
    EXPECT_EQ(gate_tables.sequence, expected);
    EXPECT_EQ(gate_at_position(0), 3);
}

TEST(TimingGates, UnusableFilesHaveNoTiming)
{
    const char *const cases[] = {
        "",
        "gates:\n",
        "checkpoints:\n1 [0 0 0] [1 0 0]\nnormallap: 0\n",                    // no first lap
        "checkpoints:\n1 [0 0 0] [1 0 0]\nfirstlap: 0\n",                     // no normal lap
        "checkpoints:\nfirstlap: 0\nnormallap: 0\n",                          // no checkpoint
        "checkpoints:\n1 [0 0 0] [1 0 0]\nfirstlap: 100000\nnormallap: 0\n",  // no plain first-lap entry
        "startinggate:\n[1 2] 0\ncheckpoints:\n1 [0 0 0] [1 0 0]\nfirstlap: 0\nnormallap: 0\n",
    };
    for (const char *text : cases) {
        parse(text);
        EXPECT_TRUE(gate_tables.checkpoints.empty()) << text;
        GateHistory h;
        reset_gate_history(&h);
        h.passed = 5;
        EXPECT_EQ(lap_of(&h, nullptr), 0) << text;
        EXPECT_EQ(check_gates(&h, 0, 0, 0, 1), 0) << text;
        EXPECT_EQ(plain_gates_passed(5), 0) << text;
    }
}

TEST(TimingGates, LimitsTableSizes)
{
    std::string text = "startinggate:\n";
    for (int k = 0; k < 170; k++)
        text += "[0 0 0] 0\n";
    text += "checkpoints:\n";
    for (int k = 0; k < 300; k++)
        text += "1 [0 0 0] [1 0 0]\n";
    text += "firstlap:";
    for (int k = 0; k < 300; k++)
        text += " 1";
    text += "\nnormallap: 2 3\n";
    parse(text);
    EXPECT_EQ(gate_tables.starts.size(), 160u);
    EXPECT_EQ(gate_tables.checkpoints.size(), 256u);
    EXPECT_EQ(gate_tables.first_lap, 256);
    EXPECT_EQ(gate_tables.normal_lap, 2);
}

TEST(TimingGates, WriterRoundTrip)
{
    parse("startinggate:\n[1 2 3] 0.25\n[4 5 6] -1 @a.qm null @a.shp\n"
          "checkpoints:\n2 [1 2 3] [0 0 1]\n"
          "firstlap: 0 100000\nnormallap: 0\n");
    TempDir dir;
    std::string path = dir.file("timing_gates");
    ASSERT_EQ(write_timing_gates(path.c_str()), 1);
    std::string written = read_file_bytes(path);
    EXPECT_EQ(written,
              "startinggate:\n"
              "[1.000000 2.000000 3.000000] 0.250000\n"
              "[4.000000 5.000000 6.000000] -1.000000 @a.qm null @a.shp\n"
              "checkpoints:\n"
              "2.000000 [1.000000 2.000000 3.000000] [0.000000 0.000000 1.000000]\n"
              "firstlap:\n0 100000 \n"
              "normallap:\n0 \n");
    read_timing_gates(path.c_str());
    ASSERT_EQ(gate_tables.starts.size(), 2u);
    EXPECT_EQ(gate_tables.starts[1].texture, "");
    EXPECT_EQ(gate_tables.sequence.size(), 3u);
    dir.write("plain", "x");  // a file where a directory would have to be
    EXPECT_EQ(write_timing_gates((dir.path + "/plain/timing_gates").c_str()), 0);
    EXPECT_STREQ(message_log_line(0), "Can't open 'timing_gates'\n");
}

TEST(TimingGates, LapsAndTimes)
{
    parse(RING);
    GateHistory h;
    reset_gate_history(&h);
    struct { int passed, laps, in_lap; } cases[] = {{0, 0, 0}, {2, 0, 2}, {3, 1, 0}, {6, 1, 3}, {7, 2, 0}, {12, 3, 1}};
    for (auto c : cases) {
        h.passed = c.passed;
        int in_lap = -1;
        EXPECT_EQ(lap_of(&h, &in_lap), c.laps) << c.passed;
        EXPECT_EQ(in_lap, c.in_lap) << c.passed;
    }
    h.passed = 7;
    h.ticks = {10, 20, 128 + 100, 300, 400, -1, 100 + 128 * 3};
    EXPECT_FLOAT_EQ(lap_time(&h, 1, 100), 1.0f);
    EXPECT_FLOAT_EQ(lap_time(&h, 2, 100), 2.0f);
    EXPECT_EQ(lap_time(&h, 3, 100), 0);
    EXPECT_EQ(lap_time(&h, 0, 100), 0);
    h.ticks[2] = -1;
    EXPECT_EQ(lap_time(&h, 1, 100), 0);
    EXPECT_EQ(gate_tick(&h, 99), -1);
    EXPECT_EQ(gate_tick(&h, -1), -1);
}

TEST(TimingGates, PlainGatesCountWholeLaps)
{
    parse("checkpoints:\n1 [0 0 0] [1 0 0]\n1 [0 0 0] [1 0 0]\n"
          "firstlap: 0 100001 1\nnormallap: 100000 1 0\n");
    // F = 3 (F' = 2), N = 3 (N' = 2)
    int expected[] = {0, 1, 1, 2, 2, 3, 4, 4, 5};
    for (int count = 0; count < 9; count++)
        EXPECT_EQ(plain_gates_passed(count), expected[count]) << count;
}

TEST(TimingGates, SetGatesPassedCutsHistory)
{
    GateHistory h;
    reset_gate_history(&h);
    h.passed = 4;
    h.ticks = {1, 2, 3, 4};
    h.finished = 1;
    EXPECT_FALSE(set_gates_passed(&h, 4));
    EXPECT_EQ(h.finished, 1);
    EXPECT_TRUE(set_gates_passed(&h, 2));
    EXPECT_EQ(h.ticks.size(), 2u);
    EXPECT_EQ(h.finished, 0);
    EXPECT_FALSE(set_gates_passed(&h, 6));
    EXPECT_EQ(gates_passed(&h), 6);
    EXPECT_EQ(gate_tick(&h, 4), -1);
}

TEST(TimingGates, CrossingInOrder)
{
    parse(RING);
    GateHistory h;
    reset_gate_history(&h);
    // Inside the radius on the negative side does not count.
    EXPECT_EQ(check_gates(&h, -0.5f, 0, 0, 5), 0);
    // Outside the radius does not count either.
    EXPECT_EQ(check_gates(&h, 3.5f, 0, 0, 5), 0);
    EXPECT_EQ(pass(&h, 0, 10), GATE_TAKEN);
    EXPECT_EQ(pass(&h, 0, 11), 0);  // the gate just passed is not tested again
    EXPECT_EQ(pass(&h, 1, 20), GATE_TAKEN);
    EXPECT_EQ(pass(&h, 2, 30), GATE_TAKEN | LAP_COMPLETED);
    EXPECT_EQ(gates_passed(&h), 3);
    EXPECT_EQ(pass(&h, 3, 40), GATE_TAKEN);
    std::vector<int> ticks = {10, 20, 30, 40};
    EXPECT_EQ(h.ticks, ticks);
    // A recorded gate behind the bike is not taken again.
    EXPECT_EQ(pass(&h, 1, 45), 0);
    EXPECT_EQ(gates_passed(&h), 4);
    h.finished = 1;
    EXPECT_EQ(pass(&h, 4, 50), 0);
}

TEST(TimingGates, SkippedGateCanBeTakenBack)
{
    parse(RING);
    GateHistory h;
    reset_gate_history(&h);
    for (int g = 0; g < 5; g++)
        ASSERT_NE(pass(&h, g, 10 * (g + 1)), 0);
    ASSERT_EQ(gates_passed(&h), 5);
    // Position 5 (gate 5) skipped, through position 6 (gate 6, the lap's last).
    EXPECT_EQ(pass(&h, 6, 70), GATE_TAKEN | LAP_COMPLETED);
    EXPECT_EQ(gates_passed(&h), 7);
    EXPECT_EQ(gate_tick(&h, 5), -1);
    EXPECT_EQ(gate_tick(&h, 6), 70);
    // Going back through gate 5 records it and re-syncs to position 6.
    EXPECT_EQ(pass(&h, 5, 80), GATE_TAKEN);
    EXPECT_EQ(gates_passed(&h), 6);
    EXPECT_EQ(gate_tick(&h, 5), 80);
    EXPECT_EQ(gate_tick(&h, 6), 70);  // kept beyond n
}

TEST(TimingGates, NoGateOfTheNextLapBeforeThisLapsLast)
{
    parse(RING);
    GateHistory h;
    reset_gate_history(&h);
    for (int g = 0; g < 5; g++)
        ASSERT_NE(pass(&h, g, g + 1), 0);
    // n = 5: position 7 (gate 3, next lap) lies within the look-ahead but
    // position 6, this lap's last, has not been passed.
    EXPECT_EQ(pass(&h, 3, 50), 0);
    EXPECT_EQ(gates_passed(&h), 5);
    // Once position 6 is passed, gate 3 starts the next lap.
    EXPECT_EQ(pass(&h, 6, 60), GATE_TAKEN | LAP_COMPLETED);
    EXPECT_EQ(pass(&h, 3, 70), GATE_TAKEN);
    EXPECT_EQ(gates_passed(&h), 8);
    EXPECT_EQ(gate_tick(&h, 5), -1);
}

} // namespace
