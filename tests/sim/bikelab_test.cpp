// The standard rides of zorvex-bikelab against the sanity bands.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, double> ride(const std::string &bike)
{
    std::string command = std::string(ZV_BUILD_DIR) + "/zorvex-bikelab --bike '" + bike + "'";
    std::map<std::string, double> figures;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return figures;
    char line[256];
    while (fgets(line, sizeof line, pipe)) {
        std::string s = line;
        size_t eq = s.find('=');
        if (eq == std::string::npos)
            continue;
        figures[s.substr(0, eq)] = atof(s.c_str() + eq + 1);
    }
    EXPECT_EQ(pclose(pipe), 0);
    return figures;
}

TEST(Bikelab, Crf450WithinBands)
{
    auto f = ride("crf450(2013)");
    ASSERT_TRUE(f.count("zero_to_60_mph_s"));
    EXPECT_GE(f["zero_to_60_mph_s"], 3);
    EXPECT_LE(f["zero_to_60_mph_s"], 6);
    EXPECT_NEAR(f["top_speed_mph"], f["predicted_top_speed_mph"], 0.1 * f["predicted_top_speed_mph"]);
    EXPECT_GT(f["brake_60_to_0_s"], 0);
    EXPECT_LT(f["brake_60_to_0_s"], 7);
    EXPECT_GT(f["brake_60_to_0_ft"], 0);
    EXPECT_GT(f["turn_radius_ft_at_30mph"], 0);
    EXPECT_NEAR(f["turn_speed_mph"], 30, 3);
    EXPECT_EQ(f["crashed"], 0);
}

TEST(Bikelab, SmallerBikesRideWithoutCrashing)
{
    for (const char *bike : {"yz250f(2013)", "rs50yz"}) {
        auto f = ride(bike);
        ASSERT_TRUE(f.count("top_speed_mph")) << bike;
        EXPECT_NEAR(f["top_speed_mph"], f["predicted_top_speed_mph"], 0.1 * f["predicted_top_speed_mph"]) << bike;
        EXPECT_GT(f["turn_radius_ft_at_30mph"], 0) << bike;
        EXPECT_EQ(f["crashed"], 0) << bike;
    }
}

}  // namespace
