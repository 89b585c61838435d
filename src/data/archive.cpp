// ".saf" archives: a text header of "size name" lines ended by "-", then the
// member data back to back.
#include "data/archive.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

constexpr int archive_line_max = 1023;  // with its line feed

// Reads one header line (with its line feed) into `line`; its length, or -1
// when the line has no line feed within the limit.
static int read_line(FILE *file, char line[archive_line_max + 1])
{
    int n = 0;
    while (n < archive_line_max) {
        int c = getc_unlocked(file);
        if (c == EOF)
            return -1;
        line[n++] = (char)c;
        if (c == '\n') {
            line[n] = 0;
            return n;
        }
    }
    return -1;
}

static std::string collapse_slashes(const char *text, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; i++)
        if (text[i] != '/' || out.empty() || out.back() != '/')
            out.push_back(text[i]);
    return out;
}

bool archive_read_header(FILE *file, std::vector<ArchiveMember> *members)
{
    members->clear();
    char line[archive_line_max + 1];
    uint64_t header_size = 0;
    std::vector<ArchiveMember> found;
    std::vector<uint32_t> sizes;
    for (;;) {
        int length = read_line(file, line);
        if (length < 0)
            return false;
        header_size += (uint64_t)length;
        if (length == 2 && line[0] == '-')
            break;
        // strtol's syntax: white space, a sign, digits; the line ends in '\n' so
        // the scan cannot run past it.
        const char *p = line;
        while (isspace((unsigned char)*p) && *p != '\n')
            p++;
        const char *number = p;
        if (*p == '+' || *p == '-')
            p++;
        if (!isdigit((unsigned char)*p))
            return false;
        errno = 0;
        char *end;
        long long size = strtoll(number, &end, 10);
        // A negative or oversized member would put every later offset in the
        // wrong place; such an archive is as malformed as one without numbers.
        if (errno != 0 || size < 0 || size > (long long)UINT32_MAX)
            return false;
        const char *name = end;
        const char *line_end = line + length - 1;  // the line feed
        if (name < line_end)
            name++;  // the separator, whatever it is
        ArchiveMember m;
        m.name = collapse_slashes(name, (size_t)(line_end - name));
        m.offset = 0;
        m.size = (uint32_t)size;
        found.push_back(std::move(m));
    }
    uint64_t offset = header_size;
    for (ArchiveMember &m : found) {
        if (offset + m.size > UINT32_MAX)
            return false;
        m.offset = (uint32_t)offset;
        offset += m.size;
    }
    *members = std::move(found);
    return true;
}

bool archive_write(const char *path, const std::vector<ArchiveInput> &members)
{
    uint64_t total = 0;
    std::string header;
    for (const ArchiveInput &m : members) {
        // A name must survive the trip through a header line unchanged.
        if (m.name.empty() || m.name.find('\n') != std::string::npos || m.name.find('\0') != std::string::npos)
            return false;
        std::string line = std::to_string(m.bytes.size()) + " " + m.name + "\n";
        if (line.size() > (size_t)archive_line_max || m.name == "-")
            return false;
        header += line;
        total += m.bytes.size();
    }
    header += "-\n";
    if (header.size() + total > UINT32_MAX)
        return false;

    std::string temp = std::string(path) + ".tmp" + std::to_string((long)getpid());
    FILE *file = fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(header.data(), 1, header.size(), file) == header.size();
    for (const ArchiveInput &m : members)
        if (ok && !m.bytes.empty())
            ok = fwrite(m.bytes.data(), 1, m.bytes.size(), file) == m.bytes.size();
    if (fflush(file) != 0)
        ok = false;
    if (fclose(file) != 0)
        ok = false;
    if (ok && rename(temp.c_str(), path) != 0)
        ok = false;
    if (!ok)
        remove(temp.c_str());
    return ok;
}
