// Shared body of the model fuzz targets: read the bytes as a model file with
// a fixed prefix, then run everything that walks a model's arrays.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "data/model.h"
#include "data/stream.h"

inline int fuzz_model(const char *prefix, const uint8_t *data, size_t size)
{
    std::string text = prefix;
    text.append((const char *)data, size);
    Model *model = parse_model(text.data(), text.size(), "fuzz.qm");
    if (!model)
        return 0;
    static const float centres[30] = {0}, translations[30] = {1, 2, 3};
    static float rotations[90];
    for (int b = 0; b < 10; b++)
        rotations[b * 9] = rotations[b * 9 + 4] = rotations[b * 9 + 8] = 1;
    BoneData bones;
    bones.count = 10;
    bones.centres = centres;
    bones.translations = translations;
    bones.rotations = rotations;
    const float origin[3] = {0, 0, 0}, eye[3] = {1, 2, 3};
    const float view[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (Model *mesh = model; mesh; mesh = mesh->next) {
        skin_mesh(mesh, &bones);
        std::string uv((size_t)mesh->nv * 2 * sizeof(float), '\0');
        env_map_coordinates(mesh, origin, eye, view, (float *)uv.data());
    }
    select_lod(model, 5, 0, 1);
    static DataStream *sink = stream_open("/dev/null", "w");
    if (sink)
        write_pov_mesh(model, sink);
    free_model(model);
    return 0;
}
