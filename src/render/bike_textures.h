// Hands the bike appearance loader (sim/bike_look.h) its texture operations
// while a GL context exists.
#pragma once

// Installs the hooks; call after the renderer is set up.
void bike_textures_init();
// Removes them again; call before the context goes.
void bike_textures_shutdown();
