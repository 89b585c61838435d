// The process's rendering settings; the defaults are those the graphics items start with.
#include "data/render_settings.h"

RenderSettings render_settings;
