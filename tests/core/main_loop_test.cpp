// The main loop with a fake clock and a fake event queue: pacing, ticks,
// events by time stamp, controls, hot keys and view modes.
#include "core/main_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <map>
#include <vector>

#include "platform/message_log.h"

namespace {

// A clock that only moves when the code under test sleeps or a hook says so.
long long fake_microseconds = 0;
long long slept_microseconds = 0;

bool fake_time(long *seconds, long *microseconds)
{
    *seconds = (long)(fake_microseconds / 1000000);
    *microseconds = (long)(fake_microseconds % 1000000);
    return true;
}

void fake_sleep(long seconds, long microseconds)
{
    long long total = (long long)seconds * 1000000 + microseconds;
    fake_microseconds += total;
    slept_microseconds += total;
}

struct FakeEvent {
    long long time;   // clock microseconds
    uint32_t code;
    bool pressed;
};
std::deque<FakeEvent> fake_events;

bool fake_next_event_before(void *, uint32_t *code, bool *pressed, long seconds, long microseconds)
{
    long long limit = (long long)seconds * 1000000 + microseconds;
    if (fake_events.empty() || fake_events.front().time > limit)
        return false;
    *code = fake_events.front().code;
    *pressed = fake_events.front().pressed;
    fake_events.pop_front();
    return true;
}

bool fake_next_event(void *context, uint32_t *code, bool *pressed)
{
    return fake_next_event_before(context, code, pressed, 2000000000L, 0);
}

std::map<void *, int> fake_axes;
int fake_read_axis(void *axis)
{
    return fake_axes[axis];
}

// Hook state.
long long frame_work_microseconds = 0;   // what drawing a frame costs
int world_steps = 0;
std::vector<float> throttle_per_step;
bool hook_connected = false;
bool hook_local = true;
bool hook_has_bike = true;
bool hook_track = true;
int skips = 0;
int lifts = 0;
std::vector<uint32_t> menu_keys;
std::vector<int> saved_screenshots;
bool screenshot_saves = true;
int running_order_slots[3] = {5, 2, 9};
int cameras = 3;

bool draw(LoopState *)
{
    fake_microseconds += frame_work_microseconds;
    return true;
}

void step()
{
    world_steps++;
    throttle_per_step.push_back(loop_state.controls[CONTROL_THROTTLE]);
}

LoopHooks test_hooks()
{
    LoopHooks hooks = {};
    hooks.draw_frame = draw;
    hooks.world_step = step;
    hooks.connected = [] { return hook_connected; };
    hooks.track_loaded = [] { return hook_track; };
    hooks.slot_has_bike = [](int) { return hook_has_bike; };
    hooks.slot_is_local = [](int) { return hook_local; };
    hooks.skip_replay = [](int seconds) { skips += seconds; };
    hooks.lift_bikes = [] { lifts++; };
    hooks.menu_key = [](LoopState *, uint32_t code) { menu_keys.push_back(code); };
    hooks.save_screenshot = [](int number) {
        saved_screenshots.push_back(number);
        return screenshot_saves;
    };
    hooks.running_order = [](int *slots, int capacity) {
        int count = std::min(capacity, 3);
        for (int i = 0; i < count; i++)
            slots[i] = running_order_slots[i];
        return count;
    };
    hooks.track_camera_count = [] { return cameras; };
    return hooks;
}

LoopPlatform test_platform()
{
    LoopPlatform platform = {};
    platform.time = fake_time;
    platform.sleep = fake_sleep;
    platform.next_event_before = fake_next_event_before;
    platform.next_event = fake_next_event;
    platform.read_axis = fake_read_axis;
    return platform;
}

enum : uint32_t { KEY_THROTTLE = 0x1000 + 45, KEY_PAUSE = 0x1000 + 69, KEY_STEP = 0x1000 + 52,
                  KEY_SCREENSHOT = 0x1000 + 31, KEY_NEXT = 0x1000 + 27, KEY_PREVIOUS = 0x1000 + 26,
                  KEY_CHAT = 0x1000 + 20, KEY_REWIND = 0x1000 + 43, KEY_SKIP = 0x1000 + 53 };

class MainLoop : public ::testing::Test {
protected:
    LoopPlatform platform = test_platform();
    LoopHooks hooks = test_hooks();

    void SetUp() override
    {
        loop_state = LoopState();
        fake_microseconds = 1000LL * 1000000 + 250000;  // any start will do
        slept_microseconds = 0;
        fake_events.clear();
        fake_axes.clear();
        frame_work_microseconds = 0;
        world_steps = 0;
        throttle_per_step.clear();
        hook_connected = false;
        hook_local = true;
        hook_has_bike = true;
        hook_track = true;
        skips = lifts = 0;
        menu_keys.clear();
        saved_screenshots.clear();
        screenshot_saves = true;
        cameras = 3;
        bind_key(loop_state.riding_bindings[2], KEY_THROTTLE);  // "Throttle"
        bind_key(loop_state.hot_keys[HOT_KEY_PAUSE], KEY_PAUSE);
        bind_key(loop_state.hot_keys[HOT_KEY_STEP], KEY_STEP);
        bind_key(loop_state.hot_keys[HOT_KEY_REWIND], KEY_REWIND);
        bind_key(loop_state.hot_keys[HOT_KEY_SKIP], KEY_SKIP);
        bind_key(loop_state.hot_keys[HOT_KEY_PREVIOUS_BIKE], KEY_PREVIOUS);
        bind_key(loop_state.hot_keys[HOT_KEY_NEXT_BIKE], KEY_NEXT);
        bind_key(loop_state.hot_keys[HOT_KEY_CHAT], KEY_CHAT);
        bind_key(loop_state.hot_keys[HOT_KEY_SCREENSHOT], KEY_SCREENSHOT);
        main_loop_begin(&loop_state, &platform);
    }

    static void bind_key(ControlBinding &binding, uint32_t code)
    {
        binding.kind = BINDING_KEY;
        binding.code = code;
    }

    // Runs one pass and returns the number of world steps it made.
    int pass()
    {
        int before = world_steps;
        EXPECT_TRUE(main_loop_pass(&loop_state, &platform, &hooks));
        return world_steps - before;
    }

    void press(uint32_t code) { handle_event(&loop_state, &hooks, code, true); }
};

TEST_F(MainLoop, SixtyFramesPerSecondAlternateTwoAndThreeTicks)
{
    frame_work_microseconds = 16667;
    int total = 0;
    std::vector<int> seen;
    for (int frame = 0; frame < 60; frame++) {
        int ticks = pass();
        EXPECT_TRUE(ticks == 2 || ticks == 3) << "frame " << frame << ": " << ticks;
        seen.push_back(ticks);
        total += ticks;
    }
    EXPECT_NEAR(total, 128, 1);
    EXPECT_NE(std::count(seen.begin(), seen.end(), 3), 0);
    EXPECT_EQ(slept_microseconds, 0);
}

TEST_F(MainLoop, ASlowFrameAdvancesAtMostAnEighthOfASecond)
{
    frame_work_microseconds = 1000000;
    EXPECT_EQ(pass(), 16);
    EXPECT_DOUBLE_EQ(loop_state.target_time, 0.125);
    EXPECT_DOUBLE_EQ(loop_state.stats.max_advance, 0.125);
    EXPECT_EQ(loop_state.stats.histogram[7], 1);
}

TEST_F(MainLoop, AFastFrameSleepsUntilATickHasPassed)
{
    frame_work_microseconds = 2000;
    EXPECT_GE(pass(), 1);
    EXPECT_GE(loop_state.target_time, TICK_SECONDS);
    EXPECT_LT(loop_state.simulated_time - loop_state.target_time, TICK_SECONDS);
    EXPECT_GT(slept_microseconds, 0);
    EXPECT_EQ(loop_state.stats.histogram[0], 1);
}

TEST_F(MainLoop, LockedRateAdvancesExactlyOneFrameAndSleepsTheRest)
{
    loop_state.lock_rate = 30;
    frame_work_microseconds = 5000;
    for (int frame = 1; frame <= 30; frame++) {
        pass();
        EXPECT_NEAR(loop_state.target_time, frame / 30.0, 1e-12);
    }
    EXPECT_DOUBLE_EQ(loop_state.stats.min_advance, 1.0 / 30);
    EXPECT_DOUBLE_EQ(loop_state.stats.max_advance, 1.0 / 30);
    // About 28.3 ms of each 33.3 ms frame were slept.
    EXPECT_NEAR(slept_microseconds / 30.0, 1e6 / 30 - 5000, 2);
    EXPECT_NEAR(loop_state.now, 1.0, 0.001);
}

TEST_F(MainLoop, ConnectedIgnoresTheLockedRate)
{
    loop_state.lock_rate = 30;
    hook_connected = true;
    frame_work_microseconds = 1000000;
    pass();
    EXPECT_DOUBLE_EQ(loop_state.target_time, 0.125);
}

TEST_F(MainLoop, WarpAdvancesAHundredTicks)
{
    loop_state.warp = true;
    frame_work_microseconds = 1000;
    EXPECT_EQ(pass(), 100);
    EXPECT_EQ(slept_microseconds, 0);
}

TEST_F(MainLoop, HistogramBinsByPowersOfTwoTicks)
{
    // 3 ms < 1 tick; 10 ms ~ 1.3 ticks; 20 ms ~ 2.6 ticks; 300 ms ~ 38 ticks; 1 s = 128 ticks.
    for (long long work : {3000LL, 10000LL, 20000LL, 300000LL, 1000000LL}) {
        frame_work_microseconds = work;
        pass();
    }
    const int expected[8] = {1, 1, 1, 0, 0, 0, 1, 1};
    for (int bin = 0; bin < 8; bin++)
        EXPECT_EQ(loop_state.stats.histogram[bin], expected[bin]) << "bin " << bin;
}

TEST_F(MainLoop, EventsReachTheTickTheyBelongTo)
{
    // One 125 ms frame: tick k runs at k/128 s after the loop started.
    long long start = fake_microseconds;
    fake_events.push_back({start + 30000, KEY_THROTTLE, true});   // between ticks 3 and 4
    fake_events.push_back({start + 70000, KEY_THROTTLE, false});  // between ticks 8 and 9
    frame_work_microseconds = 125000;
    ASSERT_EQ(pass(), 16);
    std::vector<float> expected(16, 0.0f);
    for (int tick = 4; tick <= 8; tick++)
        expected[tick - 1] = 1.0f;
    EXPECT_EQ(throttle_per_step, expected);
}

TEST_F(MainLoop, EventsStampedAfterTheFrameStillArriveInItsLastTick)
{
    long long start = fake_microseconds;
    fake_events.push_back({start + 500000, KEY_THROTTLE, true});
    frame_work_microseconds = 125000;
    pass();
    EXPECT_EQ(throttle_per_step.back(), 1.0f);
    EXPECT_EQ(std::count(throttle_per_step.begin(), throttle_per_step.end(), 1.0f), 1);
}

TEST_F(MainLoop, PauseHoldsTheWorldButStepRunsOneTick)
{
    frame_work_microseconds = 125000;
    press(KEY_STEP);  // not paused: nothing
    EXPECT_EQ(world_steps, 0);
    press(KEY_PAUSE);
    EXPECT_TRUE(loop_state.paused);
    EXPECT_EQ(pass(), 0);
    press(KEY_STEP);
    EXPECT_EQ(world_steps, 1);
    press(KEY_PAUSE);
    EXPECT_FALSE(loop_state.paused);
    EXPECT_EQ(pass(), 16);
}

TEST_F(MainLoop, PauseDoesNothingWhenConnected)
{
    hook_connected = true;
    press(KEY_PAUSE);
    EXPECT_FALSE(loop_state.paused);
}

TEST_F(MainLoop, ConnectedWorldWaitsForTheServersFirstTick)
{
    hook_connected = true;
    static NetClock clock;
    clock = {};
    hooks.net_clock = [](NetClock *out) { *out = clock; };
    frame_work_microseconds = 125000;
    clock.server_tick = 0;
    clock.race_tick = -1;  // lag 0: the advance is untouched
    EXPECT_EQ(pass(), 0);
    clock.server_tick = 1;
    clock.race_tick = 0;
    EXPECT_EQ(pass(), 16);
}

TEST_F(MainLoop, NetworkClockFactor)
{
    EXPECT_DOUBLE_EQ(network_clock_factor(-2, true), 0.5);
    EXPECT_DOUBLE_EQ(network_clock_factor(-0.5, true), 0.75);
    EXPECT_DOUBLE_EQ(network_clock_factor(0.5, false), 2.5);
    EXPECT_DOUBLE_EQ(network_clock_factor(3, false), 4);
    EXPECT_DOUBLE_EQ(network_clock_factor(0.0625, true), 1.0625);
    EXPECT_DOUBLE_EQ(network_clock_factor(1, true), 1.125);
}

TEST_F(MainLoop, ControlValuesFromKeysAndAxes)
{
    int steer_axis = 0, lean_axis = 0;
    ControlBinding &left = loop_state.riding_bindings[0];
    left.kind = BINDING_AXIS;
    left.axis = &steer_axis;
    left.low = 0.0625;
    left.high = 0.9375;
    ControlBinding &right = loop_state.riding_bindings[1];
    right.kind = BINDING_AXIS;
    right.axis = &steer_axis;
    right.low = -0.0625;
    right.high = -0.9375;
    ControlBinding &lean_forward = loop_state.riding_bindings[10];
    lean_forward.kind = BINDING_AXIS;
    lean_forward.axis = &lean_axis;
    lean_forward.low = 0.0625;
    lean_forward.high = 0.9375;
    bind_key(loop_state.riding_bindings[11], 0x1000 + 50);  // "Lean Backward"

    struct {
        int steer_raw, lean_raw;
        bool lean_back_key;
        float steer, lean;
    } const cases[] = {
        {0, 0, false, 0, 0},
        {16384, 0, false, (0.5f - 0.0625f) / 0.875f, 0},      // left half way
        {-16384, 0, false, -(0.5f - 0.0625f) / 0.875f, 0},    // right half way
        {32767, 0, false, 1, 0},                               // beyond the range: clamped
        {1000, 0, false, 0, 0},                                // inside the dead zone
        {0, 32767, true, 0, 0},                                // forward and back cancel
        {0, 0, true, 0, 1},
    };
    for (const auto &c : cases) {
        fake_axes[&steer_axis] = c.steer_raw;
        fake_axes[&lean_axis] = c.lean_raw;
        handle_event(&loop_state, &hooks, 0x1000 + 50, c.lean_back_key);
        compute_control_values(&loop_state, fake_read_axis);
        EXPECT_NEAR(loop_state.controls[CONTROL_STEER], c.steer, 1e-3) << c.steer_raw;
        EXPECT_NEAR(loop_state.controls[CONTROL_LEAN], c.lean, 1e-3) << c.lean_raw;
    }
}

TEST(RiderControls, ClutchEngagesAtMostFourPerSecond)
{
    LoopOptions options;
    RiderInputs inputs;
    float controls[CONTROL_COUNT] = {};
    controls[CONTROL_CLUTCH] = 1;
    apply_rider_controls(controls, options, 0, &inputs);
    EXPECT_EQ(inputs.clutch, 0);  // pulling the lever opens the clutch at once
    controls[CONTROL_CLUTCH] = 0;
    for (int tick = 1; tick <= 32; tick++) {
        apply_rider_controls(controls, options, 0, &inputs);
        EXPECT_NEAR(inputs.clutch, std::min(1.0, tick * 4 * TICK_SECONDS), 1e-6);
    }
    EXPECT_EQ(inputs.clutch, 1);
    controls[CONTROL_CLUTCH] = 0.35f;  // wanted 0.6: lower, so at once
    apply_rider_controls(controls, options, 0, &inputs);
    EXPECT_NEAR(inputs.clutch, 0.6f, 1e-6);
}

TEST(RiderControls, StickySitDabTogglesOnRisingEdges)
{
    LoopOptions options;
    options.sticky_sit_dab = 1;
    RiderInputs inputs;
    float controls[CONTROL_COUNT] = {};
    float previous = 0;
    const float key[] = {1, 1, 0, 0, 1, 0, 0.4f, 0.6f};
    const float expected[] = {1, 1, 1, 1, 0, 0, 0, 1};
    for (size_t i = 0; i < std::size(key); i++) {
        controls[CONTROL_SIT_DAB] = key[i];
        apply_rider_controls(controls, options, previous, &inputs);
        previous = key[i];
        EXPECT_EQ(inputs.sit_dab, expected[i]) << i;
    }
    options.sticky_sit_dab = 0;
    controls[CONTROL_SIT_DAB] = 0.25f;
    apply_rider_controls(controls, options, previous, &inputs);
    EXPECT_EQ(inputs.sit_dab, 0.25f);
}

TEST(RiderControls, SteeringShiftAndPlainInputs)
{
    LoopOptions options;  // "Reversed Steering" Yes by default
    RiderInputs inputs;
    float controls[CONTROL_COUNT] = {0.5f, 1, 0.25f, 0.75f, 0.6f, 0, 0, 1, -1};
    apply_rider_controls(controls, options, 0, &inputs);
    EXPECT_EQ(inputs.steer, -0.5f);
    EXPECT_EQ(inputs.throttle, 1);
    EXPECT_EQ(inputs.front_brake, 0.25f);
    EXPECT_EQ(inputs.rear_brake, 0.75f);
    EXPECT_EQ(inputs.shift, 1);
    EXPECT_EQ(inputs.back_up, 1);
    EXPECT_EQ(inputs.lean, -1);
    options.reversed_steering = 0;
    controls[CONTROL_SHIFT] = -0.6f;
    apply_rider_controls(controls, options, 0, &inputs);
    EXPECT_EQ(inputs.steer, 0.5f);
    EXPECT_EQ(inputs.shift, -1);
    controls[CONTROL_SHIFT] = 0.5f;
    apply_rider_controls(controls, options, 0, &inputs);
    EXPECT_EQ(inputs.shift, 0);
}

TEST_F(MainLoop, ControlsReachTheFollowedLocalBikeEachTick)
{
    static RiderInputs bike;
    bike = RiderInputs();
    hooks.bike_inputs = [](int) { return &bike; };
    fake_events.push_back({fake_microseconds, KEY_THROTTLE, true});
    frame_work_microseconds = 20000;
    pass();
    EXPECT_EQ(bike.throttle, 1);
}

TEST_F(MainLoop, OpenMenuKeepsTheLocalBikesControls)
{
    loop_state.menu_page = MENU_PAGE_MAIN;
    fake_events.push_back({fake_microseconds, KEY_THROTTLE, true});
    frame_work_microseconds = 20000;
    pass();
    EXPECT_EQ(loop_state.inputs.throttle, 0);
    EXPECT_EQ(loop_state.controls[CONTROL_THROTTLE], 1);
}

TEST_F(MainLoop, ChaseViewOfAnotherRiderMovesTheOrbitCamera)
{
    hook_local = false;
    loop_state.view_mode = VIEW_CHASE;
    loop_state.riding_bindings[0].kind = BINDING_KEY;  // "Left"
    loop_state.riding_bindings[0].code = 0x1000 + 331;
    loop_state.riding_bindings[0].pressed = true;
    loop_state.riding_bindings[2].pressed = true;      // throttle: closer
    frame_work_microseconds = 125000;
    pass();
    EXPECT_NEAR(loop_state.orbit_angle, 16 * M_PI / 512, 1e-9);
    EXPECT_NEAR(loop_state.orbit_distance, 10 - 16.0 / 64, 1e-9);
    EXPECT_EQ(loop_state.inputs.throttle, 0);

    loop_state.orbit_angle = M_PI - 0.001;
    loop_state.orbit_distance = 0.26;
    pass();
    EXPECT_LT(loop_state.orbit_angle, 0);  // wrapped
    EXPECT_DOUBLE_EQ(loop_state.orbit_distance, 0.25);
}

TEST(ViewMode, Rules)
{
    struct {
        int mode;
        bool track, local, bike;
        int expected;
    } const cases[] = {
        {VIEW_TITLE, true, true, true, VIEW_RIDER},   // a track was just loaded
        {VIEW_TITLE, false, true, true, VIEW_TITLE},
        {VIEW_TV, true, true, true, VIEW_RIDER},      // the local rider is not watched on TV
        {VIEW_CHASE, true, true, true, VIEW_CHASE},
        {VIEW_EDITOR, true, true, true, VIEW_EDITOR},
        {VIEW_TV, true, false, true, VIEW_TV},
        {VIEW_RIDER, true, false, true, VIEW_RIDER},
        {VIEW_RIDER, true, false, false, VIEW_TV},    // nobody to ride with
        {VIEW_CHASE, false, false, false, VIEW_TITLE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fix_view_mode(c.mode, c.track, c.local, c.bike), c.expected)
            << c.mode << " " << c.track << c.local << c.bike;

    EXPECT_EQ(next_view_mode(VIEW_RIDER, false), VIEW_CHASE);
    EXPECT_EQ(next_view_mode(VIEW_RIDER, true), VIEW_EDITOR);
    EXPECT_EQ(next_view_mode(VIEW_EDITOR, true), VIEW_CHASE);
    EXPECT_EQ(next_view_mode(VIEW_CHASE, true), VIEW_TV);
    EXPECT_EQ(next_view_mode(VIEW_TV, true), VIEW_RIDER);
    EXPECT_EQ(next_view_mode(VIEW_TITLE, true), VIEW_TITLE);
}

TEST_F(MainLoop, TabCyclesViewsAndLiftsBikesLeavingTheEditor)
{
    loop_state.editor_enabled = true;
    loop_state.view_mode = VIEW_RIDER;
    press(EVENT_TAB);
    EXPECT_EQ(loop_state.view_mode, VIEW_EDITOR);
    EXPECT_EQ(lifts, 0);
    press(EVENT_TAB);
    EXPECT_EQ(loop_state.view_mode, VIEW_CHASE);
    EXPECT_EQ(lifts, 1);
    loop_state.view_mode = VIEW_TITLE;
    press(EVENT_TAB);
    EXPECT_EQ(loop_state.view_mode, VIEW_TITLE);
}

TEST_F(MainLoop, EscapeAndMenusTakeKeys)
{
    press(loop_state.esc_code);
    EXPECT_EQ(loop_state.menu_page, MENU_PAGE_MAIN);
    press(KEY_PAUSE);
    EXPECT_FALSE(loop_state.paused);  // the menu got it
    EXPECT_EQ(menu_keys, std::vector<uint32_t>{KEY_PAUSE});
    press(loop_state.esc_code);
    EXPECT_EQ(loop_state.menu_page, -1);
    press(KEY_CHAT);
    EXPECT_EQ(loop_state.menu_page, MENU_PAGE_CONSOLE);
}

TEST_F(MainLoop, TitleViewIgnoresHotKeys)
{
    loop_state.view_mode = VIEW_TITLE;
    press(KEY_PAUSE);
    press(KEY_SKIP);
    EXPECT_FALSE(loop_state.paused);
    EXPECT_EQ(skips, 0);
}

TEST_F(MainLoop, RewindAndSkip)
{
    press(KEY_SKIP);
    press(KEY_SKIP);
    press(KEY_REWIND);
    EXPECT_EQ(skips, 1);
}

TEST_F(MainLoop, CloseButtonQuits)
{
    fake_events.push_back({fake_microseconds, EVENT_CLOSE, true});
    frame_work_microseconds = 20000;
    EXPECT_FALSE(main_loop_pass(&loop_state, &platform, &hooks));
}

TEST_F(MainLoop, BikeSwitchingFollowsTheRunningOrder)
{
    hook_local = false;
    loop_state.followed_slot = 2;
    press(KEY_NEXT);
    EXPECT_EQ(loop_state.followed_slot, 9);
    press(KEY_NEXT);
    EXPECT_EQ(loop_state.followed_slot, 9);
    press(KEY_PREVIOUS);
    press(KEY_PREVIOUS);
    EXPECT_EQ(loop_state.followed_slot, 5);
    press(KEY_PREVIOUS);
    EXPECT_EQ(loop_state.followed_slot, 5);

    hook_local = true;  // racing: no spying on others
    press(KEY_NEXT);
    EXPECT_EQ(loop_state.followed_slot, 5);
    loop_state.options.spy = 1;
    press(KEY_NEXT);
    EXPECT_EQ(loop_state.followed_slot, 2);
}

TEST(Screenshot, NumberingFollowsTheLargestPresent)
{
    const char *none[] = {"config", "demos/a.zvdemo", nullptr};
    EXPECT_EQ(next_screenshot_number(none), 1);
    const char *seven[] = {"config", "screenshot003.png", "screenshot007.ppm", "screenshots.txt", nullptr};
    EXPECT_EQ(next_screenshot_number(seven), 8);
    const char *odd[] = {"screenshot-4.png", "screenshot 9.png", "screenshot12extra", "shot99.png", nullptr};
    EXPECT_EQ(next_screenshot_number(odd), 13);
    const char *huge[] = {"screenshot99999999999999999999.png", nullptr};
    EXPECT_GT(next_screenshot_number(huge), 1);
    EXPECT_EQ(next_screenshot_number(nullptr), 1);
}

TEST_F(MainLoop, ScreenshotKeySavesAndPosts)
{
    loop_state.screenshot_counter = 8;
    press(KEY_SCREENSHOT);
    EXPECT_EQ(saved_screenshots, std::vector<int>{8});
    EXPECT_STREQ(message_log_line(0), "Saved \"screenshot008.png\"");
    EXPECT_EQ(loop_state.screenshot_counter, 9);

    screenshot_saves = false;
    press(KEY_SCREENSHOT);
    EXPECT_STREQ(message_log_line(0), "Couldn't save \"screenshot009.png\"");
    EXPECT_EQ(loop_state.screenshot_counter, 9);

    loop_state.view_mode = VIEW_EDITOR;
    press(KEY_SCREENSHOT);
    EXPECT_EQ(saved_screenshots.size(), 2u);
}

TEST(TvCamera, DigitChoosesTheCamera)
{
    EXPECT_EQ(tv_camera_for_digit(0, 5), -1);
    EXPECT_EQ(tv_camera_for_digit(2, 5), 1);
    EXPECT_EQ(tv_camera_for_digit(9, 3), 2);
    EXPECT_EQ(tv_camera_for_digit(4, 0), -1);
}

TEST_F(MainLoop, DigitKeysSetTheTvCamera)
{
    press('3');
    EXPECT_EQ(loop_state.tv_camera, 2);
    press('9');
    EXPECT_EQ(loop_state.tv_camera, 2);
    press('0');
    EXPECT_EQ(loop_state.tv_camera, -1);
}

TEST(Sound, Volumes)
{
    LoopState state;
    EXPECT_DOUBLE_EQ(sound_base_volume(&state, true), 1.0);
    state.menu_page = 0;
    EXPECT_DOUBLE_EQ(sound_base_volume(&state, true), 0.0);
    EXPECT_DOUBLE_EQ(sound_base_volume(&state, false), 0.25);
    state.menu_page = -1;
    state.options.volume = 5;
    EXPECT_DOUBLE_EQ(sound_base_volume(&state, false), 0.5);
    state.paused = true;
    EXPECT_DOUBLE_EQ(sound_base_volume(&state, false), 0.0);
    EXPECT_DOUBLE_EQ(slot_volume(0.5, false, false, 8), 0.4);
    EXPECT_DOUBLE_EQ(slot_volume(0.5, true, false, 8), 0.5);
    EXPECT_DOUBLE_EQ(slot_volume(0.5, true, true, 8), 0.0);
}

} // namespace
