// The data stream: the one file handle of the system, over a plain file, an
// archive member, a gzip member inflated on the fly or a scrambled container.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <zlib.h>

struct ScramDecoder;

struct DataStream {
    FILE *file;
    uint32_t base;          // offset of the stream's data in `file`
    uint32_t limit;         // bytes the stream may deliver
    uint32_t position;      // bytes taken from the source so far
    int32_t pushback;       // a character taken but not delivered, or -1
    bool compressed;
    bool scrambled;
    uint32_t packed_size;   // compressed bytes available
    uint32_t packed_read;   // compressed bytes taken so far
    bool at_end;            // the inflater reached the end of the deflate data
    z_stream inflater;
    uint8_t input_buffer[16384];
    uint8_t output_buffer[1024];
    uint8_t *output_next;
    ScramDecoder *decoder;  // present when `scrambled`
};

// Opens a data name ("@...", looked up in the search paths and archives) or a
// plain path. A mode containing "r" and no "+" reads; any other mode writes.
// A leading "~" keeps a numbered backup of an existing file. Null on failure.
DataStream *stream_open(const char *name, const char *mode);
void stream_close(DataStream *stream);

int stream_getc(DataStream *stream);                              // 0..255, or -1 at the end
char *stream_gets(DataStream *stream, char *buffer, int size);    // null when nothing was read
size_t stream_read(DataStream *stream, void *buffer, size_t count);
// sscanf-style reading with the documented differences; the number of stored
// conversions, or -1.
int stream_scanf(DataStream *stream, const char *format, ...);
int stream_vscanf(DataStream *stream, const char *format, va_list args);
bool stream_seek(DataStream *stream, uint32_t offset);            // plain streams only

bool stream_putc(DataStream *stream, int c);
int stream_puts(DataStream *stream, const char *text);
size_t stream_write(DataStream *stream, const void *data, size_t count);
int stream_printf(DataStream *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
int stream_flush(DataStream *stream);
