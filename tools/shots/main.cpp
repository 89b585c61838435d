// zorvex-shots: renders the data set's bikes, riders and title screen with
// the game's own OpenGL renderer into PNG files, offscreen, so the looks
// can be judged.
//
// usage: zorvex-shots [--data DIR] [--size WxH] [--bike NAME]... OUT_DIR
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/image.h"
#include "data/model.h"
#include "data/search_path.h"
#include "platform/log.h"
#include "platform/message_log.h"
#include "platform/window.h"
#include "render/bike_textures.h"
#include "render/font.h"
#include "render/frame.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render/texture.h"
#include "shots.h"
#include "sim/bike_look.h"
#include "sim/bike_models.h"

namespace {

const char *const default_bikes[] = {"crf450(2013)", "kx125", "yz250(2012)", "rs50cr"};
const char *const plate_number = "7";

struct Options {
    std::string data_dir;
    std::string out_dir;
    int width = 800, height = 600;
    std::vector<std::string> bikes;
};

// The file-name form of a bike's name: "crf450(2013)" gives "crf450-2013".
std::string file_stem(const char *bike_name)
{
    std::string stem;
    for (const char *c = bike_name; *c; c++) {
        if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_')
            stem += *c;
        else if (*c == '(' || *c == ' ')
            stem += '-';
    }
    return stem.empty() ? "bike" : stem;
}

void shoot_bikes(Shots *shots, const std::vector<const BikeModel *> &models)
{
    const float origin[3] = {0, 0, 0};
    for (const BikeModel *m : models) {
        BikeLook look;
        load_bike_look(&look, m, nullptr, plate_number);
        std::string stem = file_stem(m->name);
        Scene bike;
        bike.caption = std::string(m->name) + "  (" + m->class_name + ")";
        add_bike(&bike, m, look, origin, false);
        shoot(shots, bike, 38, 14, ("bike-" + stem + ".png").c_str());
        shoot(shots, bike, 90, 4, ("bike-" + stem + "-side.png").c_str());
        Scene ridden;
        ridden.caption = bike.caption;
        add_bike(&ridden, m, look, origin, true);
        shoot(shots, ridden, 38, 14, ("bike-rider-" + stem + ".png").c_str());
        free_bike_look(&look);
    }
}

void shoot_riders(Shots *shots, const BikeModel *m)
{
    const float origin[3] = {0, 0, 0};
    BikeLook look;
    load_bike_look(&look, m, nullptr, plate_number);
    double joints[RIDER_JOINT_COUNT][3];
    rider_rest_joints(m, joints);

    Scene alone;
    add_rider(&alone, look, origin, joints);
    const double front_and_back[2][2] = {{35, 12}, {145, 18}};
    shoot_pair(shots, alone, front_and_back, "rider.png");

    double posed_joints[RIDER_JOINT_COUNT][3];
    leg_out_joints(m, posed_joints);
    Scene posed;
    add_bike(&posed, m, look, origin, true, posed_joints);
    // From the front, where the leg reaching out to the side shows best.
    shoot(shots, posed, 20, 14, "rider-posed.png");
    free_bike_look(&look);

    // The default gear and the alternatives in a row, each named below it.
    Scene row;
    std::vector<BikeLook> looks(4);
    for (int k = 0; k < 4; k++) {
        std::string suffix = k ? "-alt" + std::to_string(k) : "";
        std::string body = "@rider_body" + suffix + ".png", head = "@rider_head" + suffix + ".png";
        const char *skins[BIKE_SKIN_COUNT] = {nullptr, nullptr, body.c_str(), head.c_str()};
        load_bike_look(&looks[(size_t)k], m, skins, plate_number);
        const float at[3] = {(float)(k * 3.4), 0, 0};
        add_rider(&row, looks[(size_t)k], at, joints);
        row.labels.push_back({k ? suffix.substr(1) : "default", {at[0], at[1] - 3.2f, at[2]}});
    }
    shoot(shots, row, 22, 10, "riders-alt.png");
    for (BikeLook &l : looks)
        free_bike_look(&l);
}

void print_usage(FILE *out)
{
    fprintf(out,
            "usage: zorvex-shots [--data DIR] [--size WxH] [--bike NAME]... OUT_DIR\n"
            "Renders bikes, riders and the title screen of the data set in DIR (default: the\n"
            "game's data directory) into PNG files in OUT_DIR (default size 800x600);\n"
            "--bike picks the bike models (default: %s, %s, %s, %s).\n",
            default_bikes[0], default_bikes[1], default_bikes[2], default_bikes[3]);
}

// 0, or the exit status after a bad command line (usage printed).
int parse_options(int argc, char **argv, Options *options)
{
    for (int k = 1; k < argc; k++) {
        const char *arg = argv[k];
        if (!strcmp(arg, "--help") || !strcmp(arg, "-h")) {
            print_usage(stdout);
            exit(0);
        } else if (!strcmp(arg, "--data") && k + 1 < argc) {
            options->data_dir = argv[++k];
        } else if (!strcmp(arg, "--bike") && k + 1 < argc) {
            options->bikes.push_back(argv[++k]);
        } else if (!strcmp(arg, "--size") && k + 1 < argc) {
            int w = 0, h = 0;
            char rest = 0;
            if (sscanf(argv[++k], "%dx%d%c", &w, &h, &rest) != 2 || w < 64 || h < 64 || w > 4096 || h > 4096) {
                fprintf(stderr, "zorvex-shots: --size wants WxH from 64x64 to 4096x4096\n");
                return 2;
            }
            options->width = w, options->height = h;
        } else if ((arg[0] == '-' && arg[1]) || !options->out_dir.empty()) {
            print_usage(stderr);
            return 2;
        } else {
            options->out_dir = arg;
        }
    }
    if (options->out_dir.empty()) {
        print_usage(stderr);
        return 2;
    }
    return 0;
}

bool is_directory(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The messages the loaders posted (missing files), oldest first.
void print_posted_messages()
{
    for (int n = message_log.count - 1; n >= 0; n--)
        if (const char *line = message_log_line(n))
            fprintf(stderr, "%s\n", line);
}

}  // namespace

int main(int argc, char **argv)
{
    auto start = std::chrono::steady_clock::now();
    Options options;
    if (int status = parse_options(argc, argv, &options))
        return status;

    if (options.bikes.empty())
        options.bikes.assign(std::begin(default_bikes), std::end(default_bikes));
    std::vector<const BikeModel *> models;
    for (const std::string &name : options.bikes) {
        bool fell_back = false;
        const BikeModel *m = lookup_bike_model(name.c_str(), &fell_back);
        if (fell_back) {
            fprintf(stderr, "zorvex-shots: there is no bike model '%s'\n", name.c_str());
            return 2;
        }
        models.push_back(m);
    }
    if (!options.data_dir.empty()) {
        if (!is_directory(options.data_dir)) {
            fprintf(stderr, "zorvex-shots: no data directory '%s'\n", options.data_dir.c_str());
            return 1;
        }
        setenv("ZV_HOME", options.data_dir.c_str(), 1);
    }
    // A leading "@" would make the writer look the name up as a data name.
    std::string out = options.out_dir[0] == '@' ? "./" + options.out_dir : options.out_dir;
    make_directories((out + "/").c_str());
    if (!is_directory(out)) {
        fprintf(stderr, "zorvex-shots: can't create the directory '%s'\n", out.c_str());
        return 1;
    }
    // No display is needed unless the caller chose a video driver.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    Shots shots;
    shots.width = options.width, shots.height = options.height;
    shots.out_dir = out;
    shots.window = vark_open_gl_window("Zorvex shots", shots.width * SUPERSAMPLE, shots.height * SUPERSAMPLE, 32, 0,
                                       24, 8, 0);
    if (!shots.window) {
        fprintf(stderr, "zorvex-shots: can't open an OpenGL window: %s\n", vark_last_error());
        return 1;
    }
    // The renderer as the game's start-up sets it up.
    renderer_init();
    shaders_in_use = build_shaders();
    bool shaders_built = shaders_in_use;
    model_draw_init();
    bike_textures_init();
    frame_gl_setup(false);
    load_fonts();
    shots_gl_setup(&shots);

    if (!load_model(models[0]->frame_model)) {
        const char *dir = data_search_path(1);
        fprintf(stderr, "zorvex-shots: the data directory %s holds no bike models\n", dir ? dir : "(none)");
        shots.failed = true;
    } else {
        shoot_bikes(&shots, models);
        shoot_riders(&shots, models[0]);
        shoot_title(&shots);
        // A shot of each track's scene goes here once the terrain renderer exists.
    }
    for (const Model *model : model_cache())
        check_model(model);

    // GL objects go while their context still exists.
    bike_textures_shutdown();
    free_model_cache();
    destroy_shaders();
    model_draw_shutdown();
    free_textures();
    free_font(&main_font);
    free_font(&numbers_font);
    free_font(&condensed_numbers_font);
    vark_close_gl_window(shots.window);

    print_posted_messages();
    for (const std::string &path : shots.written)
        printf("wrote %s\n", path.c_str());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("renderer=%s shaders=%s seconds=%.2f\n", renderer_info.renderer.c_str(), shaders_built ? "yes" : "no",
           seconds);
    return shots.failed ? 1 : 0;
}
