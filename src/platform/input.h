// Input events, devices, axes and control names of the platform layer.
#pragma once
#include <vector>

#include "platform/keys.h"

struct VarkWindow;

// One input event; time is on the millisecond clock of vark_time.
struct VarkEvent {
    int code;
    bool pressed;
    long seconds;
    long microseconds;
};

enum { VARK_EVENT_QUEUE_SIZE = 256 };

// Ring of waiting events, kept in time order.
struct VarkEventQueue {
    VarkEvent entries[VARK_EVENT_QUEUE_SIZE];
    int head;
    int count;
};

// Queues behind every event that is not later; false when the queue is full
// and the event was dropped.
bool event_queue_push(VarkEventQueue *queue, const VarkEvent &event);
// Takes the oldest event if it is not later than not_after_ms.
bool event_queue_pop(VarkEventQueue *queue, VarkEvent *event, long long not_after_ms);

struct VarkDevice;

// What a kind of device does; a null entry does nothing (read_axis: the
// stored value, which a relative axis gives once and then clears).
struct VarkDeviceOps {
    bool (*acquire_buttons)(VarkDevice *device);
    bool (*acquire_axes)(VarkDevice *device);
    void (*release)(VarkDevice *device);
    int (*read_axis)(VarkDevice *device, int axis);
    void (*poll)(VarkDevice *device);
    void (*destroy)(VarkDevice *device);
};

struct VarkDevice {
    VarkWindow *window;        // the context whose queue gets the device's events
    const char *name;          // interned, unique within the context
    int id;                    // bits 16 to 30 only; event code = id + button
    int open_count;            // open axis handles
    bool events_wanted;        // a button was named: its presses become events
    int axis_count;
    int key_count;
    std::vector<int> axes;
    std::vector<unsigned char> buttons;
    bool relative;             // axes report motion since the last read
    bool needs_poll;
    int timestamp_adjustment;  // milliseconds taken off the device's own time stamps
    const VarkDeviceOps *ops;
    void *impl;                // the driver's own record
};

struct VarkAxis {
    VarkDevice *device;
    int index;
};

enum { VARK_AXIS_LIMIT = 100, VARK_BUTTON_LIMIT = 500 };

// Current time of the millisecond clock.
long long vark_time_ms();

// A context with input state only (no window, no GL), for tools and tests
// that register their own devices and queue their own events.
VarkWindow *vark_open_input_context();
void vark_close_input_context(VarkWindow *context);

bool vark_next_event(VarkWindow *context, int *code, bool *pressed);
// Only an event whose time is not later than the given time.
bool vark_next_event_before(VarkWindow *context, int *code, bool *pressed, long seconds, long microseconds);
// Queues an event under the event lock; false when it was dropped.
bool vark_queue_event(VarkWindow *context, int code, bool pressed, long long time_ms);

bool vark_key_code(VarkWindow *context, int *code, const char *name);
// Interned name of an event code, or null.
const char *vark_key_name(VarkWindow *context, int code);

VarkAxis *vark_open_axis(VarkWindow *context, const char *name);
int vark_read_axis(VarkAxis *axis);
void vark_close_axis(VarkAxis *axis);
// "<device> axis <n>" for every absolute axis, ended by null.
const char *const *vark_axis_names(VarkWindow *context);

// Adds a device, naming it from raw_name without spaces and "." and made
// unique with "#2", "#3"...; the id comes from the name's hash. Absolute
// axes of devices added with list_axes join the axis name list.
VarkDevice *vark_add_device(VarkWindow *context, const char *raw_name, int axis_count, int key_count,
                            bool relative, const VarkDeviceOps *ops, void *impl, bool list_axes);
// Fixes the null-ended list of device names once the devices are known.
void vark_fix_device_names(VarkWindow *context);
// Logs and destroys every device of the context.
void vark_close_devices(VarkWindow *context);
// A buffered button report stamped entry_ms; queued (when the device's
// buttons are wanted) at entry_ms less the device's adjustment, which grows
// when that would lie after now_ms.
void vark_device_button_entry(VarkDevice *device, int button, bool pressed, long long entry_ms, long long now_ms);
// A buffered axis report: absolute axes take the value, relative ones add it.
void vark_device_axis_entry(VarkDevice *device, int axis, int value);

// Defines the built-in aliases of the cursor and, after a device roll call,
// of the mouse and the first two joysticks.
void vark_define_builtin_aliases(bool after_roll_call);

// Watching every absolute axis to find the one the user moves.
struct AxisWatch {
    std::vector<const char *> names;
    std::vector<VarkAxis *> axes;
};
// Opens every centred axis of the axis name list; returns how many are watched.
int vark_watch_axes_start(VarkWindow *context, AxisWatch *watch);
// Reads the watched axes; when the one of largest magnitude passes half its
// range, gives its name and value / 32768, ends the watch and returns true.
bool vark_watch_axes_poll(AxisWatch *watch, const char **name, double *value);
// Ends the watch (a key chose instead, or the caller gave up).
void vark_watch_axes_stop(AxisWatch *watch);
