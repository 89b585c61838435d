// Control names as the configuration file hands them over, and typed text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/input.h"
#include "platform/window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static VarkWindow *context = [] {
        VarkWindow *made = vark_open_input_context();
        vark_add_device(made, "Joystick 1", 4, 12, false, nullptr, nullptr, true);
        vark_add_device(made, "Mouse", 3, 5, true, nullptr, nullptr, false);
        vark_define_builtin_aliases(true);
        return made;
    }();
    std::string text((const char *)data, size);
    int code = 0;
    if (vark_key_code(context, &code, text.c_str()))
        vark_key_name(context, code);
    if (VarkAxis *axis = vark_open_axis(context, text.c_str())) {
        vark_read_axis(axis);
        vark_close_axis(axis);
    }
    vark_window_text(context, text.c_str(), 0);
    VarkEvent event;
    while (event_queue_pop(&context->events, &event, 1LL << 60)) {
    }
    return 0;
}
