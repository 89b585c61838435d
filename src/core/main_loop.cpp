// The main loop: one frame drawn and presented, then the simulation advanced
// tick by tick with each input event delivered to the tick it belongs to.
#include "core/main_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "data/file_index.h"
#include "platform/clock.h"
#include "platform/message_log.h"

const RidingControl riding_controls[RIDING_CONTROL_COUNT] = {
    {"Left", CONTROL_STEER, +1},
    {"Right", CONTROL_STEER, -1},
    {"Throttle", CONTROL_THROTTLE, +1},
    {"Front Brake", CONTROL_FRONT_BRAKE, +1},
    {"Rear Brake", CONTROL_REAR_BRAKE, +1},
    {"Upshift", CONTROL_SHIFT, +1},
    {"Downshift", CONTROL_SHIFT, -1},
    {"Clutch", CONTROL_CLUTCH, +1},
    {"Sit/Dab", CONTROL_SIT_DAB, +1},
    {"Back up", CONTROL_BACK_UP, +1},
    {"Lean Forward", CONTROL_LEAN, -1},
    {"Lean Backward", CONTROL_LEAN, +1},
};

const char *const hot_key_items[HOT_KEY_COUNT] = {
    "Pause", "Step", "Rewind", "Skip", "Previous Bike", "Next Bike", "Chat", "Screenshot",
};

LoopState loop_state;

LoopPlatform default_loop_platform()
{
    LoopPlatform platform = {};
    platform.time = vark_time;
    platform.sleep = vark_sleep;
    return platform;
}

namespace {

bool is_connected(const LoopHooks *hooks)
{
    return hooks->connected && hooks->connected();
}

bool track_loaded(const LoopHooks *hooks)
{
    return hooks->track_loaded && hooks->track_loaded();
}

bool followed_is_local(const LoopState *state, const LoopHooks *hooks)
{
    return hooks->slot_is_local && hooks->slot_is_local(state->followed_slot);
}

// Seconds since the loop started.
double read_clock(const LoopState *state, const LoopPlatform *platform)
{
    long seconds = 0, microseconds = 0;
    platform->time(&seconds, &microseconds);
    return (double)(seconds - state->start_seconds) + (microseconds - state->start_microseconds) * 1e-6;
}

void sleep_for(const LoopPlatform *platform, double seconds)
{
    long long microseconds = (long long)std::ceil(seconds * 1e6);
    if (microseconds <= 0)
        return;
    platform->sleep((long)(microseconds / 1000000), (long)(microseconds % 1000000));
}

void count_frame(FrameStats *stats, double elapsed)
{
    double ticks = elapsed / TICK_SECONDS;
    int bin = 0;
    while (bin < 7 && ticks >= (double)(1 << bin))
        bin++;
    stats->histogram[bin]++;
}

bool hot_key(const LoopState *state, int key, uint32_t code)
{
    const ControlBinding &binding = state->hot_keys[key];
    return binding.kind == BINDING_KEY && binding.code == code;
}

void switch_bike(LoopState *state, const LoopHooks *hooks, int direction)
{
    if (followed_is_local(state, hooks) && !state->options.spy) {
        NetClock clock = {};
        if (is_connected(hooks) && hooks->net_clock)
            hooks->net_clock(&clock);
        if (!is_connected(hooks) || !clock.warmup)
            return;
    }
    if (!hooks->running_order)
        return;
    int order[160];
    int count = std::clamp(hooks->running_order(order, 160), 0, 160);
    if (count == 0)
        return;
    int index = 0;
    while (index < count && order[index] != state->followed_slot)
        index++;
    if (index == count)
        index = 0;  // not in the order: start from the leader
    else
        index = std::clamp(index + direction, 0, count - 1);
    state->followed_slot = order[index];
}

void take_screenshot(LoopState *state, const LoopHooks *hooks)
{
    if (state->screenshot_counter == 0)
        state->screenshot_counter = next_screenshot_number(data_file_names());
    int number = state->screenshot_counter;
    char text[64];
    if (hooks->save_screenshot && hooks->save_screenshot(number)) {
        snprintf(text, sizeof text, "Saved \"screenshot%03d.png\"", number);
        state->screenshot_counter++;
    } else {
        snprintf(text, sizeof text, "Couldn't save \"screenshot%03d.png\"", number);
    }
    post_message(text);
}

void apply_controls(LoopState *state, const LoopHooks *hooks)
{
    const float *controls = state->controls;
    if (followed_is_local(state, hooks)) {
        RiderInputs *inputs = hooks->bike_inputs ? hooks->bike_inputs(state->followed_slot) : &state->inputs;
        if (inputs)
            apply_rider_controls(controls, state->options, state->previous_sit_control, inputs);
        if (state->options.backing_up_aborts && controls[CONTROL_BACK_UP] > 0.5f && hooks->time_trial &&
            hooks->time_trial() && hooks->restart_time_trial_attempt)
            hooks->restart_time_trial_attempt();
    } else if (state->view_mode == VIEW_CHASE) {
        move_orbit_camera(state);
    } else if (state->view_mode == VIEW_TV && hooks->tv_controls) {
        bool toggle = state->previous_sit_control <= 0.5f && controls[CONTROL_SIT_DAB] > 0.5f;
        hooks->tv_controls(state, controls, toggle);
    }
}

// Event time stamps are absolute clock times; `seconds_since_start` is loop time.
void loop_time_to_clock(const LoopState *state, double seconds_since_start, long *seconds, long *microseconds)
{
    long long total = (long long)state->start_seconds * 1000000 + state->start_microseconds +
                      (long long)std::floor(seconds_since_start * 1e6);
    *seconds = (long)(total / 1000000);
    *microseconds = (long)(total % 1000000);
}

void run_tick(LoopState *state, const LoopPlatform *platform, const LoopHooks *hooks)
{
    state->simulated_time += TICK_SECONDS;
    double tick_time = state->now - (state->target_time - state->simulated_time);

    uint32_t code;
    bool pressed;
    if (tick_time >= state->now) {
        if (platform->next_event)
            while (platform->next_event(platform->event_context, &code, &pressed))
                handle_event(state, hooks, code, pressed);
    } else if (platform->next_event_before) {
        long seconds, microseconds;
        loop_time_to_clock(state, tick_time, &seconds, &microseconds);
        while (platform->next_event_before(platform->event_context, &code, &pressed, seconds, microseconds))
            handle_event(state, hooks, code, pressed);
    }

    if (hooks->assign_binding_axes)
        hooks->assign_binding_axes();
    compute_control_values(state, platform->read_axis);

    bool connected = is_connected(hooks);
    if (state->menu_page < 0 || !followed_is_local(state, hooks) || connected) {
        if (state->view_mode == VIEW_EDITOR) {
            if (hooks->editor_tick)
                hooks->editor_tick(state);
        } else if (state->view_mode != VIEW_TITLE) {
            apply_controls(state, hooks);
        }
    }
    state->previous_sit_control = state->controls[CONTROL_SIT_DAB];

    if (hooks->net_tick)
        hooks->net_tick();
    if (hooks->refresh_followed)
        hooks->refresh_followed(state);
    if (!track_loaded(hooks))
        state->view_mode = VIEW_TITLE;

    bool server_ready = true;
    if (connected) {
        NetClock clock = {};
        if (hooks->net_clock)
            hooks->net_clock(&clock);
        server_ready = clock.server_tick >= 1;
    }
    if (!state->paused && state->view_mode != VIEW_TITLE && server_ready && hooks->world_step) {
        hooks->world_step();
        if (hooks->record_audio)
            hooks->record_audio();
    }
}

} // namespace

void main_loop_begin(LoopState *state, const LoopPlatform *platform)
{
    long seconds = 0, microseconds = 0;
    platform->time(&seconds, &microseconds);
    state->start_seconds = seconds;
    state->start_microseconds = microseconds;
    state->simulated_time = 0;
    state->target_time = 0;
    state->previous_frame_time = 0;
    state->now = 0;
}

double pace_frame(LoopState *state, const LoopPlatform *platform, bool connected)
{
    bool first = true;
    double advance = 0;
    for (;;) {
        double now = read_clock(state, platform);
        double elapsed = now - state->previous_frame_time;
        if (first) {
            count_frame(&state->stats, elapsed);
            first = false;
        }
        if (!connected && state->lock_rate > 0) {
            double period = 1.0 / state->lock_rate;
            if (elapsed < period) {
                sleep_for(platform, period - elapsed);
                now = read_clock(state, platform);
            }
            state->now = now;
            advance = period;
            break;
        }
        if (!connected && state->warp) {
            state->now = now;
            advance = 100 * TICK_SECONDS;
            break;
        }
        if (elapsed >= TICK_SECONDS) {
            state->now = now;
            advance = std::min(elapsed, MAX_FRAME_ADVANCE);
            break;
        }
        sleep_for(platform, TICK_SECONDS - elapsed);
    }
    return advance;
}

double network_clock_factor(double lag, bool race_started)
{
    if (lag < 0)
        return 0.5 + 0.5 * std::clamp(lag + 1, 0.0, 1.0);
    if (!race_started)
        return 1 + 3 * std::min(lag, 1.0);
    return 1 + 0.125 * std::clamp(8 * lag, 0.0, 1.0);
}

int fix_view_mode(int mode, bool track_loaded, bool followed_local, bool followed_has_bike)
{
    if (mode == VIEW_TITLE && track_loaded)
        mode = VIEW_RIDER;
    if (followed_local && mode != VIEW_RIDER && mode != VIEW_CHASE && mode != VIEW_EDITOR)
        mode = VIEW_RIDER;
    if (!followed_has_bike)
        mode = VIEW_TV;
    if (!track_loaded)
        mode = VIEW_TITLE;
    return mode;
}

int next_view_mode(int mode, bool editor_enabled)
{
    switch (mode) {
    case VIEW_RIDER: return editor_enabled ? VIEW_EDITOR : VIEW_CHASE;
    case VIEW_EDITOR: return VIEW_CHASE;
    case VIEW_CHASE: return VIEW_TV;
    case VIEW_TV: return VIEW_RIDER;
    default: return mode;
    }
}

void compute_control_values(LoopState *state, int (*read_axis)(void *axis))
{
    for (float &value : state->controls)
        value = 0;
    for (int i = 0; i < RIDING_CONTROL_COUNT; i++) {
        const ControlBinding &binding = state->riding_bindings[i];
        double value = 0;
        if (binding.kind == BINDING_KEY) {
            value = binding.pressed ? 1 : 0;
        } else if (binding.kind == BINDING_AXIS && read_axis && binding.high != binding.low) {
            double raw = read_axis(binding.axis) / 32768.0;
            value = std::clamp((raw - binding.low) / (binding.high - binding.low), 0.0, 1.0);
        }
        state->riding_values[i] = (float)value;
        state->controls[riding_controls[i].control] += (float)(riding_controls[i].sign * value);
    }
}

void apply_rider_controls(const float controls[CONTROL_COUNT], const LoopOptions &options, float previous_sit,
                          RiderInputs *inputs)
{
    inputs->steer = options.reversed_steering ? -controls[CONTROL_STEER] : controls[CONTROL_STEER];
    inputs->throttle = controls[CONTROL_THROTTLE];
    inputs->front_brake = controls[CONTROL_FRONT_BRAKE];
    inputs->rear_brake = controls[CONTROL_REAR_BRAKE];
    inputs->back_up = controls[CONTROL_BACK_UP];
    inputs->lean = controls[CONTROL_LEAN];

    float sit = controls[CONTROL_SIT_DAB];
    if (!options.sticky_sit_dab)
        inputs->sit_dab = sit;
    else if (previous_sit <= 0.5f && sit > 0.5f)
        inputs->sit_dab = inputs->sit_dab > 0.5f ? 0.0f : 1.0f;

    float wanted = std::clamp(1 - controls[CONTROL_CLUTCH] * 8.0f / 7.0f, 0.0f, 1.0f);
    if (wanted > inputs->clutch)
        inputs->clutch = std::min(wanted, inputs->clutch + (float)(4 * TICK_SECONDS));
    else
        inputs->clutch = wanted;

    float shift = controls[CONTROL_SHIFT];
    inputs->shift = shift > 0.5f ? 1 : shift < -0.5f ? -1 : 0;
}

void move_orbit_camera(LoopState *state)
{
    const float *controls = state->controls;
    double angle = state->orbit_angle + controls[CONTROL_STEER] * std::numbers::pi / 512;
    state->orbit_angle = std::remainder(angle, 2 * std::numbers::pi);
    if (controls[CONTROL_THROTTLE] > 0.5f)
        state->orbit_distance = std::max(state->orbit_distance - 1.0 / 64, 0.25);
    if (controls[CONTROL_FRONT_BRAKE] > 0.5f)
        state->orbit_distance += 1.0 / 64;
    state->orbit_height += TICK_SECONDS * controls[CONTROL_SHIFT];
}

void handle_event(LoopState *state, const LoopHooks *hooks, uint32_t code, bool pressed)
{
    // Held keys are tracked whatever else the event does, so that no release is missed.
    for (ControlBinding &binding : state->riding_bindings)
        if (binding.kind == BINDING_KEY && binding.code == code)
            binding.pressed = pressed;
    for (ControlBinding &binding : state->hot_keys)
        if (binding.kind == BINDING_KEY && binding.code == code)
            binding.pressed = pressed;

    if (code == EVENT_CLOSE) {
        state->quit = true;
        return;
    }
    if (hooks->assign_binding_event && hooks->assign_binding_event(code, pressed))
        return;
    if (!pressed)
        return;

    if (code == state->esc_code) {
        state->menu_page = state->menu_page < 0 ? MENU_PAGE_MAIN : -1;
        return;
    }
    if (state->menu_page >= 0) {
        if (hooks->menu_key)
            hooks->menu_key(state, code);
        if (!track_loaded(hooks))
            state->view_mode = VIEW_TITLE;
        return;
    }

    if (hot_key(state, HOT_KEY_CHAT, code) && state->view_mode != VIEW_EDITOR) {
        state->menu_page = MENU_PAGE_CONSOLE;
        return;
    }
    if (state->view_mode == VIEW_TITLE)
        return;
    if (state->view_mode == VIEW_EDITOR && hooks->editor_key && hooks->editor_key(state, code))
        return;

    if (hot_key(state, HOT_KEY_PAUSE, code)) {
        if (!is_connected(hooks))
            state->paused = !state->paused;
    } else if (hot_key(state, HOT_KEY_STEP, code)) {
        if (state->paused && hooks->world_step)
            hooks->world_step();
    } else if (code == EVENT_TAB) {
        if (state->view_mode == VIEW_EDITOR && hooks->lift_bikes)
            hooks->lift_bikes();
        state->view_mode = next_view_mode(state->view_mode, state->editor_enabled);
    } else if (hot_key(state, HOT_KEY_REWIND, code)) {
        if (hooks->skip_replay)
            hooks->skip_replay(-1);
    } else if (hot_key(state, HOT_KEY_SKIP, code)) {
        if (hooks->skip_replay)
            hooks->skip_replay(+1);
    } else if (hot_key(state, HOT_KEY_PREVIOUS_BIKE, code)) {
        switch_bike(state, hooks, -1);
    } else if (hot_key(state, HOT_KEY_NEXT_BIKE, code)) {
        switch_bike(state, hooks, +1);
    } else if (hot_key(state, HOT_KEY_SCREENSHOT, code)) {
        if (state->view_mode != VIEW_EDITOR)
            take_screenshot(state, hooks);
    } else if (code >= '0' && code <= '9') {
        int cameras = hooks->track_camera_count ? hooks->track_camera_count() : 0;
        state->tv_camera = tv_camera_for_digit((int)(code - '0'), cameras);
    }
}

int next_screenshot_number(const char *const *names)
{
    static const char prefix[] = "screenshot";
    const size_t prefix_length = sizeof prefix - 1;
    long largest = 0;
    for (; names && *names; names++) {
        const char *name = *names;
        if (strncmp(name, prefix, prefix_length) != 0)
            continue;
        const char *digit = name + prefix_length;
        if (*digit < '0' || *digit > '9')
            continue;
        long number = 0;
        for (; *digit >= '0' && *digit <= '9'; digit++)
            number = std::min(number * 10 + (*digit - '0'), 100000000L);  // saturate: the next one must fit
        largest = std::max(largest, number);
    }
    return (int)largest + 1;
}

int tv_camera_for_digit(int digit, int camera_count)
{
    return std::min(digit, camera_count) - 1;
}

double sound_base_volume(const LoopState *state, bool following_local)
{
    double base = 1;
    if (state->paused || state->view_mode == VIEW_EDITOR)
        base = 0;
    else if (state->menu_page >= 0)
        base = following_local ? 0 : 0.25;
    return base * state->options.volume * 0.1;
}

double slot_volume(double base_volume, bool followed, bool hidden, double competitor_volume)
{
    if (hidden)
        return 0;
    if (followed)
        return base_volume;
    return base_volume * competitor_volume * 0.1;
}

bool main_loop_pass(LoopState *state, const LoopPlatform *platform, const LoopHooks *hooks)
{
    bool loaded = track_loaded(hooks);
    bool has_bike = hooks->slot_has_bike && hooks->slot_has_bike(state->followed_slot);
    state->view_mode = fix_view_mode(state->view_mode, loaded, followed_is_local(state, hooks), has_bike);

    if (hooks->draw_frame && !hooks->draw_frame(state))
        return false;

    if (hooks->update_sound)
        hooks->update_sound(state, sound_base_volume(state, followed_is_local(state, hooks)));

    bool connected = is_connected(hooks);
    double advance = pace_frame(state, platform, connected);
    FrameStats &stats = state->stats;
    if (stats.frames == 0 || advance < stats.min_advance)
        stats.min_advance = advance;
    if (stats.frames == 0 || advance > stats.max_advance)
        stats.max_advance = advance;
    stats.frames++;

    if (connected && hooks->net_clock) {
        NetClock clock = {};
        hooks->net_clock(&clock);
        double lag = (clock.server_tick - clock.race_tick - 1) * TICK_SECONDS;
        advance *= network_clock_factor(lag, clock.race_tick >= clock.start_tick);
    }
    state->previous_frame_time = state->now;
    state->target_time += advance;
    state->wall_clock += advance;

    if (hooks->pointer)
        hooks->pointer(state);

    while (state->simulated_time < state->target_time)
        run_tick(state, platform, hooks);

    if (state->warp && hooks->warp_restart)
        hooks->warp_restart();

    if (state->view_mode != VIEW_TITLE && hooks->update_terrain)
        hooks->update_terrain();
    if (state->wall_clock > state->countdown_deadline && state->countdown > 0) {
        state->countdown--;
        state->countdown_deadline = state->wall_clock + 5;
    }
    return !state->quit;
}

void run_main_loop(LoopState *state, const LoopPlatform *platform, const LoopHooks *hooks)
{
    main_loop_begin(state, platform);
    while (!state->quit && main_loop_pass(state, platform, hooks)) {
    }
}
