// Run-time lookup of OpenGL entry points in the current context.
#pragma once

// The address of the named OpenGL function for the current context, or null.
void *vark_gl_proc_address(const char *name);
