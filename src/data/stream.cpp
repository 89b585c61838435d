// The data stream record: byte source with one character of pushback, archive
// slices, gzip members inflated through a small window, and the writers.
#include "data/stream.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

#include "data/scram.h"
#include "data/stream_local.h"

DataStream *stream_new(FILE *file, uint32_t base, uint32_t limit)
{
    // calloc gives the null zalloc/zfree/opaque that inflateInit2 expects.
    DataStream *s = (DataStream *)calloc(1, sizeof(DataStream));
    if (!s) {
        fputs("Error: Out of virtual memory\n", stderr);
        exit(1);
    }
    s->file = file;
    s->base = base;
    s->limit = limit;
    s->position = 0;
    s->pushback = -1;
    s->output_next = s->output_buffer;
    s->decoder = nullptr;
    return s;
}

void stream_free(DataStream *s)
{
    if (!s)
        return;
    if (s->compressed)
        inflateEnd(&s->inflater);
    if (s->decoder)
        scram_free(s->decoder);
    if (s->file)
        fclose(s->file);
    free(s);
}

void stream_close(DataStream *s)
{
    stream_free(s);
}

// Up to `count` compressed bytes from the file or the decoder, never past `packed_size`.
static size_t read_packed(DataStream *s, uint8_t *buffer, size_t count)
{
    uint32_t left = s->packed_size - s->packed_read;
    if (count > left)
        count = left;
    if (count == 0)
        return 0;
    size_t got = s->scrambled ? scram_read(s->decoder, buffer, count) : fread(buffer, 1, count, s->file);
    s->packed_read += (uint32_t)got;
    return got;
}

bool stream_start_gzip(DataStream *s)
{
    s->packed_size = s->limit;
    s->limit = stream_unlimited;
    s->packed_read = 0;
    s->at_end = false;
    size_t n = read_packed(s, s->input_buffer, sizeof s->input_buffer);
    const uint8_t *b = s->input_buffer;
    if (n < 10 || b[0] != 0x1f || b[1] != 0x8b || b[2] != 8 || b[3] >= 32)
        return false;
    uint8_t flags = b[3];
    size_t p = 10;
    if (flags & 4) {
        if (p + 2 > n)
            return false;
        size_t extra = (size_t)b[p] | (size_t)b[p + 1] << 8;
        p += 2;
        if (p + extra > n)
            return false;
        p += extra;
    }
    for (int flag = 8; flag <= 16; flag += 8) {
        if (!(flags & flag))
            continue;
        const void *zero = memchr(b + p, 0, n - p);
        if (!zero)
            return false;
        p = (size_t)((const uint8_t *)zero - b) + 1;
    }
    if (flags & 2) {
        if (p + 2 > n)
            return false;
        p += 2;
    }
    if (inflateInit2(&s->inflater, -15) != Z_OK)
        return false;
    s->compressed = true;
    s->inflater.next_in = s->input_buffer + p;
    s->inflater.avail_in = (uInt)(n - p);
    s->inflater.next_out = s->output_buffer;
    s->inflater.avail_out = sizeof s->output_buffer;
    s->output_next = s->output_buffer;
    return true;
}

// Makes at least one inflated byte available at `output_next`; false at the
// end. Corrupt data and input that ends before the deflate stream both end
// the stream: every pass either consumes input, produces output or stops.
static bool inflate_more(DataStream *s)
{
    for (;;) {
        if (s->output_next < s->inflater.next_out)
            return true;
        if (s->at_end)
            return false;
        if (s->inflater.avail_out == 0) {
            s->inflater.next_out = s->output_buffer;
            s->inflater.avail_out = sizeof s->output_buffer;
            s->output_next = s->output_buffer;
        }
        if (s->inflater.avail_in == 0) {
            size_t got = read_packed(s, s->input_buffer, sizeof s->input_buffer);
            if (got == 0) {
                s->at_end = true;
                return false;
            }
            s->inflater.next_in = s->input_buffer;
            s->inflater.avail_in = (uInt)got;
        }
        int r = inflate(&s->inflater, Z_NO_FLUSH);
        if (r == Z_STREAM_END)
            s->at_end = true;
        else if (r != Z_OK)
            s->at_end = true;  // data error or no progress possible: the data ends here
    }
}

// One byte from the source, ignoring the pushback.
static int take_byte(DataStream *s)
{
    if (s->position >= s->limit)
        return -1;
    int c;
    if (s->compressed) {
        if (s->output_next >= s->inflater.next_out && !inflate_more(s))
            return -1;
        c = *s->output_next++;
    } else if (s->scrambled) {
        uint8_t b;
        if (scram_read(s->decoder, &b, 1) != 1)
            return -1;
        c = b;
    } else {
        c = getc_unlocked(s->file);
        if (c == EOF)
            return -1;
    }
    s->position++;
    return c;
}

int stream_getc(DataStream *s)
{
    if (s->pushback >= 0) {
        int c = s->pushback;
        s->pushback = -1;
        return c;
    }
    return take_byte(s);
}

char *stream_gets(DataStream *s, char *buffer, int size)
{
    if (size < 1)
        return nullptr;
    int stored = 0;
    while (stored < size - 1) {
        int c = stream_getc(s);
        if (c < 0)
            break;
        buffer[stored++] = (char)c;
        if (c == '\n')
            break;
    }
    buffer[stored] = 0;
    if (stored == 0 && size > 1)
        return nullptr;
    return buffer;
}

size_t stream_read(DataStream *s, void *buffer, size_t count)
{
    uint8_t *out = (uint8_t *)buffer;
    size_t stored = 0;
    if (count > 0 && s->pushback >= 0) {
        out[stored++] = (uint8_t)s->pushback;
        s->pushback = -1;
    }
    size_t want = count - stored;
    uint32_t left = s->position < s->limit ? s->limit - s->position : 0;
    if (want > left)
        want = left;
    size_t got = 0;
    if (s->compressed) {
        while (got < want && inflate_more(s)) {
            size_t ready = (size_t)(s->inflater.next_out - s->output_next);
            if (ready > want - got)
                ready = want - got;
            memcpy(out + stored + got, s->output_next, ready);
            s->output_next += ready;
            got += ready;
        }
    } else if (s->scrambled) {
        got = want ? scram_read(s->decoder, out + stored, want) : 0;
    } else {
        got = want ? fread(out + stored, 1, want, s->file) : 0;
    }
    s->position += (uint32_t)got;
    return stored + got;
}

bool stream_seek(DataStream *s, uint32_t offset)
{
    if (s->compressed || s->scrambled || offset >= s->limit)
        return false;
    if (fseeko(s->file, (off_t)s->base + (off_t)offset, SEEK_SET) != 0)
        return false;
    s->pushback = -1;
    s->position = offset;
    return true;
}

bool stream_putc(DataStream *s, int c)
{
    return fputc(c, s->file) != EOF;
}

int stream_puts(DataStream *s, const char *text)
{
    return fputs(text, s->file);
}

size_t stream_write(DataStream *s, const void *data, size_t count)
{
    return fwrite(data, 1, count, s->file);
}

int stream_printf(DataStream *s, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int r = vfprintf(s->file, format, args);
    va_end(args);
    return r;
}

int stream_flush(DataStream *s)
{
    return fflush(s->file);
}
