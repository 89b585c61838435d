// Model files: the three formats, bone weights, tangents, level-of-detail
// variants, the cache with its generations, posing and the scene export.
#include "data/model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "data/image.h"
#include "data/render_settings.h"
#include "data/stream.h"
#include "data_test_util.h"
#include "platform/message_log.h"

namespace {

const float tiny = 1.0f / 1048576.0f;

Model *parse(const std::string &text, const char *name = "test.qm")
{
    return parse_model(text.data(), text.size(), name);
}

int meshes_in(const Model *m)
{
    int n = 0;
    for (; m; m = m->next)
        n++;
    return n;
}

// Every mesh of a model holds what its counts promise.
void expect_consistent(const Model *model)
{
    for (const Model *m = model; m; m = m->next) {
        size_t copies = m->bone_count > 0 ? 2 : 1;
        EXPECT_EQ(m->positions.size(), (size_t)m->nv * 3 * copies);
        EXPECT_EQ(m->normals.size(), (size_t)m->nv * 3 * copies);
        EXPECT_EQ(m->tangents.size(), (size_t)m->nv * 3 * copies);
        EXPECT_EQ(m->texcoords.size(), (size_t)m->nv * 2);
        EXPECT_EQ(m->triangles.size(), (size_t)m->nt * 3);
        for (int32_t index : m->triangles) {
            EXPECT_GE(index, 0);
            EXPECT_LT(index, m->nv);
        }
    }
}

// A QM2 file: one triangle whose first vertex has six positive weights and
// whose second vertex has two; the third has none.
const char *six_weights =
    "QM2 6 skeleton\n"
    "10 0 1 1 1 3 1\n"
    "0 0 0  0 1 0  0 0   0.1 0.5 0.2 0.05 0.3 0.4\n"
    "1 0 0  0 1 0  1 0   0 3 0 0 0 1\n"
    "0 0 1  0 1 0  0 1   0 0 0 0 0 0\n"
    "0 1 2\n"
    "10 0 1 1 1 3 1\n"
    "0 0 0  0 1 0  0 0   1 1 1 1 1 1\n"
    "1 0 0  0 1 0  1 0   0 0 0 0 0 0\n"
    "0 0 1  0 1 0  0 1   0 0 0 0 0 0\n"
    "0 1 2\n";

TEST(ModelBones, SixWeightsKeepTheFourLargestAndWarnOncePerMesh)
{
    clear_message_log();
    Model *m = parse(six_weights);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(meshes_in(m), 2);
    EXPECT_EQ(m->bone_count, 6);
    expect_consistent(m);
    // Both meshes had a vertex with too many influences: one warning each.
    EXPECT_EQ(messages_containing("Warning: vertex with more than 4 bone influences in 'test.qm'"), 2);

    float sum = 0;
    float by_bone[6] = {0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 4; k++) {
        sum += m->bone_weights[k];
        by_bone[m->bone_indices[k]] += m->bone_weights[k];
    }
    EXPECT_NEAR(sum, 1.0f, 1e-6f);
    // 0.5, 0.2, 0.3 and 0.4 stay; 0.1 and 0.05 go.
    const float expected[6] = {0, 0.5f / 1.4f, 0.2f / 1.4f, 0, 0.3f / 1.4f, 0.4f / 1.4f};
    for (int b = 0; b < 6; b++)
        EXPECT_NEAR(by_bone[b], expected[b], 1e-6f) << "bone " << b;

    // Two influences: 3 and 1 on bones 1 and 5.
    float second[6] = {0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 4; k++)
        second[m->bone_indices[4 + k]] += m->bone_weights[4 + k];
    EXPECT_NEAR(second[1], 0.75f, 1e-6f);
    EXPECT_NEAR(second[5], 0.25f, 1e-6f);

    // No influence at all: four equal shares.
    for (int k = 0; k < 4; k++)
        EXPECT_FLOAT_EQ(m->bone_weights[8 + k], 0.25f);

    // The bind pose is the second half of the vertex arrays.
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(m->positions[9 + i], m->positions[i]);
        EXPECT_EQ(m->normals[9 + i], m->normals[i]);
        EXPECT_EQ(m->tangents[9 + i], m->tangents[i]);
    }
    free_model(m);
}

TEST(ModelRead, Qm1MeshesInFileOrderWithTheirMaterials)
{
    const char *text =
        "QM1\n"
        "12 0.5 0.1 0.2 0.3 3 1\n"
        "0 0 0 0 0 1 0 0.25  1 0 0 0 0 1 1 0  0 1 0 0 0 1 0 1\n"
        "0 1 2\n"
        "-1 0.6 0.9 0.8 0.7 3 1\n"
        "0 0 0 0 0 1 0 0  1 0 0 0 0 1 1 0  0 1 0 0 0 1 0 1\n"
        "2 1 0\n"
        "-2 0.4 1 0 0 4 2\n"
        "0 0 0 0 0 1 0 0  1 0 0 0 0 1 1 0  1 1 0 0 0 1 1 1  0 1 0 0 0 1 0 1\n"
        "0 1 2 0 2 3\n";
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(meshes_in(m), 3);
    expect_consistent(m);
    EXPECT_EQ(m->bone_count, 0);
    EXPECT_FALSE(m->old_format);
    EXPECT_EQ(m->name, "test.qm");

    EXPECT_FLOAT_EQ(m->shininess, 12);
    EXPECT_FLOAT_EQ(m->factor, 1);  // a specular exponent ignores the file's factor
    EXPECT_FLOAT_EQ(m->colour[2], 0.3f);
    EXPECT_FLOAT_EQ(m->texcoords[1], 0.75f);  // v is stored as 1 - v
    EXPECT_TRUE(m->reflective);               // the first mesh speaks for the model

    const Model *second = m->next;
    EXPECT_FLOAT_EQ(second->shininess, -1);
    EXPECT_FLOAT_EQ(second->factor, 0.6f);
    EXPECT_TRUE(second->reflective);
    EXPECT_EQ(second->triangles[0], 2);

    const Model *third = second->next;
    EXPECT_FLOAT_EQ(third->shininess, -2);
    EXPECT_FLOAT_EQ(third->factor, 0.4f);
    EXPECT_FALSE(third->reflective);
    EXPECT_EQ(third->nv, 4);
    EXPECT_EQ(third->nt, 2);
    free_model(m);
}

TEST(ModelRead, OldFormatIsOneMeshWithDefaultMaterial)
{
    const char *text =
        "3 1\n"
        "0 0 0 0 1 0 0 0.2\n"
        "1 0 0 0 1 0 1 0\n"
        "0 0 1 0 1 0 0 1\n"
        "0 1 2\n"
        "3 1\n";  // anything after the one mesh is ignored
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(meshes_in(m), 1);
    EXPECT_TRUE(m->old_format);
    EXPECT_FLOAT_EQ(m->shininess, 32);
    EXPECT_FLOAT_EQ(m->factor, 1);
    for (float c : m->colour)
        EXPECT_FLOAT_EQ(c, 1);
    EXPECT_FLOAT_EQ(m->texcoords[1], 0.8f);
    EXPECT_FALSE(m->reflective);
    expect_consistent(m);
    free_model(m);
}

TEST(ModelRead, BadFilesFailOrDropTheBrokenMesh)
{
    const std::string good_mesh = "1 0 1 1 1 3 1  0 0 0 0 1 0 0 0  1 0 0 0 1 0 1 0  0 0 1 0 1 0 0 1  0 1 2\n";
    struct Case {
        std::string text;
        int meshes;  // 0: the load fails
    } cases[] = {
        {"QM3\n" + good_mesh, 0},                          // unknown version
        {"QM x\n" + good_mesh, 0},                         // no version number
        {"QM2 -1 x\n" + good_mesh, 0},                     // negative bone count
        {"QM2\n", 0},                                      // no bone count
        {"QM1\n", 0},                                      // no mesh at all
        {"QM1\n1 0 1 1 1 -3 1\n", 0},                      // negative vertex count
        {"QM1\n1 0 1 1 1 2000000000 2000000000\n", 0},     // counts the file cannot hold
        {"QM2 2000000000 x\n" + good_mesh, 0},             // weights the file cannot hold
        {"QM1\n1 0 1 1 1 3 1  0 0 0 0 1 0 0 0  1 0 0 0 1 0 1 0  0 0 1 0 1 0 0 1  0 1 3\n", 0},  // index past the end
        {"QM1\n1 0 1 1 1 3 1  0 0 0 0 1 0 0 0  1 0 0 0 1 0 1 0  0 0 1 0 1 0 0 1  0 -1 2\n", 0},  // negative index
        {"QM1\n" + good_mesh + good_mesh, 2},
        {"QM1\n" + good_mesh + "1 0 1 1 1 3 1 0 0 0\n", 1},  // a mesh breaking off is dropped
        {"QM1\n" + good_mesh + "junk\n", 1},
        {"QM1\n" + good_mesh + "1 0 1 1 1 3 1  0 0 0 0 1 0 0 0  1 0 0 0 1 0 1 0  0 0 1 0 1 0 0 1  0 1 9\n", 1},
        {"hello world", 0},
        {"QMx", 0},
        {"   \n\t ", 0},
        {std::string("QM1\n1 0 1 1 1 3 1\0 0 0", 22), 0},
        {"  QM1\n" + good_mesh, 1},  // white space before the header word
        {"3 1 0 0 0 0 1 0 0 0 1 0 0 0 1 0 1 0 0 0 1 0 1 0 0 1 0 1 2", 1},
    };
    for (const Case &c : cases) {
        Model *m = parse(c.text);
        EXPECT_EQ(meshes_in(m), c.meshes) << c.text;
        expect_consistent(m);
        free_model(m);
    }
    EXPECT_EQ(parse_model(nullptr, 0, "none"), nullptr);
}

// Every prefix of a valid file either fails or reads whole meshes.
TEST(ModelRead, TruncationAtEveryByteIsSafe)
{
    std::string text = six_weights;
    for (size_t length = 0; length <= text.size(); length++) {
        std::string prefix = text.substr(0, length);
        Model *m = parse(prefix);
        expect_consistent(m);
        EXPECT_LE(meshes_in(m), 2);
        free_model(m);
    }
    Model *whole = parse(text);
    EXPECT_EQ(meshes_in(whole), 2);
    free_model(whole);
}

// A unit quad in the x-z plane, mapped with u along x and v along z.
const char *quad =
    "QM1\n"
    "8 0 1 1 1 4 2\n"
    "0 0 0  0 1 0  0 0\n"
    "1 0 0  0 1 0  1 0\n"
    "1 0 1  0 1 0  1 1\n"
    "0 0 1  0 1 0  0 1\n"
    "0 2 1  0 3 2\n";

TEST(ModelTangents, QuadTangentsRunAlongTheUAxis)
{
    Model *m = parse(quad);
    ASSERT_NE(m, nullptr);
    const float *t = m->tangents.data();
    for (int v = 0; v < 4; v++) {
        EXPECT_NEAR(std::fabs(t[v * 3]), 1.0f, 1e-6f) << v;
        EXPECT_NEAR(t[v * 3 + 1], 0.0f, 1e-6f) << v;
        EXPECT_NEAR(t[v * 3 + 2], 0.0f, 1e-6f) << v;
        // Both triangles agree on the direction, so the shared vertices did not cancel out.
        EXPECT_EQ(t[v * 3], t[0]) << v;
    }
    free_model(m);
}

TEST(ModelTangents, DegenerateMappingGivesATinyTangentAlongTheLongerEdge)
{
    const float p0[3] = {0, 0, 0}, uv[2] = {0.5f, 0.5f};
    struct Case {
        float p1[3], p2[3];
        float expected[3];
    } cases[] = {
        {{1, 0, 0}, {0, 0, 3}, {0, 0, tiny}},   // E2 is longer
        {{0, 4, 0}, {0, 0, 3}, {0, tiny, 0}},   // E1 is longer
        {{2, 0, 0}, {0, 2, 0}, {0, tiny, 0}},   // equal: E2
        {{0, 0, 5}, {0, 0, 0}, {0, 0, tiny}},   // E2 is zero: E1
        {{0, 0, 0}, {0, 0, 0}, {tiny, 0, 0}},   // both zero
    };
    for (const Case &c : cases) {
        float t[3];
        triangle_tangent(p0, c.p1, c.p2, uv, uv, uv, t);
        for (int i = 0; i < 3; i++)
            EXPECT_FLOAT_EQ(t[i], c.expected[i]) << i;
    }

    // Beside a well-mapped triangle such a triangle hardly moves the shared vertex.
    const char *text =
        "QM1\n"
        "8 0 1 1 1 4 2\n"
        "0 0 0  0 1 0  0 0\n"
        "1 0 0  0 1 0  1 0\n"
        "1 0 1  0 1 0  1 1\n"
        "0 0 5  0 1 0  0 0\n"
        "0 2 1  0 0 3\n";
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(std::fabs(m->tangents[0]), 1.0f, 1e-5f);
    EXPECT_NEAR(m->tangents[2], 0.0f, 1e-5f);
    // The vertex only the degenerate triangle uses takes its edge direction.
    EXPECT_NEAR(m->tangents[3 * 3 + 2], 1.0f, 1e-6f);
    free_model(m);
}

TEST(ModelLod, VariantNumbersFromNames)
{
    struct Case {
        const char *name;
        bool match;
        double number;
    } cases[] = {
        {"bike_lod1.qm", true, 1},     {"bike_lod2.5.qm", true, 2.5}, {"bike_lod3.qm.gz", true, 3},
        {"bike_lod10_x", true, 10},    {"bike_lod1.", true, 1},       {"BIKE_LOD4.qm", true, 4},
        {"bike_lod1", false, 0},       {"bike_lod.qm", false, 0},     {"bike_lodx.qm", false, 0},
        {"bikes_lod1.qm", false, 0},   {"bike.qm", false, 0},         {"bike_lod", false, 0},
    };
    for (const Case &c : cases) {
        double number = -1;
        EXPECT_EQ(lod_variant_number(c.name, "bike", &number), c.match) << c.name;
        if (c.match) {
            EXPECT_DOUBLE_EQ(number, c.number) << c.name;
        }
    }
}

std::string triangle_model(int extra_vertices)
{
    std::string text = "QM1\n1 0 1 1 1 " + std::to_string(3 + extra_vertices) + " 1\n";
    for (int i = 0; i < 3 + extra_vertices; i++)
        text += std::to_string(i) + " 0 0 0 1 0 0 0\n";
    return text + "0 1 2\n";
}

TEST(ModelLod, VariantsFoundThroughTheFileIndexFormTheChain)
{
    DataDirs dirs;
    dirs.write_data("models/bike.qm", triangle_model(0));
    dirs.write_data("models/bike_lod3.qm.gz", gzip_member(triangle_model(3)));
    dirs.write_data("models/bike_lod1.qm", triangle_model(1));
    dirs.write_data("models/bike_lodx.qm", triangle_model(7));   // no number
    dirs.write_data("models/bike_lod2", triangle_model(7));      // nothing after the number
    dirs.write_data("models/bikes_lod1.qm", triangle_model(7));  // another base
    dirs.write_data("models/bike_lod5.qm", "not a model");       // fails and is left out

    Model *m = load_model("@models/bike.qm");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->nv, 3);
    EXPECT_FLOAT_EQ(m->lod_distance, 0);
    const Model *first = m->next_variant;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->nv, 4);
    EXPECT_FLOAT_EQ(first->lod_distance, 2);
    EXPECT_EQ(first->name, "@models/bike_lod1.qm");
    const Model *second = first->next_variant;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->nv, 6);
    EXPECT_FLOAT_EQ(second->lod_distance, 8);
    EXPECT_EQ(second->name, "@models/bike_lod3.qm");
    EXPECT_EQ(second->next_variant, nullptr);

    struct Case {
        float distance, bias, scale;
        const Model *chosen;
    } cases[] = {
        {5, 0, 1, first},   {1, 0, 1, m},        {1.99f, 0, 1, m},    {2, 0, 1, first}, {8, 0, 1, second},
        {100, 0, 1, second}, {5, 0, 0.5f, first}, {5, 0, 0.2f, m},    {0, 2, 1, first}, {0, 8, 1, second},
        {1, -1, 1, m},      {3, -1, 1, first},   {9, 0, 0, m},
    };
    for (const Case &c : cases)
        EXPECT_EQ(select_lod(m, c.distance, c.bias, c.scale), c.chosen)
            << c.distance << " " << c.bias << " " << c.scale;

    // A plain path has no variants.
    Model *plain = load_model((dirs.data + "models/bike.qm").c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->next_variant, nullptr);
    free_model_cache();
}

TEST(ModelCache, GenerationsDecideWhatThePurgeFrees)
{
    DataDirs dirs;
    dirs.write_data("a.qm", triangle_model(0));
    dirs.write_data("b.qm", triangle_model(1));
    dirs.write_data("c.qm", triangle_model(2));
    load_generation = 0;
    clear_message_log();

    Model *a = load_model("@a.qm");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(load_model("@a.qm"), a);
    EXPECT_EQ(load_model("@A.QM"), a);
    EXPECT_EQ(messages_containing("Warning: case mismatch on '@A.QM'"), 1);
    EXPECT_EQ(load_model("@missing.qm"), nullptr);
    EXPECT_EQ(load_model(""), nullptr);

    load_generation = 1;
    Model *b = load_model("@b.qm");
    Model *c = load_model("@c.qm");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(b->generation, 1);

    load_generation = 2;
    EXPECT_EQ(load_model("@c.qm"), c);  // used again: moves to the new generation
    EXPECT_EQ(load_model("@a.qm"), a);  // start-up models stay at generation 0
    EXPECT_EQ(a->generation, 0);
    EXPECT_EQ(c->generation, 2);
    purge_models();
    ASSERT_EQ(model_cache().size(), 2u);
    EXPECT_EQ(model_cache()[0], a);
    EXPECT_EQ(model_cache()[1], c);
    EXPECT_STREQ(model_name(c), "@c.qm");

    load_generation = 3;
    purge_models();
    ASSERT_EQ(model_cache().size(), 1u);
    EXPECT_EQ(model_cache()[0], a);
    free_model_cache();
    load_generation = 0;
}

TEST(ModelCache, ReflectionsNeedTheSettingAndAReflectiveMesh)
{
    Model *shiny = parse("QM1\n-1 1 1 1 1 0 0\n");
    Model *dull = parse("QM1\n4 1 1 1 1 0 0\n");
    ASSERT_NE(shiny, nullptr);
    ASSERT_NE(dull, nullptr);
    int saved = render_settings.reflections;
    render_settings.reflections = 1;
    EXPECT_TRUE(model_has_reflections(shiny));
    EXPECT_FALSE(model_has_reflections(dull));
    render_settings.reflections = 0;
    EXPECT_FALSE(model_has_reflections(shiny));
    render_settings.reflections = saved;
    EXPECT_FALSE(model_has_reflections(nullptr));
    free_model(shiny);
    free_model(dull);
}

TEST(ModelPose, CpuSkinningBlendsTheBones)
{
    // Vertex 0 half on bone 0 and half on bone 1; vertex 1 on bone 2 only,
    // which the pose does not have; vertex 2 on bone 1.
    const char *text =
        "QM2 3 rig\n"
        "1 0 1 1 1 3 1\n"
        "1 0 0  1 0 0  0 0  1 1 0\n"
        "0 1 0  0 1 0  0 0  0 0 1\n"
        "0 0 1  0 0 1  0 0  0 1 0\n"
        "0 1 2\n";
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    // Bone 0 moves by (0, 0, 2); bone 1 turns 90 degrees about z around (1, 0, 0).
    const float centres[6] = {0, 0, 0, 1, 0, 0};
    const float translations[6] = {0, 0, 2, 1, 0, 0};
    const float rotations[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, -1, 0, 1, 0, 0, 0, 0, 1};
    BoneData bones;
    bones.count = 2;
    bones.centres = centres;
    bones.translations = translations;
    bones.rotations = rotations;
    skin_mesh(m, &bones);
    const float *p = m->positions.data(), *n = m->normals.data();
    // Vertex 0: half of (1,0,2) and half of (1,0,0).
    EXPECT_FLOAT_EQ(p[0], 1);
    EXPECT_FLOAT_EQ(p[1], 0);
    EXPECT_FLOAT_EQ(p[2], 1);
    // Its normal: half of (1,0,0) and half of (0,1,0).
    EXPECT_FLOAT_EQ(n[0], 0.5f);
    EXPECT_FLOAT_EQ(n[1], 0.5f);
    // Vertex 1 names a bone the pose lacks: it collapses instead of reading past the data.
    EXPECT_FLOAT_EQ(p[3], 0);
    EXPECT_FLOAT_EQ(p[4], 0);
    // Vertex 2: (0,0,1) - (1,0,0) turned to (0,-1,1), plus (1,0,0).
    EXPECT_FLOAT_EQ(p[6], 1);
    EXPECT_FLOAT_EQ(p[7], -1);
    EXPECT_FLOAT_EQ(p[8], 1);
    // The bind pose is untouched, and no bones bring it back.
    EXPECT_FLOAT_EQ(m->positions[9], 1);
    skin_mesh(m, nullptr);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(m->positions[i], m->positions[9 + i]);
    free_model(m);
}

TEST(ModelPose, EnvironmentMapCoordinates)
{
    const char *text =
        "QM1\n"
        "-1 1 1 1 1 2 0\n"
        "0 0 0  0 0 1  0 0\n"
        "0 0 0  0 1 0  0 0\n";
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    const float origin[3] = {0, 0, 0};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float uv[4];
    // Vertex 0 faces an eye straight in front: the reflection comes back along +z.
    const float eye[3] = {0, 0, 5};
    env_map_coordinates(m, origin, eye, identity, uv);
    EXPECT_FLOAT_EQ(uv[0], 0.5f);
    EXPECT_FLOAT_EQ(uv[1], 0.75f);
    // Vertex 1 looks up; the eye above sees straight up: the centre of the map.
    const float above[3] = {0, 3, 0};
    env_map_coordinates(m, origin, above, identity, uv);
    EXPECT_FLOAT_EQ(uv[2], 0.5f);
    EXPECT_FLOAT_EQ(uv[3], 0.5f);
    // A view that swaps x and z moves vertex 0's reflection to +x.
    const float swap[9] = {0, 0, 1, 0, 1, 0, 1, 0, 0};
    env_map_coordinates(m, origin, eye, swap, uv);
    EXPECT_FLOAT_EQ(uv[0], 0.75f);
    EXPECT_FLOAT_EQ(uv[1], 0.5f);
    free_model(m);
}

TEST(ModelExport, PovMeshBlock)
{
    const char *text =
        "QM1\n"
        "8 0 1 1 1 3 1\n"
        "0 0 0  0 1 0  0 0.25\n"
        "1 0 0  0 1 0  1 0\n"
        "0 0 1  0 1 0  0 1\n"
        "0 2 1\n";
    Model *m = parse(text);
    ASSERT_NE(m, nullptr);
    TempDir dir;
    std::string path = dir.file("mesh.pov");
    DataStream *s = stream_open(path.c_str(), "w");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(write_pov_mesh(m, s));
    stream_close(s);
    EXPECT_EQ(read_file_bytes(path),
              "mesh2 {\n"
              "\tvertex_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.000000,0.000000>,\n\t\t<1.000000,0.000000,0.000000>,\n"
              "\t\t<0.000000,0.000000,1.000000>\n\t}\n"
              "\tnormal_vectors {\n\t\t3\n"
              "\t\t<0.000000,1.000000,0.000000>,\n\t\t<0.000000,1.000000,0.000000>,\n"
              "\t\t<0.000000,1.000000,0.000000>\n\t}\n"
              "\tuv_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.750000>,\n\t\t<1.000000,1.000000>,\n\t\t<0.000000,0.000000>\n\t}\n"
              "\tface_indices {\n\t\t1\n"
              "\t\t<0,2,1>\n\t}\n"
              "}\n");
    free_model(m);
}

}  // namespace
