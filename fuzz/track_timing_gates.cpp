// Fuzzes the timing_gates reader, the writer and the crossing test.
#include "race/gates.h"
#include "track_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path = fuzz_file("timing_gates", data, size);
    read_timing_gates(path.c_str());
    const GateTables &t = gate_tables;
    if (t.starts.size() > MAX_START_POSITIONS || t.checkpoints.size() > MAX_CHECKPOINTS ||
        t.first_lap > MAX_LAP_ENTRIES || t.normal_lap > MAX_LAP_ENTRIES)
        abort();
    GateHistory history;
    reset_gate_history(&history);
    for (const Checkpoint &c : t.checkpoints)
        check_gates(&history, c.x, c.y, c.z, 1);
    (void)lap_of(&history, nullptr);
    (void)lap_time(&history, 1, 0);
    (void)plain_gates_passed(history.passed + 300);
    write_timing_gates((fuzz_dir() + "written").c_str());
    read_timing_gates((fuzz_dir() + "written").c_str());
    return 0;
}
