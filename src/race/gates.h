// Timing gates: the track's starting positions, checkpoints and lap
// sequences ("timing_gates"), and each bike's passing history.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum {
    MAX_START_POSITIONS = 160,
    MAX_CHECKPOINTS = 256,
    MAX_LAP_ENTRIES = 256,
    GATE_NO_SEGMENT = 100000,  // added to a sequence entry: no new riding-line segment
};

struct StartPosition {
    float x, y, z;
    float heading;             // radians, -pi..pi
    int object;                // statue index of its starting-gate object, -1 when none
    std::string model, texture, shape;  // the object's files; empty = "null"
};

struct Checkpoint {
    float x, y, z;             // centre
    float dx, dy, dz;          // direction; only dx and dz are used
    float radius;
};

// Per track: replaced by read_timing_gates.
struct GateTables {
    std::vector<StartPosition> starts;
    std::vector<Checkpoint> checkpoints;  // empty when the timing is not active
    std::vector<int> sequence;            // first-lap entries, then normal-lap entries
    int first_lap;                        // F
    int normal_lap;                       // N
    int first_lap_plain;                  // F': entries below GATE_NO_SEGMENT
    int normal_lap_plain;                 // N'
};

extern GateTables gate_tables;

// Default starting-gate object files.
extern const char *const START_GATE_MODEL;
extern const char *const START_GATE_TEXTURE;
extern const char *const START_GATE_SHAPE;

// Parses the data name (a missing file leaves the track without gates).
// Starting-gate objects are not placed here: the track loader places one per
// starting position and stores its index in `object`.
void read_timing_gates(const char *name);
// Writes the tables to the data name; posts "Can't open 'timing_gates'" and
// returns 0 when the file cannot be created.
int write_timing_gates(const char *name);
void clear_timing_gates();

// Parses a timing_gates text held in memory into `tables` (used by the reader).
void parse_timing_gates(GateTables *tables, const char *text, size_t size);

// Checkpoint index of sequence position p (the flag removed), or -1 without timing.
int gate_at_position(int position);

// One bike's passing history (lives with the bike, reset by the race).
struct GateHistory {
    int passed;                 // n: the next sequence position to pass
    std::vector<int> ticks;     // tick at which each position was passed, -1 skipped
    int finished;
};

void reset_gate_history(GateHistory *history);
int gates_passed(const GateHistory *history);
int gate_tick(const GateHistory *history, int position);
// Sets n and cuts the history to n entries; when n decreases the finished
// flag is cleared. Returns true when n decreased (the caller then resets the
// bike's riding-line recording).
bool set_gates_passed(GateHistory *history, int n);
// Laps completed; *position_in_lap (optional) gets n - F mod N when n >= F, else n.
int lap_of(const GateHistory *history, int *position_in_lap);
// Seconds of lap k (1 = first), 0 when unknown.
float lap_time(const GateHistory *history, int k, int start_tick);
// Plain entries among the first `count` sequence positions.
int plain_gates_passed(int count);

enum { GATE_TAKEN = 1, LAP_COMPLETED = 2 };
// The per-tick crossing test at the bike's chassis position. Returns 0, or
// GATE_TAKEN with LAP_COMPLETED when the gate ended a lap; the caller then
// applies the finishing rule, recomputes the running order and resets the
// bike's riding-line recording.
int check_gates(GateHistory *history, float x, float y, float z, int tick);
