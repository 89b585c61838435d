// Boxes and menu widgets drawn in the current overlay: the widget's
// lower-left corner at the origin, one unit = one line.
#pragma once

// A widget's place on screen in window pixels, rows counted down from the
// window's top edge (top < bottom). Written each time the widget is drawn.
struct WidgetRect {
    int left, top, right, bottom;
};

// Widget records. The menus own the instances (static records, one per
// setting) and their behaviour; drawing reads the label and value fields
// and writes the rectangles.

// A label, button or list row.
struct ButtonItem {
    const char *label;
    WidgetRect rect;
};

// One of a fixed list of options.
struct ChoiceItem {
    const char *label;
    const char *const *options;
    int option_count;
    int index;          // current option
    WidgetRect rect;
};

// A value on a slider between minimum and maximum.
struct NumberItem {
    const char *label;
    double value, step, minimum, maximum;
    WidgetRect rect;
    int track_left, track_right;  // pixel x range of the slider track
};

enum { TEXT_ITEM_CAPACITY = 128 };  // the longest text item holds 127 characters

// An editable line of text.
struct TextItem {
    const char *label;
    int max_length;                 // below TEXT_ITEM_CAPACITY
    char text[TEXT_ITEM_CAPACITY];  // zero-terminated
    int cursor;                     // 0..length
    bool insert;
    WidgetRect rect;
};

// Box and text colour of one widget state.
struct WidgetStyle {
    float box[4];
    float text[4];
};
extern const WidgetStyle widget_idle;          // button or value box
extern const WidgetStyle widget_focused;
extern const WidgetStyle widget_row_idle;      // list rows
extern const WidgetStyle widget_row_current;   // the list's current entry, not focused
extern const WidgetStyle widget_label;         // the label part of an item
extern const WidgetStyle widget_track_idle;    // number track: box = track, text = bar
extern const WidgetStyle widget_track_focused;
extern const float widget_cursor_colour[3];

constexpr float WIDGET_FRAME = 0.125f;  // frame width of every box, in lines

// Row flags of draw_list_row.
enum { LIST_ROW_CURRENT = 1 };

// Alignment: 0 left, 0.5 centred, 1 right.

// An untextured quad blended over what is there; blending is off afterwards.
void fill_rect(float r, float g, float b, float a, float x0, float y0, float x1, float y1);
// A framed box one line high, at least `minimum_width` wide, with the text in it.
void draw_text_box(const char *text, const float text_colour[4], const float box_colour[4], float minimum_width,
                   float alignment);

// The pixel rectangle of a widget `width` units wide at `position` (units from
// the window's top-left, y upward) with `scale` pixels per unit.
WidgetRect widget_rect(const float position[2], const float scale[2], float width);
// Share of the bar filled for a number's value: 0..1.
double number_fraction(const NumberItem *item);

void draw_label(ButtonItem *item, const float position[2], const float scale[2], float width, float alignment,
                const float text_colour[4], const float box_colour[4]);
void draw_button(ButtonItem *item, bool focused, const float position[2], const float scale[2], float width,
                 float alignment);
void draw_list_row(ButtonItem *item, bool focused, const float position[2], const float scale[2], float width,
                   float alignment, int row_flags);
// `label_share` is the part of the width taken by the label.
void draw_choice_item(ChoiceItem *item, bool focused, const float position[2], const float scale[2], float width,
                      float alignment, float label_share);
void draw_number_item(NumberItem *item, bool focused, const float position[2], const float scale[2], float width,
                      float alignment, float label_share);
void draw_text_item(TextItem *item, bool focused, const float position[2], const float scale[2], float width,
                    float alignment, float label_share);
// An opaque block under the character at `position` of the item's text
// (a space's width at the end); nothing beyond the end.
void draw_cursor(const TextItem *item, float r, float g, float b, int position);
