// Search paths (home directory, then the data directory), the start-up data
// check and the home directory in the file browser.
#pragma once

// Entry `index` of the search path list ("/"-separated, ending in one "/"),
// or null past the end. The list is built on the first call.
const char *data_search_path(int index);

// Creates the home directory, selects the log file in it, then looks for a
// "zzzz.saf" whose first MiB hashes to `digest_hex` (40 hex digits).
bool check_game_data(const char *digest_hex);

void open_home_directory();

// Creates every directory on `path` before each "/" (errors ignored).
void make_directories(const char *path);

// Tests only: forget the list so that the next query rebuilds it from the environment.
void data_search_path_reset();
