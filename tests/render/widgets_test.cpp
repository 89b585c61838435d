// Widget rectangles and values without GL; boxes and widgets drawn in a
// page overlay and checked in the read-back pixels.
#include "render/widgets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "render/text.h"
#include "text_test_util.h"

TEST(WidgetRect, FromPositionAndScale)
{
    struct Case {
        float position[2], scale[2], width;
        WidgetRect rect;
    } cases[] = {
        {{2, -3}, {40, -40}, 5, {80, 80, 280, 120}},
        {{0.5f, -1}, {32, -32}, 2.2f, {16, 0, 86, 32}},
        {{1.25f, -2.5f}, {10, -10}, 1, {12, 15, 22, 25}},  // conversions truncate
    };
    for (const Case &c : cases) {
        WidgetRect r = widget_rect(c.position, c.scale, c.width);
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top);
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom);
        EXPECT_LT(r.top, r.bottom);
    }
}

TEST(NumberItem, BarFractionIsLimited)
{
    struct Case {
        double value, minimum, maximum, fraction;
    } cases[] = {
        {5, 0, 10, 0.5},  {-3, 0, 10, 0}, {12, 0, 10, 1},    {0.33, 0.33, 0.5, 0},
        {-1, -2, 2, 0.25}, {3, 3, 3, 1},   {2, 3, 3, 0},      {NAN, 0, 10, 0},
    };
    for (const Case &c : cases) {
        NumberItem item = {"x", c.value, 1, c.minimum, c.maximum, {}, 0, 0};
        EXPECT_DOUBLE_EQ(number_fraction(&item), c.fraction) << c.value << " in " << c.minimum << ".." << c.maximum;
    }
}

// --- drawing -------------------------------------------------------------------------------

namespace {

// A page overlay of 7.5 lines in the 320 x 240 window (exactly 4:3): one
// unit is 32 pixels and the page origin is the window's top-left corner.
class WidgetDrawing : public testing::Test {
protected:
    std::optional<MainFontForTest> font;
    float origin[2] = {}, scale[2] = {};
    float position[2] = {};

    void SetUp() override
    {
        ASSERT_NE(text_test_window(), nullptr) << vark_last_error();
        font.emplace();
        begin_text_test_frame();
        begin_page_overlay(7.5f, 0, 0, origin, scale);
        position[0] = origin[0];
        position[1] = origin[1];
    }
    void TearDown() override
    {
        end_overlay();
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
    // Moves the origin to the widget's lower-left corner at (x, y).
    void move_to(float x, float y) { overlay_translate(position, x - position[0], y - position[1]); }
};

int level(float box_alpha_times_grey)
{
    return (int)std::lround(box_alpha_times_grey * 255);
}

}  // namespace

TEST_F(WidgetDrawing, PageScaleAndFillRect)
{
    EXPECT_FLOAT_EQ(origin[0], 0);
    EXPECT_FLOAT_EQ(origin[1], 0);
    EXPECT_FLOAT_EQ(scale[0], 32);
    EXPECT_FLOAT_EQ(scale[1], -32);
    move_to(1, -2);
    fill_rect(1, 0, 0, 0.5f, 0, 0, 2, 1);  // pixels 32..96 across, rows 32..64
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_NEAR(read_pixel(64, 48).r, 128, 1);
    EXPECT_EQ(read_pixel(64, 48).g, 0);
    EXPECT_EQ(read_pixel(30, 48).r, 0);
    EXPECT_EQ(read_pixel(98, 48).r, 0);
    EXPECT_EQ(read_pixel(64, 30).r, 0);
    EXPECT_EQ(read_pixel(64, 66).r, 0);
}

TEST_F(WidgetDrawing, ButtonBoxFrameTextAndRectangle)
{
    ButtonItem button = {"AB", {}};
    move_to(1, -2);
    draw_button(&button, true, position, scale, 4, 1);
    EXPECT_EQ(button.rect.left, 32);
    EXPECT_EQ(button.rect.top, 32);
    EXPECT_EQ(button.rect.right, 160);
    EXPECT_EQ(button.rect.bottom, 64);
    // Inside: the focused box colour once; the frame (4 pixels) twice.
    const float a = widget_focused.box[3], grey = widget_focused.box[0];
    int inside = level(grey * a);
    EXPECT_NEAR(read_pixel(48, 48).r, inside, 2);
    EXPECT_NEAR(read_pixel(48, 30).r, level(grey * a + (1 - a) * inside / 255.0f), 2);
    EXPECT_NEAR(read_pixel(161, 48).r, level(grey * a + (1 - a) * inside / 255.0f), 2);
    EXPECT_EQ(read_pixel(48, 26).r, 0);  // beyond the frame
    // Right-aligned black text: "AB" at 2..4 units of the box.
    EXPECT_EQ(read_pixel(112, 48).r, 0);
    EXPECT_EQ(read_pixel(144, 48).r, 0);
}

TEST_F(WidgetDrawing, ListRowColours)
{
    struct Case {
        bool focused;
        int flags;
        const WidgetStyle *style;
    } cases[] = {
        {true, LIST_ROW_CURRENT, &widget_focused},
        {false, LIST_ROW_CURRENT, &widget_row_current},
        {false, 0, &widget_row_idle},
    };
    int row = 0;
    for (const Case &c : cases) {
        ButtonItem item = {"", {}};
        move_to(0.5f, -2.0f - 2 * row);
        draw_list_row(&item, c.focused, position, scale, 6, 0, c.flags);
        EXPECT_EQ(item.rect.top, 32 + 64 * row);
        int y = 48 + 64 * row;
        EXPECT_NEAR(read_pixel(100, y).r, level(c.style->box[0] * c.style->box[3]), 2) << row;
        row++;
    }
}

TEST_F(WidgetDrawing, ChoiceItemShowsTheCurrentOption)
{
    static const char *const options[] = {"A", "B"};
    struct Case {
        int index;
        bool focused;
        int option_pixel;  // red at the option text's place, -1: the box colour
    } cases[] = {
        {1, true, 0},
        {1, false, -2},  // light text over the box
        {7, false, -1},  // out of range: no text
        {-1, true, -1},
    };
    int row = 0;
    for (const Case &c : cases) {
        ChoiceItem item = {"A", options, 2, c.index, {}};
        move_to(0, -1.5f - 1.5f * row);
        draw_choice_item(&item, c.focused, position, scale, 6, 0, 0.5f);
        EXPECT_EQ(item.rect.right, 192);
        // The option box starts at 3.125 units (100 pixels); its text's
        // middle lies at 116 pixels, half a line up from the bottom.
        int y = (int)((1.5f + 1.5f * row) * 32) - 16;
        int pixel = read_pixel(116, y).r;
        const WidgetStyle &style = c.focused ? widget_focused : widget_idle;
        if (c.option_pixel == 0)
            EXPECT_EQ(pixel, 0) << row;
        else if (c.option_pixel == -2)
            EXPECT_GT(pixel, 150) << row;
        else
            EXPECT_NEAR(pixel, level(style.box[0] * style.box[3]), 2) << row;
        row++;
    }
}

TEST_F(WidgetDrawing, NumberItemBarAndTrack)
{
    struct Case {
        double value;
        int left_of_middle, right_of_middle;  // 1: bar colour there, 0: track colour
    } cases[] = {
        {-5, 0, 0},   // below the minimum: empty
        {5, 1, 0},
        {25, 1, 1},   // above the maximum: full
    };
    const float track_inside = widget_track_idle.box[0] * widget_track_idle.box[3];
    const float bar_a = widget_track_idle.text[3];
    const int track_level = level(track_inside);
    const int bar_level = level(widget_track_idle.text[0] * bar_a + (1 - bar_a) * track_inside);
    int row = 0;
    for (const Case &c : cases) {
        NumberItem item = {"A", c.value, 1, 0, 10, {}, 0, 0};
        move_to(0, -2.0f - 2 * row);
        draw_number_item(&item, false, position, scale, 7, 0, 0.5f);
        // The track runs from 3.625 to 7 units.
        EXPECT_EQ(item.track_left, 116);
        EXPECT_EQ(item.track_right, 224);
        EXPECT_EQ(item.rect.left, 0);
        EXPECT_EQ(item.rect.right, 224);
        EXPECT_EQ(item.rect.top, 32 + 64 * row);
        int y = 48 + 64 * row;
        EXPECT_NEAR(read_pixel(160, y).r, c.left_of_middle ? bar_level : track_level, 2) << c.value;
        EXPECT_NEAR(read_pixel(180, y).r, c.right_of_middle ? bar_level : track_level, 2) << c.value;
        row++;
    }
}

TEST_F(WidgetDrawing, TextItemCursor)
{
    struct Case {
        int cursor;
        bool focused;
        bool cursor_shown;
    } cases[] = {
        {2, true, true},    // at the end: a space wide, after "AB"
        {2, false, false},  // only while focused
        {5, true, false},   // beyond the text: nothing
    };
    int row = 0;
    for (const Case &c : cases) {
        TextItem item = {"A", 63, "AB", c.cursor, false, {}};
        move_to(0, -2.0f - 2 * row);
        draw_text_item(&item, c.focused, position, scale, 6, 0, 0.5f);
        EXPECT_EQ(item.rect.right, 192);
        // The value box starts at 3.125 units; the cursor at 5.125..5.625.
        int y = 48 + 64 * row;
        int pixel = read_pixel(172, y).r;
        const WidgetStyle &style = c.focused ? widget_focused : widget_idle;
        if (c.cursor_shown)
            EXPECT_NEAR(pixel, 128, 1) << row;
        else
            EXPECT_NEAR(pixel, level(style.box[0] * style.box[3]), 2) << row;
        // The text lies over the box: "A" at 100..132 pixels.
        if (c.focused)
            EXPECT_EQ(read_pixel(116, y).r, 0) << row;
        else
            EXPECT_GT(read_pixel(116, y).r, 150) << row;
        row++;
    }
}

TEST_F(WidgetDrawing, TextBoxIsAtLeastTheTextWide)
{
    move_to(0.5f, -2);
    const float colour[4] = {1, 1, 1, 1}, box[4] = {1, 0, 0, 1};
    // "CC" is 4 units: wider than the minimum of 1.
    draw_text_box("CC", colour, box, 1, 0);
    EXPECT_EQ(read_pixel(16 + 4 * 32 + 2, 48).r, 255);  // the right frame at 4..4.125 units
    EXPECT_EQ(read_pixel(16 + 4 * 32 + 2, 48).g, 0);
    EXPECT_EQ(read_pixel(16 + 4 * 32 + 6, 48).r, 0);
    EXPECT_EQ(read_pixel(16 + 64, 48).g, 255);           // white text
}
