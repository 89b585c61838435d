// Joysticks made in software through SDL's virtual joystick driver.
#include "platform/virtual_joystick.h"

#include <SDL.h>

#include <cstring>

#include "platform/log.h"

struct VirtualJoystick {
    SDL_Joystick *joystick;
    SDL_JoystickID instance;
};

VirtualJoystick *vark_virtual_joystick_attach(const char *name, int axes, int buttons)
{
    if (axes < 0 || axes > 0xFFFF || buttons < 0 || buttons > 0xFFFF)
        return nullptr;
    // Nobody sits at a software joystick, so its input counts even when the
    // window has no focus (offscreen windows never get it).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        vark_log("%s\n", SDL_GetError());
        return nullptr;
    }
    SDL_VirtualJoystickDesc desc;
    memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = (Uint16)axes;
    desc.nbuttons = (Uint16)buttons;
    desc.name = name;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick *joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (!joystick) {
        vark_log("%s\n", SDL_GetError());
        if (index >= 0)
            SDL_JoystickDetachVirtual(index);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        return nullptr;
    }
    return new VirtualJoystick{joystick, SDL_JoystickInstanceID(joystick)};
}

bool vark_virtual_joystick_set_axis(VirtualJoystick *joystick, int axis, int value)
{
    if (value < -32768 || value > 32767)
        return false;
    return SDL_JoystickSetVirtualAxis(joystick->joystick, axis, (Sint16)value) == 0;
}

bool vark_virtual_joystick_set_button(VirtualJoystick *joystick, int button, bool pressed)
{
    return SDL_JoystickSetVirtualButton(joystick->joystick, button, pressed ? SDL_PRESSED : SDL_RELEASED) == 0;
}

void vark_virtual_joystick_detach(VirtualJoystick *joystick)
{
    if (!joystick)
        return;
    SDL_JoystickClose(joystick->joystick);
    for (int i = 0; i < SDL_NumJoysticks(); i++) {
        if (SDL_JoystickGetDeviceInstanceID(i) == joystick->instance) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    delete joystick;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
