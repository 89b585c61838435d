// Texture hooks of the bike appearance: cached skin textures, and plate
// textures that each bike owns and releases.
#include "render/bike_textures.h"

#include <GL/gl.h>

#include "data/image.h"
#include "sim/bike_look.h"

static void release_plate_texture(unsigned id)
{
    GLuint name = id;
    glDeleteTextures(1, &name);
}

void bike_textures_init()
{
    bike_graphics.load_texture = load_texture;
    bike_graphics.make_plate_texture = make_plate_texture;
    bike_graphics.release_texture = release_plate_texture;
}

void bike_textures_shutdown()
{
    bike_graphics = BikeGraphics{nullptr, nullptr, nullptr};
}
