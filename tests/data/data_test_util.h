// Helpers for the data-file tests: a fresh pair of search paths per test,
// gzip members with chosen header fields, archives and stream slurping.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "data/file_index.h"
#include "data/search_path.h"
#include "data/sha1.h"
#include "data/stream.h"
#include "platform/message_log.h"
#include "test_util.h"

// A home directory (XDG_DATA_HOME/Zorvex) and a data directory (ZV_HOME) in
// one temporary tree, with the search path list and the index forgotten.
struct DataDirs {
    TempDir temp;
    std::string home;  // ends in "/"
    std::string data;  // ends in "/"
    DataDirs()
    {
        home = temp.path + "/xdg/Zorvex/";
        data = temp.path + "/data/";
        temp.write("data/.keep", "");
        set_env("XDG_DATA_HOME", (temp.path + "/xdg").c_str());
        set_env("ZV_HOME", (temp.path + "/data").c_str());
        data_search_path_reset();
        file_index_reset();
    }
    ~DataDirs()
    {
        file_index_reset();
        data_search_path_reset();
    }
    std::string write_home(const std::string &name, const std::string &bytes) const
    {
        return temp.write("xdg/Zorvex/" + name, bytes);
    }
    std::string write_data(const std::string &name, const std::string &bytes) const
    {
        return temp.write("data/" + name, bytes);
    }
};

// Raw deflate data for `content` (no header, no trailer).
inline std::string raw_deflate(const std::string &content, int level = 6)
{
    z_stream z = {};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, content.size()) + 16, '\0');
    z.next_in = (Bytef *)content.data();
    z.avail_in = (uInt)content.size();
    z.next_out = (Bytef *)out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A gzip member: the header with `flags` and the optional fields, the deflate
// data, then the CRC and length trailer.
inline std::string gzip_member(const std::string &content, uint8_t flags = 0, const std::string &extra = "",
                               const std::string &name = "", const std::string &comment = "")
{
    std::string out = {'\x1f', '\x8b', 8, (char)flags, 0, 0, 0, 0, 0, 3};
    if (flags & 4) {
        out += (char)(extra.size() & 0xff);
        out += (char)(extra.size() >> 8);
        out += extra;
    }
    if (flags & 8)
        out += name + std::string(1, '\0');
    if (flags & 16)
        out += comment + std::string(1, '\0');
    if (flags & 2)
        out += std::string("\x12\x34", 2);
    out += raw_deflate(content);
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)content.data(), (uInt)content.size());
    uint32_t size = (uint32_t)content.size();
    for (int i = 0; i < 4; i++)
        out += (char)(crc >> (8 * i));
    for (int i = 0; i < 4; i++)
        out += (char)(size >> (8 * i));
    return out;
}

// An archive file's bytes: "size name" lines, "-", then the data.
inline std::string archive_bytes(const std::vector<std::pair<std::string, std::string>> &members)
{
    std::string header, data;
    for (const auto &m : members) {
        header += std::to_string(m.second.size()) + " " + m.first + "\n";
        data += m.second;
    }
    return header + "-\n" + data;
}

// Deterministic bytes that deflate cannot shrink.
inline std::string noise(size_t size, uint32_t seed = 1)
{
    std::string out(size, '\0');
    for (size_t i = 0; i < size; i++) {
        seed = seed * 1664525u + 1013904223u;
        out[i] = (char)(seed >> 24);
    }
    return out;
}

// Every byte a stream delivers through stream_getc; stops after `cap` bytes
// so that a stream that never ends fails the test instead of hanging it.
inline std::string slurp_getc(DataStream *s, size_t cap = 1u << 24)
{
    std::string out;
    int c;
    while (out.size() < cap && (c = stream_getc(s)) >= 0)
        out += (char)c;
    return out;
}

inline std::string slurp_read(DataStream *s, size_t chunk = 777, size_t cap = 1u << 24)
{
    std::string out;
    std::vector<char> buffer(chunk);
    while (out.size() < cap) {
        size_t got = stream_read(s, buffer.data(), buffer.size());
        if (got == 0)
            break;
        out.append(buffer.data(), got);
    }
    return out;
}

// Opens, slurps and closes; `ok` tells whether the open succeeded.
inline std::string read_all(const std::string &name, bool *ok = nullptr)
{
    DataStream *s = stream_open(name.c_str(), "rb");
    if (ok)
        *ok = s != nullptr;
    if (!s)
        return "";
    std::string out = slurp_getc(s);
    stream_close(s);
    return out;
}

// The SHA-1 of `bytes` in hexadecimal.
inline std::string sha1_text(const std::string &bytes)
{
    Sha1 sha;
    sha1_init(&sha);
    sha1_update(&sha, bytes.data(), bytes.size());
    uint8_t digest[20];
    sha1_final(&sha, digest);
    char hex[41];
    sha1_hex(digest, hex);
    return hex;
}

// Whether a line of the on-screen log is exactly `text`.
inline bool posted(const std::string &text)
{
    for (int n = 0;; n++) {
        const char *line = message_log_line(n);
        if (!line)
            return false;
        if (text == line)
            return true;
    }
}

// How many lines of the on-screen log contain `text`.
inline int messages_containing(const char *text)
{
    int n = 0;
    for (int i = 0; message_log_line(i); i++)
        if (strstr(message_log_line(i), text))
            n++;
    return n;
}
