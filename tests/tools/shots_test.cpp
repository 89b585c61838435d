// zorvex-shots run on the built data set: every picture written at the size
// asked for and showing its subject, and the command-line errors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "data/image.h"
#include "test_util.h"

namespace {

struct ToolRun {
    int status = -1;  // exit code, or -1 when the program did not exit normally
    std::string out, err;
};

ToolRun run_shots(const std::vector<std::string> &args)
{
    TempDir scratch;
    std::string out_path = scratch.file("stdout"), err_path = scratch.file("stderr");
    std::string home = scratch.file("home");
    pid_t child = fork();
    if (child == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        // Nothing from the user's home directory or environment may leak in.
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        unsetenv("ZV_HOME");
        unsetenv("VARK_LOGFILE");
        unsetenv("VARK_OPTIONS");
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // Closing the window unloads the GL driver, whose leftovers then
        // look leaked with no names to suppress them by.
        setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
        std::string program = ZV_SHOTS_PROGRAM;
        std::vector<char *> argv = {program.data()};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ToolRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = read_file_bytes(out_path);
    run.err = read_file_bytes(err_path);
    return run;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool load_picture(const std::string &path, Picture *picture)
{
    DecodedImage image;
    if (!read_png_image(path.c_str(), &image))
        return false;
    picture->width = image.width;
    picture->height = image.height;
    picture->rgb.clear();
    for (int i = 0; i < image.width * image.height; i++)
        for (int c = 0; c < 3; c++)
            picture->rgb.push_back(image.pixels[(size_t)i * image.channels + c]);
    free_decoded_image(&image);
    return true;
}

// A colour rounded to 16 levels a channel.
int colour_bin(const Picture &p, int x, int y)
{
    const uint8_t *c = &p.rgb[((size_t)y * p.width + x) * 3];
    return (c[0] >> 4) << 8 | (c[1] >> 4) << 4 | c[2] >> 4;
}

int distinct_colours(const Picture &p)
{
    std::set<int> bins;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            bins.insert(colour_bin(p, x, y));
    return (int)bins.size();
}

struct Subject {
    double share = 0;  // of the middle part
    double lit = 0;    // share of the subject that is not dark
};

// What of the middle of the columns x0..x1 has colours that appear nowhere
// on that part's edges. The sky and the ground run out to the edges, so
// that is the subject in front of them; a blank render leaves next to
// nothing, and unlit or untextured models leave it dark.
Subject find_subject(const Picture &p, int x0, int x1)
{
    std::set<int> edge;
    for (int x = x0; x < x1; x++)
        edge.insert(colour_bin(p, x, 0)), edge.insert(colour_bin(p, x, p.height - 1));
    for (int y = 0; y < p.height; y++)
        edge.insert(colour_bin(p, x0, y)), edge.insert(colour_bin(p, x1 - 1, y));
    int width = x1 - x0, inside = 0, lit = 0, total = 0;
    for (int y = p.height / 3; y < p.height * 2 / 3; y++)
        for (int x = x0 + width / 3; x < x0 + width * 2 / 3; x++, total++) {
            if (edge.count(colour_bin(p, x, y)))
                continue;
            inside++;
            const uint8_t *c = &p.rgb[((size_t)y * p.width + x) * 3];
            lit += std::max({c[0], c[1], c[2]}) >= 100;
        }
    Subject s;
    s.share = total ? (double)inside / total : 0;
    s.lit = inside ? (double)lit / inside : 0;
    return s;
}

// The shots of the default bikes, the rider and the title, made once.
class Shots : public ::testing::Test {
protected:
    static constexpr int width = 320, height = 240;
    static TempDir *out;
    static ToolRun *run;
    static void SetUpTestSuite()
    {
        out = new TempDir();
        run = new ToolRun(run_shots({"--data", ZV_BUILD_DIR, "--size", "320x240", out->path + "/shots"}));
    }
    static void TearDownTestSuite()
    {
        delete out;
        delete run;
        out = nullptr;
        run = nullptr;
    }
    static std::string shot(const std::string &name) { return out->path + "/shots/" + name; }
};
TempDir *Shots::out = nullptr;
ToolRun *Shots::run = nullptr;

TEST_F(Shots, EveryPictureShowsItsSubjectAtTheSizeAskedFor)
{
    ASSERT_EQ(run->status, 0) << run->err;
    std::vector<std::string> scenes = {"rider-posed.png", "riders-alt.png"};
    for (const char *stem : {"crf450-2013", "kx125", "yz250-2012", "rs50cr"})
        for (const char *kind : {"bike-%s.png", "bike-%s-side.png", "bike-rider-%s.png"}) {
            char name[64];
            snprintf(name, sizeof name, kind, stem);
            scenes.push_back(name);
        }
    for (const std::string &name : scenes) {
        Picture p;
        ASSERT_TRUE(load_picture(shot(name), &p)) << name;
        EXPECT_EQ(p.width, width) << name;
        EXPECT_EQ(p.height, height) << name;
        EXPECT_GT(distinct_colours(p), 100) << name;
        Subject subject = find_subject(p, 0, p.width);
        EXPECT_GT(subject.share, 0.3) << name;
        EXPECT_GT(subject.lit, 0.15) << name;
        EXPECT_NE(run->out.find(name), std::string::npos) << name << " is not reported as written";
    }
}

TEST_F(Shots, RiderSeenFromFrontAndBackSideBySide)
{
    ASSERT_EQ(run->status, 0) << run->err;
    Picture p;
    ASSERT_TRUE(load_picture(shot("rider.png"), &p));
    EXPECT_EQ(p.width, width);
    EXPECT_EQ(p.height, height);
    for (int half = 0; half < 2; half++) {
        Subject subject = find_subject(p, half * p.width / 2, (half + 1) * p.width / 2);
        EXPECT_GT(subject.share, 0.3) << "half " << half;
        EXPECT_GT(subject.lit, 0.15) << "half " << half;
    }
}

TEST_F(Shots, TitleImageFillsTheWindowUpright)
{
    ASSERT_EQ(run->status, 0) << run->err;
    Picture p;
    ASSERT_TRUE(load_picture(shot("title.png"), &p));
    EXPECT_EQ(p.width, width);
    EXPECT_EQ(p.height, height);
    EXPECT_GT(distinct_colours(p), 50);
    // The name is drawn in amber above the hill, so its letters sit in the upper half.
    long amber = 0, amber_y = 0;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) {
            const uint8_t *c = &p.rgb[((size_t)y * p.width + x) * 3];
            if (c[0] > 200 && c[1] > 140 && c[1] < 230 && c[2] < 100)
                amber++, amber_y += y;
        }
    ASSERT_GT(amber, (long)p.width * p.height / 50);
    EXPECT_LT(amber_y / amber, p.height / 2);
    // No black rim: the image reaches every edge.
    for (int corner = 0; corner < 4; corner++) {
        int x = corner & 1 ? p.width - 1 : 0, y = corner & 2 ? p.height - 1 : 0;
        const uint8_t *c = &p.rgb[((size_t)y * p.width + x) * 3];
        EXPECT_GT(c[0] + c[1] + c[2], 60) << "corner " << corner;
    }
}

TEST(ShotsCommandLine, RefusesWhatItCannotDo)
{
    TempDir scratch;
    std::string out = scratch.file("out"), empty_data = scratch.file("empty");
    scratch.write("empty/readme", "no data here");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *message;
    } cases[] = {
        {{}, 2, "usage: zorvex-shots"},
        {{"--size", "320", out}, 2, "--size wants WxH"},
        {{"--size", "10x10", out}, 2, "--size wants WxH"},
        {{"--size", "320x240x2", out}, 2, "--size wants WxH"},
        {{"--bike", "no such bike", out}, 2, "no bike model 'no such bike'"},
        {{"--frobnicate", out}, 2, "usage: zorvex-shots"},
        {{out, out + "2"}, 2, "usage: zorvex-shots"},
        {{"--data", scratch.file("missing"), out}, 1, "no data directory"},
        {{"--data", empty_data, "--size", "64x64", out}, 1, "holds no bike models"},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &arg : c.args)
            line += " " + arg;
        ToolRun run = run_shots(c.args);
        EXPECT_EQ(run.status, c.status) << line << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << line << "\n" << run.err;
        EXPECT_FALSE(file_exists(out + "/title.png")) << line;
    }
}

}  // namespace
