// Key table, scan-code translation, loose names, hashing, interning, aliases.
#include "platform/keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(KeyTable, OrderAndFirstEntryWins)
{
    ASSERT_EQ(key_table_count, 98);
    EXPECT_STREQ(key_table[0].name, "Esc");
    EXPECT_STREQ(key_table[1].name, "0");
    EXPECT_EQ(key_table[1].scan_code, 11);
    EXPECT_STREQ(key_table[key_table_count - 1].name, "Keypad .");
    EXPECT_EQ(key_table[key_table_count - 1].scan_code, 83);
    // "Space" and " " share 57; the earlier entry names the code.
    EXPECT_STREQ(key_table_name(57), "Space");
    EXPECT_STREQ(key_table_name(285), "Right Ctrl");
    EXPECT_STREQ(key_table_name(309), "Keypad /");
    EXPECT_EQ(key_table_name(0x38), nullptr);  // Left Alt has no table name

    // Every name is unique, so names convert back to exactly one entry.
    std::set<std::string> names;
    for (int i = 0; i < key_table_count; i++)
        EXPECT_TRUE(names.insert(key_table[i].name).second) << key_table[i].name;
}

TEST(KeyTable, SdlScancodesBecomeSetOneCodes)
{
    // SDL scancodes are USB keyboard usage ids.
    struct Case {
        int usb_usage;
        const char *key;
        int set1;
    };
    const Case cases[] = {
        {4, "A", 0x1E},          {29, "Z", 0x2C},         {30, "1", 0x02},
        {39, "0", 0x0B},         {40, "Return", 0x1C},    {41, "Escape", 0x01},
        {44, "Space", 0x39},     {53, "Grave", 0x29},     {58, "F1", 0x3B},
        {68, "F11", 0x57},       {69, "F12", 0x58},       {72, "Pause", 0x45},
        {73, "Insert", 0x152},   {79, "Right", 0x14D},    {82, "Up", 0x148},
        {83, "Num Lock", 0x145}, {84, "Keypad /", 0x135}, {85, "Keypad *", 0x37},
        {88, "Keypad Enter", 0x11C}, {98, "Keypad 0", 0x52}, {99, "Keypad .", 0x53},
        {224, "Left Ctrl", 0x1D}, {225, "Left Shift", 0x2A}, {226, "Left Alt", 0x38},
        {228, "Right Ctrl", 0x11D}, {229, "Right Shift", 0x36}, {230, "Right Alt", 0x138},
        {0, "unknown", 0},       {1000, "out of range", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(scan_code_from_sdl(c.usb_usage), c.set1) << c.key;

    // Every key of the table is reachable from some SDL key.
    for (int i = 0; i < key_table_count; i++) {
        bool found = false;
        for (int usage = 0; usage < 512 && !found; usage++)
            found = scan_code_from_sdl(usage) == key_table[i].scan_code;
        EXPECT_TRUE(found) << key_table[i].name;
    }
}

TEST(KeyNames, LooseComparison)
{
    struct Case {
        const char *a, *b;
        bool same;
    };
    const Case cases[] = {
        {"Left Ctrl", "left ctrl", true},  {"Left Ctrl", "LEFT_CTRL", true},
        {"Left Ctrl", "left\tctrl", true}, {"Left Ctrl", "Left  Ctrl", false},
        {"Left Ctrl", "Left Ctr", false},  {"Left Ctr", "Left Ctrl", false},
        {" ", "_", true},                  {"", "", true},
        {"Keypad 1", "keypad_1", true},    {"Keypad 1", "keypad 2", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(names_match_loosely(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(KeyNames, HashFormula)
{
    // Even positions count once, odd ones 256 times, bytes signed, modulo 32768.
    EXPECT_EQ(vark_name_hash(""), 0);
    EXPECT_EQ(vark_name_hash("a"), 97 << 16);
    EXPECT_EQ(vark_name_hash("ab"), (97 + 256 * 98) << 16);
    EXPECT_EQ(vark_name_hash("abc"), vark_name_hash("bbb"));
    EXPECT_EQ(vark_name_hash("Joystick1"),
              ((('J' + 'y' + 't' + 'c' + '1') + 256 * ('o' + 's' + 'i' + 'k')) % 32768) << 16);
    // A negative byte sum still gives an id in bits 16 to 30.
    int id = vark_name_hash("\xff");
    EXPECT_EQ(id, 32767 << 16);
    EXPECT_EQ(id & ~0x7FFF0000, 0);
}

TEST(KeyNames, InterningAndAliases)
{
    std::string a = "some name", b = "some name";
    const char *first = vark_intern(a.c_str());
    EXPECT_EQ(first, vark_intern(b.c_str()));
    EXPECT_STREQ(first, "some name");
    EXPECT_NE(first, a.c_str());

    EXPECT_TRUE(vark_alias("test-alias", "Left Ctrl"));
    EXPECT_FALSE(vark_alias("test-alias", "Right Ctrl"));  // the first definition stays
    EXPECT_STREQ(vark_resolve_alias("test-alias"), "Left Ctrl");
    EXPECT_STREQ(vark_resolve_alias("not an alias"), "not an alias");
}
