// Joysticks made in software: they join the device roll call like real ones,
// so tests and demonstrations can drive the joystick path without hardware.
#pragma once

struct VirtualJoystick;

// Attaches a joystick with that name, axis and button count; null on failure.
// Attach before the window opens for the roll call to find it.
VirtualJoystick *vark_virtual_joystick_attach(const char *name, int axes, int buttons);
// New states arrive as the joystick's events at the next event fetch.
bool vark_virtual_joystick_set_axis(VirtualJoystick *joystick, int axis, int value);
bool vark_virtual_joystick_set_button(VirtualJoystick *joystick, int button, bool pressed);
void vark_virtual_joystick_detach(VirtualJoystick *joystick);
