// The model table, its class rules and curves, lookup with fallback, skins.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/message_log.h"
#include "sim/bike_models.h"

namespace {

const BikeModel *exact(const char *name)
{
    bool fell_back = true;
    const BikeModel *m = lookup_bike_model(name, &fell_back);
    EXPECT_FALSE(fell_back) << name;
    return m;
}

TEST(BikeModels, TableOrderAndClasses)
{
    EXPECT_STREQ(bike_models[0].name, "crf450(2013)");
    EXPECT_STREQ(bike_models[5].name, "350sxf(2013)");
    EXPECT_STREQ(bike_models[5].class_name, "250f");
    EXPECT_STREQ(bike_models[12].name, "250sx(2012)");
    EXPECT_STREQ(bike_models[31].name, "cr125");
    EXPECT_STREQ(bike_models[36].name, "crf250(2007)");
    EXPECT_STREQ(bike_models[44].name, "rs50yz");
    int counts[5] = {};
    const char *classes[5] = {"450f", "250f", "250", "125", "50"};
    for (const BikeModel &m : bike_models)
        for (int c = 0; c < 5; c++)
            if (strcmp(m.class_name, classes[c]) == 0)
                counts[c]++;
    EXPECT_EQ(counts[0], 11);
    EXPECT_EQ(counts[1], 20);
    EXPECT_EQ(counts[2], 5);
    EXPECT_EQ(counts[3], 5);
    EXPECT_EQ(counts[4], 4);
}

TEST(BikeModels, ClassRulesAndExceptions)
{
    const BikeModel *crf = exact("crf450(2013)");
    EXPECT_FLOAT_EQ(crf->frame_mass, 4.735f);
    EXPECT_FLOAT_EQ(crf->fork_hs_rebound, 32);
    EXPECT_FLOAT_EQ(crf->shock_hs_rebound, 650);
    EXPECT_FLOAT_EQ(crf->rider_mass, 5.46875f);
    EXPECT_FLOAT_EQ(crf->clutch_stiffness, 7500);
    EXPECT_STREQ(crf->frame_model, "@crf450v2013_frame.qm");
    EXPECT_STREQ(crf->bike_texture, "@crf450v2013.png");
    EXPECT_STREQ(crf->front_plate_model, "@crf450v2013_front_plate.qm");
    EXPECT_STREQ(crf->rider_shape, "@generic_rider.shp");

    const BikeModel *sxf350 = exact("350sxf(2013)");
    EXPECT_FLOAT_EQ(sxf350->frame_mass, 4.735f);
    EXPECT_FLOAT_EQ(sxf350->fork_hs_rebound, 32);
    EXPECT_FLOAT_EQ(sxf350->shock_spring_max, 5174.16f);
    EXPECT_FLOAT_EQ(sxf350->engine_inertia, 0.00683594f);
    EXPECT_FLOAT_EQ(sxf350->torque_closed[12], -5);  // the four-stroke closed curve

    EXPECT_FLOAT_EQ(exact("350sxf(2011)")->engine_inertia, 0.00683594f);
    const BikeModel *yz250f = exact("yz250f(2013)");
    EXPECT_FLOAT_EQ(yz250f->fork_hs_rebound, 30);
    EXPECT_FLOAT_EQ(yz250f->rider_mass, 4.6875f);
    EXPECT_FLOAT_EQ(exact("yz250(2012)")->rider_mass, 5.46875f);
    EXPECT_STREQ(exact("yz250f_se(2006)")->bike_texture, "@yz250f_se.png");
    EXPECT_STREQ(exact("yz250f_se(2006)")->frame_model, "@yz250f_frame.qm");
    const BikeModel *rs50 = exact("rs50yz");
    EXPECT_FLOAT_EQ(rs50->clutch_stiffness, 1200);
    EXPECT_FLOAT_EQ(rs50->clutch_damping, 1);
    EXPECT_STREQ(rs50->frame_model, "@yz125_frame.qm");
    EXPECT_FLOAT_EQ(exact("rs50rm")->redline_rpm, 13750);
    EXPECT_FLOAT_EQ(exact("rs50yz")->redline_rpm, 12750);
}

TEST(BikeModels, ClosedCurves)
{
    const float four[] = {2, 2, 1, 0, -1, -1, -2, -2, -3, -3};
    const float two[] = {2, 2, 1, 0, -1, -1.2f, -1.4f, -1.6f, -1.8f, -2, -2.25f, -2.5f, -2.75f, -3, -3.33f,
                         -3.67f, -4, -5, -6, -7, -8, -9, -10, -10, -11, -11};
    const BikeModel *crf = exact("crf450(2013)");
    const BikeModel *cr250 = exact("cr250(2007)");
    const BikeModel *rs50 = exact("rs50cr");
    for (int k = 0; k < 10; k++)
        EXPECT_FLOAT_EQ(crf->torque_closed[k], four[k]) << k;
    for (int k = 0; k < 26; k++) {
        EXPECT_FLOAT_EQ(cr250->torque_closed[k], two[k]) << k;
        EXPECT_FLOAT_EQ(rs50->torque_closed[k], two[k] < 0 ? two[k] / 2 : two[k]) << k;
    }
    EXPECT_FLOAT_EQ(crf->torque_closed[48], -23);
    EXPECT_FLOAT_EQ(crf->torque_closed[49], -23);
    EXPECT_FLOAT_EQ(cr250->torque_closed[49], -23);
    EXPECT_FLOAT_EQ(rs50->torque_closed[49], -11.5f);
}

// Every open curve: flat start, peak where the table says, first non-positive
// entry where it says, and the class tail.
struct Landmark {
    const char *name;
    float peak;
    int peak_rpm, zero_rpm;
};

TEST(BikeModels, OpenCurveLandmarks)
{
    const Landmark marks[] = {
        {"crf450(2013)", 31, 7000, 12000},     {"kx450f(2013)", 31.2f, 7000, 12000},
        {"350sxf(2013)", 27.1f, 8500, 13500},  {"450sxf(2011)", 35.4f, 7500, 12500},
        {"250sx(2012)", 32.5828f, 8000, 10500}, {"crf250(2013)", 18.65f, 9000, 14000},
        {"crf250(2008)", 19.1f, 9500, 13500},  {"cr125", 15.9664f, 10000, 13000},
        {"rm125", 16.5066f, 10500, 14000},     {"yz125", 15.8614f, 10000, 13000},
        {"rs50kx", 4.3123f, 9500, 13500},      {"yz250f_se(2006)", 18.3f, 8000, 13500},
    };
    for (const Landmark &lm : marks) {
        const BikeModel *m = exact(lm.name);
        int peak_k = 0;
        for (int k = 1; k < TORQUE_POINTS; k++)
            if (m->torque_open[k] > m->torque_open[peak_k])
                peak_k = k;
        EXPECT_EQ(peak_k * 500, lm.peak_rpm) << lm.name;
        EXPECT_FLOAT_EQ(m->torque_open[peak_k], lm.peak) << lm.name;
        int zero_k = peak_k;
        while (zero_k < TORQUE_POINTS && m->torque_open[zero_k] > 0)
            zero_k++;
        EXPECT_EQ(zero_k * 500, lm.zero_rpm) << lm.name;
        for (int k = 1; k < peak_k; k++)
            EXPECT_GE(m->torque_open[k], m->torque_open[k - 1] - 1.0f) << lm.name << " " << k;
    }
    const BikeModel *kx = exact("kx450f(2013)");
    EXPECT_FLOAT_EQ(kx->torque_open[4], 5);
    EXPECT_FLOAT_EQ(kx->torque_open[25], -10);
    EXPECT_FLOAT_EQ(kx->torque_open[49], -34);
    const BikeModel *crf250 = exact("crf250(2013)");
    EXPECT_FLOAT_EQ(crf250->torque_open[49], -23.5f);
    EXPECT_FLOAT_EQ(crf250->torque_open[29], -13.5f);
    const BikeModel *sx250 = exact("250sx(2012)");
    EXPECT_FLOAT_EQ(sx250->torque_open[3], 5);
    EXPECT_GT(sx250->torque_open[4], 5);
    const BikeModel *cr125 = exact("cr125");
    EXPECT_FLOAT_EQ(cr125->torque_open[27], 0);
    EXPECT_FLOAT_EQ(cr125->torque_open[28], -1);
    EXPECT_FLOAT_EQ(cr125->torque_open[49], -11);
    const BikeModel *rs50 = exact("rs50cr");
    EXPECT_FLOAT_EQ(rs50->torque_open[9], 1);
    EXPECT_FLOAT_EQ(rs50->torque_open[27], 0);
    EXPECT_FLOAT_EQ(rs50->torque_open[28], -0.5f);
    EXPECT_FLOAT_EQ(rs50->torque_open[49], -5.5f);
    const BikeModel *yz = exact("yz125");
    EXPECT_FLOAT_EQ(yz->torque_open[10], 11.5546f);
    EXPECT_FLOAT_EQ(yz->torque_open[25], 5.04203f);
}

TEST(BikeModels, FallbackNames)
{
    clear_message_log();
    const BikeModel *m = find_bike_model("yz125x");
    EXPECT_STREQ(m->name, "cr125");
    ASSERT_NE(message_log_line(0), nullptr);
    EXPECT_STREQ(message_log_line(0), "bike info for 'yz125x' not found using 'cr125' instead");
    m = find_bike_model("cr500");
    EXPECT_STREQ(m->name, "kx250f(2013)");
    EXPECT_STREQ(message_log_line(0), "bike info for 'cr500' not found using 'kx250f(2013)' instead");
    // Names are cut to 20 characters in the message.
    find_bike_model("a-very-long-model-name-indeed");
    EXPECT_STREQ(message_log_line(0), "bike info for 'a-very-long-model-na' not found using 'kx250f(2013)' instead");
    // An exact match posts nothing.
    clear_message_log();
    EXPECT_STREQ(find_bike_model("rs50yz")->name, "rs50yz");
    EXPECT_EQ(message_log_line(0), nullptr);
    EXPECT_STREQ(find_bike_model(nullptr)->name, "kx250f(2013)");
}

TEST(BikeModels, SkinVariants)
{
    const char *names[] = {"bikes/crf450v2013.png", "crf450v2013_red.png.scram", "crf450v2013_red_norm.png",
                           "crf450v2013_spec.png.scram", "crf450v2013_frame.qm", "kx450f.png", nullptr};
    SkinVariants v = list_skin_variants_in("crf450v2013", names);
    ASSERT_EQ(v.display_names.size(), 3u);
    EXPECT_EQ(v.display_names[0], "default");
    EXPECT_EQ(v.data_names[0], "");
    EXPECT_EQ(v.display_names[1], "");
    EXPECT_EQ(v.data_names[1], "@bikes/crf450v2013.png");
    EXPECT_EQ(v.display_names[2], "_red");
    EXPECT_EQ(v.data_names[2], "@crf450v2013_red.png");
    EXPECT_EQ(list_skin_variants_in("zzz", names).display_names.size(), 1u);
    EXPECT_EQ(list_skin_variants_in("crf", nullptr).display_names.size(), 1u);
}

}  // namespace
