// Checks on the models drawn: faces that would be culled from outside, and
// texture coordinates that leave the image.
#include <cmath>
#include <cstdio>

#include "data/model.h"
#include "shots.h"

int check_model(const Model *model)
{
    int lines = 0, mesh = 0;
    for (const Model *m = model; m; m = m->next, mesh++) {
        size_t base = m->bone_count > 0 ? (size_t)m->nv * 3 : 0;  // the bind pose of skinned meshes
        int against = 0, outside = 0;
        double centre[3] = {0, 0, 0};
        for (int v = 0; v < m->nv; v++)
            for (int k = 0; k < 3; k++)
                centre[k] += m->positions[base + (size_t)v * 3 + k] / m->nv;
        double volume = 0, unsigned_volume = 0;  // six times, of the tetrahedra on the centre
        for (int t = 0; t < m->nt; t++) {
            const int32_t *tri = &m->triangles[(size_t)t * 3];
            double p[3][3], n[3] = {0, 0, 0};
            for (int c = 0; c < 3; c++)
                for (int k = 0; k < 3; k++) {
                    p[c][k] = m->positions[base + (size_t)tri[c] * 3 + k] - centre[k];
                    n[k] += m->normals[base + (size_t)tri[c] * 3 + k];
                }
            double e1[3], e2[3];
            for (int k = 0; k < 3; k++)
                e1[k] = p[1][k] - p[0][k], e2[k] = p[2][k] - p[0][k];
            // Counter-clockwise front faces: the winding's normal is e1 x e2.
            double face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                              e1[0] * e2[1] - e1[1] * e2[0]};
            // Smoothed normals may lean across a sharp edge; only a clear
            // disagreement counts.
            double along = face[0] * n[0] + face[1] * n[1] + face[2] * n[2];
            double lengths = std::sqrt((face[0] * face[0] + face[1] * face[1] + face[2] * face[2]) *
                                       (n[0] * n[0] + n[1] * n[1] + n[2] * n[2]));
            if (along < -0.25 * lengths)
                against++;
            double tetra = face[0] * p[0][0] + face[1] * p[0][1] + face[2] * p[0][2];
            volume += tetra;
            unsigned_volume += tetra < 0 ? -tetra : tetra;
        }
        // A closed mesh wound inward encloses a negative volume; a flat or
        // open one encloses next to nothing either way.
        if (volume < -0.25 * unsigned_volume) {
            printf("check: %s mesh %d: faces point inward (signed volume %.3f of %.3f cubic feet)\n",
                   model->name.c_str(), mesh, volume / 6, unsigned_volume / 6);
            lines++;
        }
        // Textures clamp at their edges unless their names ask for repeats.
        for (int v = 0; v < m->nv; v++) {
            float s = m->texcoords[(size_t)v * 2], t = m->texcoords[(size_t)v * 2 + 1];
            if (s < -0.001f || s > 1.001f || t < -0.001f || t > 1.001f)
                outside++;
        }
        if (against > 0) {
            printf("check: %s mesh %d: %d of %d triangles wind against their normals\n", model->name.c_str(), mesh,
                   against, m->nt);
            lines++;
        }
        if (outside > 0) {
            printf("check: %s mesh %d: %d of %d vertices have texture coordinates outside 0..1\n",
                   model->name.c_str(), mesh, outside, m->nv);
            lines++;
        }
    }
    return lines;
}
