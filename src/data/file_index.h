// The index of loose data files and ".saf" archive members under the search paths.
#pragma once
#include <cstdint>

struct FileIndexEntry {
    char *container;     // the loose file or the archive holding the bytes
    const char *name;    // relative to the search path root, "/"-separated
    uint32_t offset;
    uint32_t size;
    uint32_t rank;       // lower wins: search path index, then archive ordinal
};

// Sorted, case-insensitively distinct names of every data file; null-terminated.
const char *const *data_file_names();

// "name -> container" of index entry `index` into buffer; false when out of range.
bool data_file_entry(int index, char *buffer, int size);

// Removes `to`, then renames `from` to it ("@" names are in the home directory).
bool stream_rename(const char *from, const char *to);

// Finds the best entry for a data name (without "@") and its variants;
// `variant` gets 0 plain, 1 ".gz", 2 ".scram", 3 ".gz.scram". Null when none.
const FileIndexEntry *file_index_lookup(const char *name, int *variant);

// Builds the index now if it does not exist yet (the first open does it too).
void file_index_build();

// Tests only: drop the index so that the next use rebuilds it.
void file_index_reset();
