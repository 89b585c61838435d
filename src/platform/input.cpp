// Input events, devices, axes and control names of the platform layer.
#include "platform/input.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/log.h"
#include "platform/window.h"

long long vark_time_ms()
{
    long seconds = 0, microseconds = 0;
    vark_time(&seconds, &microseconds);
    return (long long)seconds * 1000 + microseconds / 1000;
}

static long long event_time_ms(const VarkEvent &event)
{
    return (long long)event.seconds * 1000 + event.microseconds / 1000;
}

bool event_queue_push(VarkEventQueue *queue, const VarkEvent &event)
{
    if (queue->count >= VARK_EVENT_QUEUE_SIZE)
        return false;
    long long time = event_time_ms(event);
    // Insertion from the back: equal times keep their arrival order.
    int position = queue->count;
    while (position > 0) {
        const VarkEvent &before = queue->entries[(queue->head + position - 1) % VARK_EVENT_QUEUE_SIZE];
        if (event_time_ms(before) <= time)
            break;
        queue->entries[(queue->head + position) % VARK_EVENT_QUEUE_SIZE] = before;
        position--;
    }
    queue->entries[(queue->head + position) % VARK_EVENT_QUEUE_SIZE] = event;
    queue->count++;
    return true;
}

bool event_queue_pop(VarkEventQueue *queue, VarkEvent *event, long long not_after_ms)
{
    if (queue->count == 0)
        return false;
    const VarkEvent &oldest = queue->entries[queue->head];
    if (event_time_ms(oldest) > not_after_ms)
        return false;
    *event = oldest;
    queue->head = (queue->head + 1) % VARK_EVENT_QUEUE_SIZE;
    queue->count--;
    return true;
}

VarkWindow *vark_open_input_context()
{
    VarkWindow *context = new VarkWindow();
    context->event_lock = vark_mutex_create();
    if (!context->event_lock) {
        delete context;
        return nullptr;
    }
    context->flags = VARK_WINDOW_ALWAYS;
    context->device_names.push_back(nullptr);
    context->axis_names.push_back(nullptr);
    return context;
}

void vark_close_input_context(VarkWindow *context)
{
    if (!context)
        return;
    vark_close_devices(context);
    vark_mutex_destroy(context->event_lock);
    delete context;
}

bool vark_queue_event(VarkWindow *context, int code, bool pressed, long long time_ms)
{
    VarkEvent event;
    event.code = code;
    event.pressed = pressed;
    event.seconds = (long)(time_ms / 1000);
    event.microseconds = (long)(time_ms % 1000 * 1000);
    vark_mutex_lock(context->event_lock);
    bool queued = event_queue_push(&context->events, event);
    vark_mutex_unlock(context->event_lock);
    return queued;
}

static bool take_event(VarkWindow *context, int *code, bool *pressed, long long not_after_ms)
{
    VarkEvent event;
    vark_mutex_lock(context->event_lock);
    bool found = event_queue_pop(&context->events, &event, not_after_ms);
    vark_mutex_unlock(context->event_lock);
    if (found) {
        *code = event.code;
        *pressed = event.pressed;
    }
    return found;
}

static void poll_wanted_devices(VarkWindow *context)
{
    for (VarkDevice *device : context->devices)
        if (device->events_wanted && device->ops && device->ops->poll)
            device->ops->poll(device);
}

static bool next_event(VarkWindow *context, int *code, bool *pressed, long long not_after_ms)
{
    vark_pump_window(context);
    if (take_event(context, code, pressed, not_after_ms))
        return true;
    poll_wanted_devices(context);
    return take_event(context, code, pressed, not_after_ms);
}

bool vark_next_event(VarkWindow *context, int *code, bool *pressed)
{
    return next_event(context, code, pressed, LLONG_MAX);
}

bool vark_next_event_before(VarkWindow *context, int *code, bool *pressed, long seconds, long microseconds)
{
    return next_event(context, code, pressed, (long long)seconds * 1000 + microseconds / 1000);
}

static VarkDevice *find_device(VarkWindow *context, const char *name)
{
    for (VarkDevice *device : context->devices)
        if (strcmp(device->name, name) == 0)
            return device;
    return nullptr;
}

static VarkDevice *find_device_by_id(VarkWindow *context, int id)
{
    for (VarkDevice *device : context->devices)
        if (device->id == id)
            return device;
    return nullptr;
}

struct SpecialName {
    const char *name;
    int code;
};

static const SpecialName special_names[] = {
    {"Close", VARK_CLOSE},
    {"Mouse Left", VARK_MOUSE_LEFT},
    {"Mouse Middle", VARK_MOUSE_MIDDLE},
    {"Mouse Right", VARK_MOUSE_RIGHT},
};

static bool named_key_code(const char *name, bool loose, int *code)
{
    auto same = [loose](const char *a, const char *b) { return loose ? names_match_loosely(a, b) : strcmp(a, b) == 0; };
    for (const SpecialName &special : special_names) {
        if (same(name, special.name)) {
            *code = special.code;
            return true;
        }
    }
    // The key names of this platform are those of the key table, so the
    // system's list and the table are searched as one.
    for (int i = 0; i < key_table_count; i++) {
        if (same(name, key_table[i].name)) {
            *code = VARK_KEY_BASE + key_table[i].scan_code;
            return true;
        }
    }
    return false;
}

bool vark_key_code(VarkWindow *context, int *code, const char *name)
{
    if (!name)
        return false;
    name = vark_resolve_alias(name);
    if (named_key_code(name, false, code) || named_key_code(name, true, code))
        return true;

    unsigned value = 0;
    int used = 0;
    if (sscanf(name, "0x%x%n", &value, &used) == 1 && name[used] == 0 && value <= 511) {
        *code = VARK_KEY_BASE + (int)value;
        return true;
    }

    char device_name[64];
    int button = -1;
    if (sscanf(name, "%63[^.].key[%d]", device_name, &button) != 2 &&
        sscanf(name, "%63s button %d", device_name, &button) != 2)
        return false;
    if (button < 0 || button >= 256 || !context)
        return false;
    VarkDevice *device = find_device(context, device_name);
    if (!device || device->key_count <= button)
        return false;
    if (device->ops && device->ops->acquire_buttons)
        device->ops->acquire_buttons(device);
    device->events_wanted = true;
    *code = device->id + button;
    return true;
}

const char *vark_key_name(VarkWindow *context, int code)
{
    for (const SpecialName &special : special_names)
        if (code == special.code)
            return vark_intern(special.name);
    char text[1100];
    if (code < VARK_KEY_BASE || code > VARK_KEY_LAST) {
        VarkDevice *device = context ? find_device_by_id(context, code & (int)0xFFFF0000) : nullptr;
        if (!device)
            return nullptr;
        snprintf(text, sizeof text, "%.1000s button %d", device->name, code & 0xFF);
        return vark_intern(text);
    }
    const char *name = key_table_name(code - VARK_KEY_BASE);
    if (name)
        return vark_intern(name);
    snprintf(text, sizeof text, "0x%x", code - VARK_KEY_BASE);
    return vark_intern(text);
}

VarkAxis *vark_open_axis(VarkWindow *context, const char *name)
{
    if (!context || !name)
        return nullptr;
    name = vark_resolve_alias(name);
    char device_name[64];
    int index = -1;
    if (sscanf(name, "%63[^.].axis[%d]", device_name, &index) != 2 &&
        sscanf(name, "%63s axis %d", device_name, &index) != 2)
        return nullptr;
    if (index < 0)
        return nullptr;
    VarkDevice *device = find_device(context, device_name);
    if (!device || index >= device->axis_count)
        return nullptr;
    if (device->open_count == 0 && device->ops && device->ops->acquire_axes && !device->ops->acquire_axes(device))
        return nullptr;
    device->open_count++;
    return new VarkAxis{device, index};
}

int vark_read_axis(VarkAxis *axis)
{
    VarkDevice *device = axis->device;
    if (device->ops && device->ops->poll)
        device->ops->poll(device);
    if (device->ops && device->ops->read_axis)
        return device->ops->read_axis(device, axis->index);
    int value = device->axes[axis->index];
    if (device->relative)
        device->axes[axis->index] = 0;
    return value;
}

void vark_close_axis(VarkAxis *axis)
{
    if (!axis)
        return;
    VarkDevice *device = axis->device;
    if (--device->open_count == 0 && device->ops && device->ops->release)
        device->ops->release(device);
    delete axis;
}

const char *const *vark_axis_names(VarkWindow *context)
{
    return context->axis_names.data();
}

// Longest device name that still leaves room for "#NN" within the 63
// characters a control name may give for its device.
enum { DEVICE_NAME_MAX = 58 };

VarkDevice *vark_add_device(VarkWindow *context, const char *raw_name, int axis_count, int key_count,
                            bool relative, const VarkDeviceOps *ops, void *impl, bool list_axes)
{
    if (axis_count < 0 || key_count < 0)
        return nullptr;
    std::string base;
    for (const char *p = raw_name ? raw_name : ""; *p && base.size() < DEVICE_NAME_MAX; p++)
        if (*p != ' ' && *p != '.')
            base += *p;
    if (base.empty())
        base = "Device";
    std::string name = base;
    for (int n = 2; find_device(context, name.c_str()); n++)
        name = base + "#" + std::to_string(n);

    int id = vark_name_hash(name.c_str());
    for (int tries = 0; tries < 65535 && (id == 0 || find_device_by_id(context, id)); tries++)
        id = (((id >> 16) + 1) & 0x7FFF) << 16;
    if (id == 0 || find_device_by_id(context, id))
        return nullptr;

    VarkDevice *device = new VarkDevice();
    device->window = context;
    device->name = vark_intern(name.c_str());
    device->id = id;
    device->axis_count = axis_count;
    device->key_count = key_count;
    device->axes.assign(axis_count, 0);
    device->buttons.assign(key_count, 0);
    device->relative = relative;
    device->ops = ops;
    device->impl = impl;
    context->devices.push_back(device);

    if (list_axes && !relative) {
        context->axis_names.pop_back();
        for (int i = 0; i < axis_count; i++) {
            char axis_name[256];
            snprintf(axis_name, sizeof axis_name, "%.200s axis %d", device->name, i);
            vark_log("Adding axis \"%s\"\n", axis_name);
            context->axis_names.push_back(vark_intern(axis_name));
        }
        context->axis_names.push_back(nullptr);
    }
    return device;
}

void vark_fix_device_names(VarkWindow *context)
{
    context->device_names.clear();
    for (VarkDevice *device : context->devices)
        context->device_names.push_back(device->name);
    context->device_names.push_back(nullptr);
}

void vark_close_devices(VarkWindow *context)
{
    // Newest first, as they were rolled up.
    for (auto it = context->devices.rbegin(); it != context->devices.rend(); ++it) {
        VarkDevice *device = *it;
        vark_log("Killing %s\n", device->name);
        if (device->timestamp_adjustment > 0)
            vark_log("Timestamp adjustment was %d\n", device->timestamp_adjustment);
        device->events_wanted = false;
        if (device->ops && device->ops->release)
            device->ops->release(device);
        if (device->ops && device->ops->destroy)
            device->ops->destroy(device);
        delete device;
    }
    context->devices.clear();
    context->device_names.assign(1, nullptr);
}

void vark_device_button_entry(VarkDevice *device, int button, bool pressed, long long entry_ms, long long now_ms)
{
    if (button < 0 || button >= device->key_count)
        return;
    unsigned char state = pressed ? 0x80 : 0;
    if (device->buttons[button] == state)
        return;
    device->buttons[button] = state;
    // Only buttons below 256 can be named, and only named devices report.
    if (!device->events_wanted || button >= 256)
        return;
    long long time = entry_ms - device->timestamp_adjustment;
    if (time > now_ms) {
        // The device's clock runs ahead of ours: remember by how much.
        long long adjustment = device->timestamp_adjustment + (time - now_ms);
        device->timestamp_adjustment = adjustment > INT_MAX ? INT_MAX : (int)adjustment;
        time = now_ms;
    }
    vark_queue_event(device->window, device->id + button, pressed, time);
}

void vark_device_axis_entry(VarkDevice *device, int axis, int value)
{
    if (axis < 0 || axis >= device->axis_count)
        return;
    if (device->relative) {
        // Motion nobody reads piles up; it saturates instead of wrapping.
        long long sum = (long long)device->axes[axis] + value;
        device->axes[axis] = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : (int)sum;
    } else {
        device->axes[axis] = value;
    }
}

void vark_define_builtin_aliases(bool after_roll_call)
{
    struct Alias {
        const char *alias;
        const char *name;
    };
    static const Alias roll_call_aliases[] = {
        {"mouse-x", "Mouse.axis[0]"},        {"mouse-y", "Mouse.axis[1]"},
        {"mouse-left", "Mouse.key[0]"},      {"mouse-right", "Mouse.key[1]"},
        {"mouse-middle", "Mouse.key[2]"},
        {"joystick-a-x", "Joystick1.axis[0]"}, {"joystick-a-y", "Joystick1.axis[1]"},
        {"joystick-a-1", "Joystick1.key[0]"},  {"joystick-a-2", "Joystick1.key[1]"},
        {"joystick-b-x", "Joystick2.axis[0]"}, {"joystick-b-y", "Joystick2.axis[1]"},
        {"joystick-b-1", "Joystick2.key[0]"},  {"joystick-b-2", "Joystick2.key[1]"},
    };
    static const Alias cursor_aliases[] = {
        {"cursor-x", "cursor.axis[0]"},   {"cursor-y", "cursor.axis[1]"},
        {"cursor-left", "Mouse Left"},    {"cursor-middle", "Mouse Middle"},
        {"cursor-right", "Mouse Right"},
    };
    if (after_roll_call)
        for (const Alias &alias : roll_call_aliases)
            vark_alias(alias.alias, alias.name);
    for (const Alias &alias : cursor_aliases)
        vark_alias(alias.alias, alias.name);
}

void vark_watch_axes_stop(AxisWatch *watch)
{
    for (VarkAxis *axis : watch->axes)
        vark_close_axis(axis);
    watch->axes.clear();
    watch->names.clear();
}

int vark_watch_axes_start(VarkWindow *context, AxisWatch *watch)
{
    vark_watch_axes_stop(watch);
    if (debug_level > 0)
        vark_log("Watching pots\n");
    for (const char *const *name = vark_axis_names(context); *name; name++) {
        VarkAxis *axis = vark_open_axis(context, *name);
        if (axis && abs(vark_read_axis(axis)) > 16384) {
            vark_close_axis(axis);
            if (debug_level > 0)
                vark_log("\t%s Ignored (not centered)\n", *name);
            continue;
        }
        if (debug_level > 0)
            vark_log("\t%s %s\n", *name, axis ? "Ok" : "Failed");
        if (axis) {
            watch->names.push_back(*name);
            watch->axes.push_back(axis);
        }
    }
    return (int)watch->axes.size();
}

bool vark_watch_axes_poll(AxisWatch *watch, const char **name, double *value)
{
    int best = -1;
    double best_value = 0;
    for (size_t i = 0; i < watch->axes.size(); i++) {
        double v = vark_read_axis(watch->axes[i]) / 32768.0;
        if (best < 0 || std::abs(v) > std::abs(best_value)) {
            best = (int)i;
            best_value = v;
        }
    }
    if (best < 0 || std::abs(best_value) <= 0.5)
        return false;
    *name = watch->names[best];
    *value = best_value;
    vark_watch_axes_stop(watch);
    if (debug_level > 0)
        vark_log("Done watching pots\n");
    return true;
}
