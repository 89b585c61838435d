// OpenGL entry points through SDL, so the renderer needs no SDL of its own.
#include "platform/gl_proc.h"

#include <SDL.h>

void *vark_gl_proc_address(const char *name)
{
    if (!name || !*name)
        return nullptr;
    return SDL_GL_GetProcAddress(name);
}
