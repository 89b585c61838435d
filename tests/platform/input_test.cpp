// Event queue, devices, control names, axes and axis watching without a window.
#include "platform/input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/window.h"

namespace {

// A context with input state only, closed at the end of each test.
struct InputContext {
    VarkWindow *context = vark_open_input_context();
    ~InputContext() { vark_close_input_context(context); }
    operator VarkWindow *() const { return context; }
};

// Fake devices record what the layer asks of them.
struct FakeDevice {
    int acquired_buttons = 0;
    int acquired_axes = 0;
    int released = 0;
    int polled = 0;
    bool refuse_axes = false;
    std::vector<int> poll_events;  // buttons pressed at the next poll
    bool *destroyed = nullptr;
};

FakeDevice *fake(VarkDevice *device)
{
    return (FakeDevice *)device->impl;
}

const VarkDeviceOps fake_ops = {
    [](VarkDevice *d) { return ++fake(d)->acquired_buttons > 0; },
    [](VarkDevice *d) { return ++fake(d)->acquired_axes > 0 && !fake(d)->refuse_axes; },
    [](VarkDevice *d) { fake(d)->released++; },
    nullptr,
    [](VarkDevice *d) {
        fake(d)->polled++;
        for (int button : fake(d)->poll_events)
            vark_device_button_entry(d, button, true, vark_time_ms(), vark_time_ms());
        fake(d)->poll_events.clear();
    },
    [](VarkDevice *d) {
        if (fake(d)->destroyed)
            *fake(d)->destroyed = true;
    },
};

VarkDevice *add_joystick(VarkWindow *context, FakeDevice *impl, const char *name = "Joystick 1", int axes = 2,
                         int buttons = 12)
{
    return vark_add_device(context, name, axes, buttons, false, &fake_ops, impl, true);
}

int code_of(VarkWindow *context, const char *name)
{
    int code = -1;
    return vark_key_code(context, &code, name) ? code : -1;
}

}  // namespace

TEST(ControlNames, KeysByNameAliasAndNumber)
{
    InputContext context;
    vark_define_builtin_aliases(false);
    struct Case {
        const char *name;
        int code;
    };
    const Case cases[] = {
        {"Left Ctrl", 0x1000 + 29}, {"left ctrl", 0x1000 + 29}, {"LEFT_CTRL", 0x1000 + 29},
        {"0x1d", 0x1000 + 29},      {"0x1D", 0x1000 + 29},      {"0x1ff", 0x11FF},
        {"Right Ctrl", 0x1000 + 285}, {"Space", 0x1000 + 57},   {" ", 0x1000 + 57},
        {"_", 0x1000 + 57},         {"keypad enter", 0x1000 + 284},
        {"Close", 0xDEAD},          {"close", 0xDEAD},          {"Mouse Left", 0x2000},
        {"mouse_middle", 0x2001},   {"Mouse Right", 0x2002},
        {"cursor-left", 0x2000},    {"cursor-right", 0x2002},
        // Not control names.
        {"0x200", -1},              {"0x1dz", -1},              {"0x-1", -1},
        {"Left Ctrlx", -1},         {"", -1},                   {"Nowhere button 1", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(code_of(context, c.name), c.code) << '"' << c.name << '"';
}

TEST(ControlNames, CodesToNames)
{
    InputContext context;
    struct Case {
        int code;
        const char *name;
    };
    const Case cases[] = {
        {0xDEAD, "Close"},         {0x2000, "Mouse Left"}, {0x2001, "Mouse Middle"},
        {0x2002, "Mouse Right"},   {0x1000 + 57, "Space"}, {0x1000 + 1, "Esc"},
        {0x1000 + 0x38, "0x38"},   {0x1000 + 0x1FF, "0x1ff"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(vark_key_name(context, c.code), c.name) << std::hex << c.code;
    EXPECT_EQ(vark_key_name(context, 'a'), nullptr);       // characters have no control name
    EXPECT_EQ(vark_key_name(context, 0x12340005), nullptr);  // no such device
    // Returned names are interned.
    EXPECT_EQ(vark_key_name(context, 0x1000 + 0x38), vark_key_name(context, 0x1000 + 0x38));

    // Every named keyboard code converts back to itself.
    for (int scan = 0; scan < 512; scan++) {
        const char *name = vark_key_name(context, 0x1000 + scan);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(code_of(context, name), 0x1000 + scan) << name;
    }
}

TEST(ControlNames, DeviceButtons)
{
    InputContext context;
    FakeDevice impl;
    VarkDevice *stick = add_joystick(context, &impl);
    ASSERT_NE(stick, nullptr);
    EXPECT_STREQ(stick->name, "Joystick1");
    EXPECT_FALSE(stick->events_wanted);

    int by_word = code_of(context, "Joystick1 button 3");
    EXPECT_EQ(by_word, stick->id + 3);
    EXPECT_EQ(code_of(context, "Joystick1.key[3]"), by_word);
    EXPECT_TRUE(stick->events_wanted);
    EXPECT_GE(impl.acquired_buttons, 1);
    EXPECT_STREQ(vark_key_name(context, by_word), "Joystick1 button 3");
    EXPECT_EQ(code_of(context, vark_key_name(context, stick->id + 11)), stick->id + 11);

    const char *failing[] = {"Joystick1 button 300", "Joystick1.key[256]", "Joystick1 button 12",
                             "Joystick1 button -1", "Joystick2 button 1", "joystick1 button 1"};
    for (const char *name : failing)
        EXPECT_EQ(code_of(context, name), -1) << name;

    // A device with more than 256 buttons still only names the first 256.
    FakeDevice big_impl;
    VarkDevice *big = add_joystick(context, &big_impl, "Big Pad", 0, 400);
    EXPECT_EQ(code_of(context, "BigPad button 255"), big->id + 255);
    EXPECT_EQ(code_of(context, "BigPad button 300"), -1);
}

TEST(Devices, UniqueNamesAndIds)
{
    InputContext context;
    FakeDevice a, b, c, d, e;
    VarkDevice *first = add_joystick(context, &a, "Joystick 1");
    VarkDevice *second = add_joystick(context, &b, "Joystick 1");
    VarkDevice *third = add_joystick(context, &c, "Joy.stick 1");
    EXPECT_STREQ(first->name, "Joystick1");
    EXPECT_STREQ(second->name, "Joystick1#2");
    EXPECT_STREQ(third->name, "Joystick1#3");
    EXPECT_NE(first->id, second->id);
    EXPECT_EQ(first->id, vark_name_hash("Joystick1"));
    EXPECT_EQ(code_of(context, "Joystick1#2 button 0"), second->id);

    // Colliding hashes: the later device takes the next value.
    VarkDevice *abc = add_joystick(context, &d, "abc");
    VarkDevice *bbb = add_joystick(context, &e, "bbb");
    EXPECT_EQ(abc->id, vark_name_hash("abc"));
    EXPECT_EQ(bbb->id, abc->id + 0x10000);
    for (VarkDevice *device : {first, second, third, abc, bbb})
        EXPECT_EQ(device->id & ~0x7FFF0000, 0) << device->name;

    // A name too long to be written in a control name is shortened.
    FakeDevice f;
    VarkDevice *longest = add_joystick(context, &f, std::string(200, 'x').c_str());
    EXPECT_LE(strlen(longest->name), 58u);
    EXPECT_EQ(code_of(context, (std::string(longest->name) + " button 1").c_str()), longest->id + 1);

    vark_fix_device_names(context);
    ASSERT_EQ(context.context->device_names.size(), 7u);
    EXPECT_STREQ(context.context->device_names[1], "Joystick1#2");
    EXPECT_EQ(context.context->device_names[6], nullptr);
}

TEST(Devices, ClosingDestroysEveryDevice)
{
    bool destroyed1 = false, destroyed2 = false;
    FakeDevice a, b;
    a.destroyed = &destroyed1;
    b.destroyed = &destroyed2;
    {
        InputContext context;
        add_joystick(context, &a);
        add_joystick(context, &b);
    }
    EXPECT_TRUE(destroyed1);
    EXPECT_TRUE(destroyed2);
}

TEST(EventQueue, DropsTheEventBeyond256)
{
    InputContext context;
    for (int i = 0; i < 256; i++)
        EXPECT_TRUE(vark_queue_event(context, 0x1000 + i, true, 1000 + i));
    EXPECT_FALSE(vark_queue_event(context, 0x7777, true, 900));
    EXPECT_EQ(context.context->events.count, 256);
    int code = 0;
    bool pressed = false;
    for (int i = 0; i < 256; i++) {
        ASSERT_TRUE(vark_next_event(context, &code, &pressed));
        EXPECT_EQ(code, 0x1000 + i);
    }
    EXPECT_FALSE(vark_next_event(context, &code, &pressed));
}

TEST(EventQueue, TimeOrderKeepsArrivalOrderForEqualTimes)
{
    VarkEventQueue queue = {};
    // Start near the end of the ring so insertion has to wrap.
    queue.head = 250;
    struct Case {
        int code;
        long long ms;
    };
    const Case arrivals[] = {{1, 10}, {2, 30}, {3, 20}, {4, 20}, {5, 5}, {6, 30}, {7, 20}};
    for (const Case &c : arrivals)
        ASSERT_TRUE(event_queue_push(&queue, {c.code, true, (long)(c.ms / 1000), (long)(c.ms % 1000 * 1000)}));
    const int expected[] = {5, 1, 3, 4, 7, 2, 6};
    // Only events not later than 20 ms come out first.
    VarkEvent event;
    std::vector<int> order;
    while (event_queue_pop(&queue, &event, 20))
        order.push_back(event.code);
    EXPECT_EQ(order, std::vector<int>(expected, expected + 5));
    while (event_queue_pop(&queue, &event, 1LL << 60))
        order.push_back(event.code);
    EXPECT_EQ(order, std::vector<int>(std::begin(expected), std::end(expected)));
    EXPECT_EQ(queue.count, 0);
}

TEST(EventQueue, NextEventBefore)
{
    InputContext context;
    vark_queue_event(context, 1, true, 5000);     // 5.000 s
    vark_queue_event(context, 2, false, 5100);    // 5.100 s
    int code = 0;
    bool pressed = false;
    EXPECT_FALSE(vark_next_event_before(context, &code, &pressed, 4, 999000));
    EXPECT_TRUE(vark_next_event_before(context, &code, &pressed, 5, 50000));
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(vark_next_event_before(context, &code, &pressed, 5, 99000));
    EXPECT_TRUE(vark_next_event_before(context, &code, &pressed, 5, 100000));
    EXPECT_EQ(code, 2);
    EXPECT_FALSE(pressed);
}

TEST(EventQueue, WantedDevicesArePolledWhenTheQueueIsEmpty)
{
    InputContext context;
    FakeDevice wanted, unwanted;
    VarkDevice *stick = add_joystick(context, &wanted, "Pad");
    add_joystick(context, &unwanted, "Other");
    wanted.poll_events = {4};
    unwanted.poll_events = {5};
    ASSERT_EQ(code_of(context, "Pad button 4"), stick->id + 4);
    int code = 0;
    bool pressed = false;
    ASSERT_TRUE(vark_next_event(context, &code, &pressed));
    EXPECT_EQ(code, stick->id + 4);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(unwanted.polled, 0);
    EXPECT_FALSE(vark_next_event(context, &code, &pressed));
}

TEST(Devices, BufferedButtonsAndTimestampAdjustment)
{
    InputContext context;
    FakeDevice impl;
    VarkDevice *stick = add_joystick(context, &impl);
    const long long now = 100000;

    // Before a button is named the state is kept but nothing is queued.
    vark_device_button_entry(stick, 1, true, now, now);
    EXPECT_EQ(context.context->events.count, 0);
    EXPECT_EQ(stick->buttons[1], 0x80);

    ASSERT_EQ(code_of(context, "Joystick1 button 2"), stick->id + 2);
    vark_device_button_entry(stick, 2, true, now + 30, now);
    EXPECT_EQ(stick->timestamp_adjustment, 30);
    ASSERT_EQ(context.context->events.count, 1);
    const VarkEvent &queued = context.context->events.entries[context.context->events.head];
    EXPECT_EQ(queued.seconds * 1000LL + queued.microseconds / 1000, now);

    // The same state again is no event; an old stamp keeps the adjustment.
    vark_device_button_entry(stick, 2, true, now + 35, now);
    EXPECT_EQ(context.context->events.count, 1);
    vark_device_button_entry(stick, 2, false, now + 20, now);
    EXPECT_EQ(stick->timestamp_adjustment, 30);
    EXPECT_EQ(context.context->events.count, 2);
    // Out-of-range buttons are ignored.
    vark_device_button_entry(stick, 12, true, now, now);
    vark_device_button_entry(stick, -1, true, now, now);
    EXPECT_EQ(context.context->events.count, 2);
}

TEST(Axes, OpenReadClose)
{
    InputContext context;
    FakeDevice impl;
    VarkDevice *stick = add_joystick(context, &impl);
    vark_device_axis_entry(stick, 1, -1234);
    VarkAxis *a = vark_open_axis(context, "Joystick1.axis[1]");
    VarkAxis *b = vark_open_axis(context, "Joystick1 axis 1");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(impl.acquired_axes, 1);  // only the first open acquires
    EXPECT_EQ(stick->open_count, 2);
    EXPECT_EQ(vark_read_axis(a), -1234);
    EXPECT_EQ(vark_read_axis(a), -1234);  // absolute: the position stays
    vark_close_axis(a);
    EXPECT_EQ(impl.released, 0);
    vark_close_axis(b);
    EXPECT_EQ(impl.released, 1);

    const char *failing[] = {"Joystick1 axis 2", "Joystick1.axis[-1]", "Nothing axis 0", "Joystick1"};
    for (const char *name : failing)
        EXPECT_EQ(vark_open_axis(context, name), nullptr) << name;

    impl.refuse_axes = true;
    EXPECT_EQ(vark_open_axis(context, "Joystick1 axis 0"), nullptr);
    EXPECT_EQ(stick->open_count, 0);
}

TEST(Axes, RelativeAxisGivesMotionOnce)
{
    InputContext context;
    VarkDevice *mouse = vark_add_device(context, "Mouse", 3, 5, true, nullptr, nullptr, true);
    ASSERT_NE(mouse, nullptr);
    vark_device_axis_entry(mouse, 0, 5);
    vark_device_axis_entry(mouse, 0, 7);
    vark_device_axis_entry(mouse, 1, -3);
    VarkAxis *x = vark_open_axis(context, "Mouse.axis[0]");
    VarkAxis *y = vark_open_axis(context, "Mouse axis 1");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(vark_read_axis(x), 12);
    EXPECT_EQ(vark_read_axis(x), 0);
    EXPECT_EQ(vark_read_axis(y), -3);
    EXPECT_EQ(vark_read_axis(y), 0);
    // Motion that nobody reads saturates rather than wrapping around.
    vark_device_axis_entry(mouse, 0, 2000000000);
    vark_device_axis_entry(mouse, 0, 2000000000);
    EXPECT_EQ(vark_read_axis(x), 2147483647);
    vark_close_axis(x);
    vark_close_axis(y);
    // Relative axes are not offered for binding by watching.
    EXPECT_EQ(vark_axis_names(context)[0], nullptr);
}

TEST(Axes, NameListAndWatching)
{
    InputContext context;
    FakeDevice one, two;
    VarkDevice *first = add_joystick(context, &one, "Joystick 1", 2, 4);
    VarkDevice *second = add_joystick(context, &two, "Wheel", 3, 0);
    vark_add_device(context, "cursor", 2, 0, false, nullptr, nullptr, false);
    const char *const *names = vark_axis_names(context);
    const char *expected[] = {"Joystick1 axis 0", "Joystick1 axis 1", "Wheel axis 0", "Wheel axis 1",
                              "Wheel axis 2"};
    for (int i = 0; i < 5; i++)
        EXPECT_STREQ(names[i], expected[i]);
    EXPECT_EQ(names[5], nullptr);

    // An axis resting far from the centre is not watched.
    first->axes[0] = 20000;
    second->axes[1] = -100;
    AxisWatch watch;
    EXPECT_EQ(vark_watch_axes_start(context, &watch), 4);
    const char *chosen = nullptr;
    double value = 0;
    first->axes[0] = 32767;    // ignored axis moving does not count
    second->axes[2] = 16000;   // not yet half way
    EXPECT_FALSE(vark_watch_axes_poll(&watch, &chosen, &value));
    second->axes[1] = -20000;  // the largest magnitude wins
    EXPECT_TRUE(vark_watch_axes_poll(&watch, &chosen, &value));
    EXPECT_STREQ(chosen, "Wheel axis 1");
    EXPECT_DOUBLE_EQ(value, -20000 / 32768.0);
    EXPECT_TRUE(watch.axes.empty());
    EXPECT_EQ(first->open_count, 0);
    EXPECT_EQ(second->open_count, 0);

    // Stopping early closes the handles too.
    first->axes[0] = 0;
    second->axes[1] = 0;
    EXPECT_EQ(vark_watch_axes_start(context, &watch), 5);
    vark_watch_axes_stop(&watch);
    EXPECT_EQ(first->open_count, 0);
    EXPECT_EQ(second->open_count, 0);
}

TEST(WindowEvents, KeysTextAndMouseButtons)
{
    InputContext context;
    // SDL numbers keys by USB usage id and mouse buttons 1 left, 2 middle, 3 right, 4 and 5 extra.
    vark_window_key(context, 4, true, 1000);      // A
    vark_window_key(context, 4, false, 1001);
    vark_window_key(context, 40, true, 1002);     // Return: key and character 13
    vark_window_key(context, 42, true, 1003);     // Backspace: key and character 8
    vark_window_key(context, 82, true, 1004);     // Up: extended
    vark_window_key(context, 0, true, 1005);      // no set-1 code: nothing
    vark_window_text(context, "a\xc3\xa9\xe2\x82\xac\xc0\x80\xff" "b", 1006);  // a, e-acute, euro, overlong, junk, b
    vark_window_mouse_button(context, 1, true, 1007);
    vark_window_mouse_button(context, 2, false, 1008);
    vark_window_mouse_button(context, 3, true, 1009);
    vark_window_mouse_button(context, 4, true, 1010);  // no window event for extra buttons

    struct Expected {
        int code;
        bool pressed;
    };
    const Expected expected[] = {
        {0x101E, true}, {0x101E, false}, {0x101C, true}, {13, true}, {0x100E, true}, {8, true}, {0x1148, true},
        {'a', true},    {0xE9, true},    {'b', true},    {0x2000, true}, {0x2001, false}, {0x2002, true},
    };
    int code = 0;
    bool pressed = false;
    for (const Expected &e : expected) {
        ASSERT_TRUE(vark_next_event(context, &code, &pressed));
        EXPECT_EQ(code, e.code);
        EXPECT_EQ(pressed, e.pressed) << code;
    }
    EXPECT_FALSE(vark_next_event(context, &code, &pressed));
}
