// Key table, scan-code translation, control-name aliases and interned names.
#pragma once

// Event codes of the platform layer.
enum {
    VARK_KEY_BASE = 0x1000,      // + 9-bit set-1 scan code (bit 8 for extended keys)
    VARK_KEY_LAST = 0x11FF,
    VARK_MOUSE_LEFT = 0x2000,
    VARK_MOUSE_MIDDLE = 0x2001,
    VARK_MOUSE_RIGHT = 0x2002,
    VARK_CLOSE = 0xDEAD,
};

struct KeyName {
    const char *name;
    int scan_code;  // set-1 scan code; extended keys carry 256 + their code
};

// The fixed key table in its order; the first entry with a code names it.
extern const KeyName key_table[];
extern const int key_table_count;

// Set-1 scan code (extended keys 0x100 + code) of an SDL scancode, or 0 when it has none.
int scan_code_from_sdl(int sdl_scancode);

// The key table's name for a 9-bit scan code, or null.
const char *key_table_name(int scan_code);

// Equal when letters match without case and every white-space character or
// "_" counts as a space.
bool names_match_loosely(const char *a, const char *b);

// A copy of the text that stays valid for the rest of the run; equal texts
// give the same pointer.
const char *vark_intern(const char *text);

// Defines an alias for any control name; a second definition of the same
// alias is refused (false).
bool vark_alias(const char *alias, const char *name);
// The name an alias stands for, or the name itself.
const char *vark_resolve_alias(const char *name);

// Device id of a name: its 15-bit hash shifted into bits 16 to 30.
int vark_name_hash(const char *name);
