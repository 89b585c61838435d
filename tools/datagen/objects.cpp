// Files every track shares: statue models with their skins and collision
// shapes, billboard sprites, the starter's and lap boards, decals, roost
// and lens-flare sprites.
#include "datagen/mesh.h"
#include "datagen/track_build.h"

namespace {

void add_model(DataSet *set, const std::string &name, const std::vector<MeshPart> &parts)
{
    add_text(set, name, qm_text(parts));
}

void add_png(DataSet *set, const std::string &name, const Picture &picture)
{
    add_file(set, name, encode_png(picture));
}

}  // namespace

void build_track_objects(DataSet *set)
{
    // Hay bale: a rectangular bale lying along its x axis.
    {
        MeshPart bale;
        bale.shininess = 2;
        bale.colour[0] = bale.colour[1] = bale.colour[2] = 0.05;
        const double lo[3] = {-2, 0, -0.9}, hi[3] = {2, 1.5, 0.9};
        add_box(&bale, lo, hi);
        add_model(set, "haybale.qm", {bale});
        add_png(set, "haybale.png", haybale_skin());
        std::vector<ShapeBall> balls;
        for (int k = -1; k <= 1; k++)
            balls.push_back({1.3 * k, 0.75, 0, 0.85, 0.8, 2500, 250});
        add_text(set, "haybale.shp", shp_text(balls));
    }
    // Tuff block: a long plastic barrier with a narrower top.
    {
        MeshPart block;
        block.shininess = 24;
        const double lo[3] = {-3, 0, -0.75}, hi[3] = {3, 1.2, 0.75};
        const double lo2[3] = {-2.9, 1.2, -0.55}, hi2[3] = {2.9, 1.6, 0.55};
        add_box(&block, lo, hi);
        add_box(&block, lo2, hi2, UvRect{0, 0, 1, 0.3});
        add_model(set, "tuffblock.qm", {block});
        const uint8_t blue[3] = {30, 80, 200};
        add_png(set, "tuffblock.png", tuffblock_skin(blue));
        std::vector<ShapeBall> balls;
        for (int k = -2; k <= 2; k++)
            balls.push_back({1.2 * k, 0.75, 0, 0.75, 0.4, 8000, 800});
        add_text(set, "tuffblock.shp", shp_text(balls));
    }
    // Starting gate piece: one rider's plate on a ground bar, 3.2 ft wide.
    {
        MeshPart gate;
        gate.shininess = 40;
        gate.colour[0] = gate.colour[1] = gate.colour[2] = 0.5;
        const double plate_lo[3] = {-1.55, 0.15, -0.06}, plate_hi[3] = {1.55, 1.9, 0.06};
        const double bar_lo[3] = {-1.6, 0, -0.4}, bar_hi[3] = {1.6, 0.15, 0.4};
        add_box(&gate, plate_lo, plate_hi);
        add_box(&gate, bar_lo, bar_hi, UvRect{0, 0, 1, 0.1});
        add_model(set, "startgate.qm", {gate});
        add_file(set, "startgate.ppm", encode_pnm(startgate_skin()));
        std::vector<ShapeBall> balls;
        for (int k = 0; k < 4; k++)
            balls.push_back({-1.2 + 0.8 * k, 1.0, 0, 0.45, 0.5, 20000, 2000});
        add_text(set, "startgate.shp", shp_text(balls));

        MeshPart post;
        post.shininess = 40;
        const double lo[3] = {-0.3, 0, -0.3}, hi[3] = {0.3, 4, 0.3};
        add_box(&post, lo, hi);
        add_model(set, "gatepost.qm", {post});
        std::vector<ShapeBall> post_balls;
        for (int k = 0; k < 3; k++)
            post_balls.push_back({0, 0.6 + 1.3 * k, 0, 0.45, 0.5, 20000, 2000});
        add_text(set, "gatepost.shp", shp_text(post_balls));
    }

    add_png(set, "tree-oak.png", tree_sprite(301, false));
    add_png(set, "tree-pine.png", tree_sprite(302, true));
    add_png(set, "fence.png", fence_sprite());
    {
        const uint8_t white[3] = {245, 245, 245}, red[3] = {200, 30, 30}, black[3] = {20, 20, 24};
        const uint8_t yellow[3] = {250, 210, 30}, blue[3] = {30, 70, 170};
        add_png(set, "banner-zorvex.png", banner_sprite("ZORVEX", red, white));
        add_png(set, "banner-rabbithill.png", banner_sprite("RABBIT HILL MX", black, yellow));
        add_png(set, "banner-race.png", banner_sprite("RACE FUEL", blue, white));
        add_png(set, "banner-tyres.png", banner_sprite("KNOBBY TYRES", yellow, black));
        add_png(set, "banner-arena.png", banner_sprite("ARENA CROSS", black, white));
        add_png(set, "banner-dunes.png", banner_sprite("SAND DUNES MX", blue, yellow));
    }
    {
        const uint8_t green[3] = {30, 170, 60}, yellow[3] = {250, 210, 30}, white[3] = {245, 245, 245};
        const uint8_t black[3] = {20, 20, 24}, red[3] = {200, 30, 30};
        add_png(set, "flagger-idle.png", flagger_sprite(yellow, false));
        add_png(set, "flagger-yellow.png", flagger_sprite(yellow, true));
        // The starter's board: blank while riders line up, the 30-second card,
        // turned sideways, the drop, and lowered once the gate has fallen.
        add_png(set, "startboard-blank.png", board_sprite("", white, black, false));
        add_png(set, "startboard-30.png", board_sprite("30", white, black, false));
        add_png(set, "startboard-side.png", board_sprite("", white, black, true));
        add_png(set, "startboard-drop.png", board_sprite("GO", green, white, false));
        add_png(set, "startboard-down.png", board_sprite("", black, black, true));
        add_png(set, "lapboard-laps.png", board_sprite("LAPS", white, black, false));
        add_png(set, "lapboard-2.png", board_sprite("2", white, red, false));
        add_png(set, "lapboard-1.png", board_sprite("1", white, black, false));
        add_png(set, "lapboard-finish.png", checkered_board());
    }
    add_png(set, "finishline.png", finish_line_decal());
    {
        Picture line = make_picture(64, 8, 4);
        const uint8_t white[4] = {245, 245, 245, 220};
        fill_rect(&line, 0, 0, 64, 8, white);
        add_png(set, "startline.png", line);
    }
    add_png(set, "arrow.png", arrow_decal());
    add_png(set, "roost.png", roost_sprite());
    add_png(set, "flare-glow.png", flare_sprite(0));
    add_png(set, "flare-ring.png", flare_sprite(1));
    add_png(set, "flare-disc.png", flare_sprite(2));
}
