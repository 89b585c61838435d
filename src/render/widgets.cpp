// Framed boxes and the menu widgets: labels, buttons, list rows, choice,
// number and text items.
#include "render/widgets.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "render/font.h"
#include "render/text.h"

const WidgetStyle widget_idle = {{0.5f, 0.5f, 0.5f, 0.25f}, {0.9f, 0.9f, 0.9f, 0.8f}};
const WidgetStyle widget_focused = {{0.9f, 0.9f, 0.9f, 0.8f}, {0, 0, 0, 1}};
const WidgetStyle widget_row_idle = {{0.3f, 0.3f, 0.3f, 0.25f}, {0.9f, 0.9f, 0.9f, 0.8f}};
const WidgetStyle widget_row_current = {{0.2f, 0.2f, 0.2f, 0.25f}, {0.9f, 0.9f, 0.9f, 0.8f}};
const WidgetStyle widget_label = {{0, 0, 0, 0.25f}, {0.9f, 0.9f, 0.9f, 1}};
const WidgetStyle widget_track_idle = {{0.5f, 0.5f, 0.5f, 0.25f}, {0.9f, 0.9f, 0.9f, 0.8f}};
const WidgetStyle widget_track_focused = {{0.9f, 0.9f, 0.9f, 0.8f}, {0, 0, 0, 1}};
const float widget_cursor_colour[3] = {0.5f, 0.5f, 0.5f};

void fill_rect(float r, float g, float b, float a, float x0, float y0, float x1, float y1)
{
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glEnd();
    glDisable(GL_BLEND);
}

// Frame and fill of a box whose inside spans x0..x1 and 0..1. The frame is
// covered twice and so shows stronger than the inside.
static void draw_box(const float c[4], float x0, float x1)
{
    const float f = WIDGET_FRAME;
    fill_rect(c[0], c[1], c[2], c[3], x0 - f, 1 + f, x1 + f, 1);
    fill_rect(c[0], c[1], c[2], c[3], x0 - f, 0, x1 + f, -f);
    fill_rect(c[0], c[1], c[2], c[3], x0 - f, 1, x0, 0);
    fill_rect(c[0], c[1], c[2], c[3], x1, 1, x1 + f, 0);
    fill_rect(c[0], c[1], c[2], c[3], x0 - f, 1 + f, x1 + f, -f);
}

static void draw_text_at(const float colour[4], float dx, const char *text)
{
    glPushMatrix();
    glTranslatef(dx, 0, 0);
    draw_text_colour(colour[0], colour[1], colour[2], colour[3], text);
    glPopMatrix();
}

void draw_text_box(const char *text, const float text_colour[4], const float box_colour[4], float minimum_width,
                   float alignment)
{
    if (!text)
        text = "";
    float width = text_width(text);
    float inside = minimum_width > width ? minimum_width : width;
    draw_box(box_colour, 0, inside);
    draw_text_at(text_colour, (inside - width) * alignment, text);
}

WidgetRect widget_rect(const float position[2], const float scale[2], float width)
{
    WidgetRect rect;
    rect.left = (int)(position[0] * scale[0]);
    rect.top = (int)((position[1] + 1) * scale[1]);
    rect.right = (int)((position[0] + width) * scale[0]);
    rect.bottom = (int)(position[1] * scale[1]);
    return rect;
}

double number_fraction(const NumberItem *item)
{
    double range = item->maximum - item->minimum;
    // An empty range is full from its one value on (also keeps NaN out).
    if (!(range > 0))
        return item->value >= item->maximum ? 1 : 0;
    double fraction = (item->value - item->minimum) / range;
    return !(fraction > 0) ? 0 : fraction > 1 ? 1 : fraction;
}

void draw_label(ButtonItem *item, const float position[2], const float scale[2], float width, float alignment,
                const float text_colour[4], const float box_colour[4])
{
    item->rect = widget_rect(position, scale, width);
    draw_text_box(item->label, text_colour, box_colour, width, alignment);
}

void draw_button(ButtonItem *item, bool focused, const float position[2], const float scale[2], float width,
                 float alignment)
{
    const WidgetStyle &style = focused ? widget_focused : widget_idle;
    draw_label(item, position, scale, width, alignment, style.text, style.box);
}

void draw_list_row(ButtonItem *item, bool focused, const float position[2], const float scale[2], float width,
                   float alignment, int row_flags)
{
    const WidgetStyle &style = focused                          ? widget_focused
                               : (row_flags & LIST_ROW_CURRENT) ? widget_row_current
                                                                : widget_row_idle;
    draw_label(item, position, scale, width, alignment, style.text, style.box);
}

// The label part of an item, at least `width` wide.
static void draw_item_label(const char *label, float width, float alignment)
{
    draw_text_box(label, widget_label.text, widget_label.box, width, alignment);
}

void draw_choice_item(ChoiceItem *item, bool focused, const float position[2], const float scale[2], float width,
                      float alignment, float label_share)
{
    item->rect = widget_rect(position, scale, width);
    float split = width * label_share;
    draw_item_label(item->label, split - WIDGET_FRAME, alignment);
    const char *option = "";
    if (item->options && item->index >= 0 && item->index < item->option_count && item->options[item->index])
        option = item->options[item->index];
    const WidgetStyle &style = focused ? widget_focused : widget_idle;
    glPushMatrix();
    glTranslatef(split + WIDGET_FRAME, 0, 0);
    draw_text_box(option, style.text, style.box, width * (1 - label_share) - WIDGET_FRAME, alignment);
    glPopMatrix();
}

void draw_number_item(NumberItem *item, bool focused, const float position[2], const float scale[2], float width,
                      float alignment, float label_share)
{
    item->rect = widget_rect(position, scale, width);
    // Room for the widest value the item can show, at least four digits.
    char text[400];
    snprintf(text, sizeof text, "%.2f", item->maximum > 1000 ? item->maximum : 1000.0);
    float number_width = text_width(text);
    snprintf(text, sizeof text, "%.2f", item->value);
    float split = width * label_share;

    draw_item_label(item->label, split - number_width - 3 * WIDGET_FRAME, alignment);
    glPushMatrix();
    glTranslatef(split - number_width - WIDGET_FRAME, 0, 0);
    draw_text_box(text, widget_label.text, widget_label.box, number_width, 1);
    glPopMatrix();

    float track = split + WIDGET_FRAME;
    item->track_left = (int)((position[0] + track) * scale[0]);
    item->track_right = (int)((position[0] + width) * scale[0]);
    const WidgetStyle &style = focused ? widget_track_focused : widget_track_idle;
    draw_box(style.box, track, width);
    float bar = track + (width - track) * (float)number_fraction(item);
    fill_rect(style.text[0], style.text[1], style.text[2], style.text[3], track, 1, bar, 0);
}

void draw_cursor(const TextItem *item, float r, float g, float b, int position)
{
    int length = (int)strnlen(item->text, sizeof item->text);
    if (position < 0 || position > length)
        return;
    float x0 = text_width_in(&main_font, item->text, position);
    float width = position < length ? text_width_in(&main_font, item->text + position, 1) : text_width(" ");
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(r, g, b, 1);
    glBegin(GL_QUADS);
    glVertex2f(x0, 0);
    glVertex2f(x0, 1);
    glVertex2f(x0 + width, 1);
    glVertex2f(x0 + width, 0);
    glEnd();
}

void draw_text_item(TextItem *item, bool focused, const float position[2], const float scale[2], float width,
                    float alignment, float label_share)
{
    item->rect = widget_rect(position, scale, width);
    float split = width * label_share;
    draw_item_label(item->label, split - WIDGET_FRAME, alignment);
    const WidgetStyle &style = focused ? widget_focused : widget_idle;
    glPushMatrix();
    glTranslatef(split + WIDGET_FRAME, 0, 0);
    draw_box(style.box, 0, width * (1 - label_share) - WIDGET_FRAME);
    if (focused)
        draw_cursor(item, widget_cursor_colour[0], widget_cursor_colour[1], widget_cursor_colour[2], item->cursor);
    // The buffer may be full to the last byte: draw a terminated copy.
    char text[TEXT_ITEM_CAPACITY + 1];
    size_t length = strnlen(item->text, sizeof item->text);
    memcpy(text, item->text, length);
    text[length] = 0;
    draw_text_colour(style.text[0], style.text[1], style.text[2], style.text[3], text);
    glPopMatrix();
}
