// Derived rendering settings from the graphics items.
#include "core/graphics_settings.h"

#include <algorithm>

#include "data/render_settings.h"

void compute_render_settings(const GraphicsItems &items, RenderSettings *settings)
{
    // A detail of 0 would make the tolerance infinite; the slider's first step is the coarsest.
    double ground_detail = std::max(items.ground_geometric_detail, 1.0);
    settings->terrain_detail = (float)(0.125 / ground_detail);
    settings->ground_texture_reduction = (int)std::clamp(10 - items.ground_texture_levels, 0.0, 10.0);
    settings->ground_texture_size = 32 << std::clamp(items.ground_texture_resolution, 0, 5);

    double scale = std::clamp(100 - items.model_geometric_detail, 0.0, 100.0) * 0.02;
    if (scale > 1)
        scale = scale * scale * scale;
    settings->lod_scale = (float)scale;
    settings->lod_bias = (float)(50 - 50 * std::clamp((items.model_geometric_detail - 10) * 0.05, 0.0, 1.0));

    settings->model_texture_reduction = (int)std::clamp(10 - items.model_texture_detail, 0.0, 10.0);
    settings->roost_frequency = (int)std::clamp(items.roost_density, 0.0, 1000.0);
    settings->texture_compression = items.compress_textures;
    settings->reflections = items.enable_reflections;
}

void apply_compatibility_preset(GraphicsItems *items)
{
    items->compress_textures = 0;
    items->ground_texture_resolution = 1;  // 64x64
    items->ground_texture_levels = 9;
    items->ground_geometric_detail = 70;
    items->model_geometric_detail = 50;
    items->model_texture_detail = 9;
    items->roost_density = 1000;
    items->enable_reflections = 1;
}
