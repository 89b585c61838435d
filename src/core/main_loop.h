// The main loop: frame pacing, the fixed tick, input events by time stamp,
// hot keys, view modes and the riding controls of the followed bike.
#pragma once
#include <cstdint>

// The simulation step, 1/128 second.
constexpr double TICK_SECONDS = 1.0 / 128;
// A frame never advances the simulation by more than this (16 ticks).
constexpr double MAX_FRAME_ADVANCE = 0.125;

enum ViewMode {
    VIEW_RIDER = 0,
    VIEW_EDITOR = 2,
    VIEW_CHASE = 3,
    VIEW_TV = 4,
    VIEW_TITLE = 5,
};

// Indices of the control values.
enum {
    CONTROL_STEER,
    CONTROL_THROTTLE,
    CONTROL_FRONT_BRAKE,
    CONTROL_REAR_BRAKE,
    CONTROL_SHIFT,
    CONTROL_CLUTCH,
    CONTROL_SIT_DAB,
    CONTROL_BACK_UP,
    CONTROL_LEAN,
    CONTROL_COUNT
};

struct RidingControl {
    const char *item;   // binding item of the controls menu
    int control;        // control value it adds to
    int sign;
};

enum { RIDING_CONTROL_COUNT = 12 };
extern const RidingControl riding_controls[RIDING_CONTROL_COUNT];

enum HotKey {
    HOT_KEY_PAUSE,
    HOT_KEY_STEP,
    HOT_KEY_REWIND,
    HOT_KEY_SKIP,
    HOT_KEY_PREVIOUS_BIKE,
    HOT_KEY_NEXT_BIKE,
    HOT_KEY_CHAT,
    HOT_KEY_SCREENSHOT,
    HOT_KEY_COUNT
};
extern const char *const hot_key_items[HOT_KEY_COUNT];

enum { EVENT_CLOSE = 0xDEAD, EVENT_TAB = 9, MENU_PAGE_MAIN = 0, MENU_PAGE_CONSOLE = 16 };

enum BindingKind { BINDING_NONE, BINDING_KEY, BINDING_AXIS };

// One control's binding: a key (held or not) or an axis with the range that maps onto 0..1.
struct ControlBinding {
    int kind = BINDING_NONE;
    uint32_t code = 0;          // key: event code
    void *axis = nullptr;       // axis: handle for LoopPlatform::read_axis
    double low = 0, high = 0;   // axis: raw ÷ 32768 at 0 and at 1
    bool pressed = false;       // key: held now
};

// What the rider asks of the bike; the followed local bike takes it every tick.
struct RiderInputs {
    float steer = 0;
    float throttle = 0;
    float front_brake = 0;
    float rear_brake = 0;
    float back_up = 0;
    float lean = 0;
    float sit_dab = 0;
    float clutch = 1;           // engagement: 0 disengaged .. 1 engaged
    int shift = 0;              // -1 down, 0 none, +1 up
};

// Menu and configuration values the loop reads.
struct LoopOptions {
    int reversed_steering = 1;  // "Reversed Steering"
    int sticky_sit_dab = 0;     // "Sticky Sit/Dab"
    int backing_up_aborts = 1;  // "Backing Up Aborts Attempt"
    int spy = 0;                // configuration `spy`: may follow others while racing
    double volume = 10;         // "Volume"
    double competitor_volume = 8;  // "Competitor Volume"
};

struct FrameStats {
    int frames = 0;
    double min_advance = 0;     // seconds; valid once frames > 0
    double max_advance = 0;
    // Bin 0 counts frames shorter than one tick, bin k (1..6) those of at
    // least 2^(k-1) and under 2^k ticks, bin 7 the longer ones.
    int histogram[8] = {};
};

// Per process; the loop's own state from start-up to shutdown.
struct LoopState {
    int view_mode = VIEW_RIDER;
    bool paused = false;
    bool quit = false;
    bool warp = false;          // "--warp"
    bool editor_enabled = false;
    float lock_rate = 0;        // frames per second, 0 = off

    // Seconds since the loop started.
    double simulated_time = 0;
    double target_time = 0;
    double previous_frame_time = 0;
    double now = 0;             // the clock as last read by frame pacing
    double wall_clock = 0;      // advanced with the simulation; read by the overlay
    long start_seconds = 0;     // clock at loop start
    long start_microseconds = 0;

    int menu_page = -1;         // -1: no page shown
    int followed_slot = 0;
    int tv_camera = -1;         // -1: automatic
    double orbit_angle = 0;
    double orbit_distance = 10;
    double orbit_height = 5;

    FrameStats stats;
    int screenshot_counter = 0; // next screenshot number; 0 = not yet looked up
    int countdown = 0;          // decremented every 5 seconds while above 0
    double countdown_deadline = 0;

    ControlBinding riding_bindings[RIDING_CONTROL_COUNT];
    float riding_values[RIDING_CONTROL_COUNT] = {};
    float controls[CONTROL_COUNT] = {};
    ControlBinding hot_keys[HOT_KEY_COUNT];
    uint32_t esc_code = 0x1001; // the "esc" menu key
    float previous_sit_control = 0;
    RiderInputs inputs;         // used when no bike hands out its own record
    LoopOptions options;
};

extern LoopState loop_state;

// Clock, sleep and input; tests give fakes. Times are those of the platform clock.
struct LoopPlatform {
    bool (*time)(long *seconds, long *microseconds);
    void (*sleep)(long seconds, long microseconds);
    void *event_context;
    // The oldest queued event not later than the given time, or false.
    bool (*next_event_before)(void *context, uint32_t *code, bool *pressed, long seconds, long microseconds);
    bool (*next_event)(void *context, uint32_t *code, bool *pressed);
    int (*read_axis)(void *axis);
};

// The platform clock and sleep, no event source.
LoopPlatform default_loop_platform();

struct NetClock {
    int server_tick;            // last tick received from the server
    int race_tick;              // current race tick
    int start_tick;             // tick at which the race starts
    bool warmup;                // the local player has no race position
};

// What other subsystems do for the loop; any hook may be null when its subsystem is absent.
struct LoopHooks {
    bool (*draw_frame)(LoopState *state);              // draws, records video, presents; false ends the loop
    void (*update_sound)(const LoopState *state, double base_volume);
    bool (*connected)();
    void (*net_clock)(NetClock *clock);
    void (*net_tick)();
    void (*world_step)();
    void (*record_audio)();                            // after each world step
    bool (*track_loaded)();
    bool (*slot_has_bike)(int slot);
    bool (*slot_is_local)(int slot);                   // controller kind 0
    void (*refresh_followed)(LoopState *state);
    RiderInputs *(*bike_inputs)(int slot);             // the followed bike's input record
    int (*running_order)(int *slots, int capacity);    // slots in race order
    void (*skip_replay)(int seconds);
    bool (*time_trial)();
    void (*restart_time_trial_attempt)();
    void (*editor_tick)(LoopState *state);
    bool (*editor_key)(LoopState *state, uint32_t code);  // true when the editor used the key
    void (*lift_bikes)();                              // out of the ground, leaving the editor
    void (*menu_key)(LoopState *state, uint32_t code);
    bool (*assign_binding_event)(uint32_t code, bool pressed);  // true when a binding being assigned took it
    void (*assign_binding_axes)();
    void (*pointer)(LoopState *state);
    bool (*save_screenshot)(int number);               // "@screenshot%03d.png"; false when nothing was saved
    int (*track_camera_count)();
    void (*tv_controls)(LoopState *state, const float controls[CONTROL_COUNT], bool toggle_automatic);
    void (*warp_restart)();                            // rotates the line-up when the leader has finished
    void (*update_terrain)();
};

// Starts the loop's clock: simulated and target time 0, previous frame = now.
void main_loop_begin(LoopState *state, const LoopPlatform *platform);
// One pass; false when the loop ends.
bool main_loop_pass(LoopState *state, const LoopPlatform *platform, const LoopHooks *hooks);
void run_main_loop(LoopState *state, const LoopPlatform *platform, const LoopHooks *hooks);

// Frame pacing: waits as needed and returns the frame's advance in seconds;
// counts the frame in the histogram and sets state->now.
double pace_frame(LoopState *state, const LoopPlatform *platform, bool connected);
// Factor on the frame advance that pulls the local clock towards the server's.
double network_clock_factor(double lag_seconds, bool race_started);

int fix_view_mode(int mode, bool track_loaded, bool followed_local, bool followed_has_bike);
int next_view_mode(int mode, bool editor_enabled);

// Riding-control values from the bindings, then the nine control values.
void compute_control_values(LoopState *state, int (*read_axis)(void *axis));
// Rider inputs from the control values; `previous_sit` is control 6 of the previous tick.
void apply_rider_controls(const float controls[CONTROL_COUNT], const LoopOptions &options, float previous_sit,
                          RiderInputs *inputs);
void move_orbit_camera(LoopState *state);

void handle_event(LoopState *state, const LoopHooks *hooks, uint32_t code, bool pressed);

// One past the largest "screenshot<number>" among the names; 1 when there is none.
int next_screenshot_number(const char *const *names);
// TV camera choice for a digit key: "0" automatic (-1), above the count the last camera.
int tv_camera_for_digit(int digit, int camera_count);

double sound_base_volume(const LoopState *state, bool following_local);
double slot_volume(double base_volume, bool followed, bool hidden, double competitor_volume);
