// Reading and writing ".saf" archive headers.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ArchiveMember {
    std::string name;
    uint32_t offset;   // from the start of the archive file
    uint32_t size;
};

// Reads the header at the start of `file`. False (and no members) when the
// archive is malformed: a header line without a line feed, or a line that
// does not begin with a number.
bool archive_read_header(FILE *file, std::vector<ArchiveMember> *members);

struct ArchiveInput {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Writes an archive with the members in the given order, through a temporary
// file renamed into place. False on any error (the old file is kept).
bool archive_write(const char *path, const std::vector<ArchiveInput> &members);
