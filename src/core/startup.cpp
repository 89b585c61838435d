// The start-up sequence, the hand-over to the main loop and the shutdown sequence.
#include "core/startup.h"

#include <cstring>

#include "core/data_digest.h"
#include "core/game_lists.h"
#include "core/game_output.h"
#include "core/main_loop.h"
#include "data/file_index.h"
#include "data/render_settings.h"
#include "data/search_path.h"
#include "data/sha1.h"
#include "data/stream.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/message_log.h"
#include "platform/window.h"

LaunchSettings launch_settings;
GraphicsItems graphics_items;
uint8_t build_mark[20] = {};
int fixed_file_flag = 0;
int track_choice = 0;
const char *start_track = nullptr;
const char *game_data_digest = data_set_digest;

namespace {

// Changes with the program and with the data set it was built for.
const char build_identity[] = "Zorvex build 1 (" __VERSION__ ")";

void compute_build_mark()
{
    Sha1 sha;
    sha1_init(&sha);
    sha1_update(&sha, build_identity, strlen(build_identity));
    sha1_update(&sha, data_set_digest, strlen(data_set_digest));
    sha1_final(&sha, build_mark);
}

bool cpu_has_mmx()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

void log_list(const std::vector<std::string> &keys, const std::vector<std::string> &names)
{
    if (debug_level < 1)
        return;
    for (size_t i = 0; i < keys.size(); i++)
        vark_log("%s -> %s\n", keys[i].c_str(), names[i].c_str());
}

} // namespace

void compute_fixed_file_digest(char hex[41])
{
    Sha1 sha;
    sha1_init(&sha);
    for (const char *file : fixed_shape_files) {
        std::string name = std::string("@") + file;
        DataStream *stream = stream_open(name.c_str(), "r");
        if (!stream)
            continue;
        uint8_t buffer[4096];
        size_t count;
        while ((count = stream_read(stream, buffer, sizeof buffer)) > 0)
            sha1_update(&sha, buffer, count);
        stream_close(stream);
    }
    uint8_t digest[20];
    sha1_final(&sha, digest);
    sha1_hex(digest, hex);
}

int start_up(int argc, char **argv, FILE *err)
{
    // 1. Build mark and message log; standard output needs no binary mode here.
    compute_build_mark();
    clear_message_log();

    // 2. The data set this build was made for.
    if (!check_game_data(game_data_digest)) {
        vark_message_box("Problem starting Zorvex", "Can't find game data\n");
        return 0;
    }

    // 3. Whether the collision shapes are the shipped ones.
    char fixed_hex[41];
    compute_fixed_file_digest(fixed_hex);
    fixed_file_flag = strcmp(fixed_hex, fixed_file_digest) == 0;

    // 4. Video modes.
    video_modes = build_video_modes(vark_display_modes());
    render_settings.mmx = cpu_has_mmx();
    if (!render_settings.mmx)
        vark_log("This CPU does not have MMX!\n");

    // 5. The compatibility graphics preset; the "Stability" rule and the rider
    //    and bike graphic lists come with the bike setup and bike definitions.
    apply_compatibility_preset(&graphics_items);
    // 6. The configuration file is read here.
    // 7. The 160 bike slots are emptied here when the race exists.

    // 8. Derived rendering settings.
    compute_render_settings(graphics_items, &render_settings);

    // 9. Command line.
    int status = parse_command_line(argc, argv, &launch_settings, &render_settings, err);
    if (status == COMMAND_LINE_OPEN_HOME) {
        open_home_directory();
        return 0;
    }
    if (status != COMMAND_LINE_CONTINUE)
        return status;
    debug_level = launch_settings.debug_level;

    // 10. Tracks.
    build_track_list(data_file_names(), read_track_desc, &track_list);
    log_list(track_list.directories, track_list.names);
    if (track_list.directories.empty()) {
        fprintf(err, "No tracks found\n");
        return 1;
    }

    // 11. Demos.
    build_demo_list(data_file_names(), &demo_list);
    log_list(demo_list.files, demo_list.names);

    // 12. The points series list is read here.

    // 13. The start track: "--track", else the configured track.
    start_track = launch_settings.track ? launch_settings.track : "rabbithill";
    int found = find_track(track_list, start_track);
    if (found >= 0)
        track_choice = found;
    return STARTUP_CONTINUE;
}

int shut_down()
{
    // 1. Leave the server; 2. save the standings and learned riding lines;
    // 3. free the collision space, bikes and voices; 4. close the recorded demo,
    // free the track and the dynamics world -- each as its subsystem arrives.
    // 5. Cameras and sound come with their subsystems; bindings, window and textures:
    close_game_output();
    // 6. The configuration file is written here.
    vark_log(nullptr);
    // Lets a sound device or a server socket settle before the process goes.
    vark_sleep(1, 0);
    return 0;
}

int game_main(int argc, char **argv)
{
    int status = start_up(argc, argv, stderr);
    if (status != STARTUP_CONTINUE) {
        vark_log(nullptr);
        return status;
    }
    switch (open_game_output()) {
    case GAME_OUTPUT_NO_WINDOW:
        vark_log(nullptr);
        return 1;
    case GAME_OUTPUT_SHUT_DOWN:
        return shut_down();
    case GAME_OUTPUT_READY:
        break;
    }

    // 20. Create the dynamics world and the collision space.
    // 21. Read the demo file given on the command line; its track becomes the start track.
    // 22. Line-up and the first race_reset on the start track.
    // 23. First menu page: the main menu, or none when connecting to a server.
    loop_state.menu_page = launch_settings.server ? -1 : MENU_PAGE_MAIN;
    loop_state.lock_rate = launch_settings.lock_fps;
    loop_state.warp = launch_settings.warp != 0;
    loop_state.editor_enabled = false;  // no track editor in this build: "--editor" has no effect
    LoopPlatform platform = game_loop_platform(game_output.window);
    LoopHooks hooks = game_loop_hooks();
    run_main_loop(&loop_state, &platform, &hooks);
    return shut_down();
}
