/* stormlib_explode [--copy] INPUT OUTPUT LIMIT
 *
 * Reads INPUT, one implode stream, explodes it with StormLib into at most LIMIT bytes and writes
 * them to OUTPUT through a temporary file beside it that is renamed into place, as
 * `sonvault-cli explode` does. With --copy the input is written as it is, without decoding: the
 * read and the write alone. Status 0 on success, 1 on any failure. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* StormLib exports the DCL entry points without a header for them. */
unsigned int explode(unsigned int (*read_buf)(char* buf, unsigned int* size, void* param),
                     void (*write_buf)(char* buf, unsigned int* size, void* param), char* work_buf,
                     void* param);

struct pipe {
    const unsigned char* in;
    size_t in_size;
    size_t in_pos;
    unsigned char* out;
    size_t capacity;
    size_t produced;
};

static unsigned int read_buf(char* buf, unsigned int* size, void* param) {
    struct pipe* p = param;
    size_t n = p->in_size - p->in_pos;
    if (n > *size) {
        n = *size;
    }
    memcpy(buf, p->in + p->in_pos, n);
    p->in_pos += n;
    return (unsigned int)n;
}

static void write_buf(char* buf, unsigned int* size, void* param) {
    struct pipe* p = param;
    size_t n = *size;
    if (n > p->capacity - p->produced) {
        n = p->capacity - p->produced; /* the limit cuts the output, as the command's does */
    }
    memcpy(p->out + p->produced, buf, n);
    p->produced += n;
}

static unsigned char* read_file(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    if (f == NULL) {
        return NULL;
    }
    size_t capacity = 1 << 20;
    unsigned char* data = malloc(capacity);
    *size = 0;
    size_t n;
    while (data != NULL && (n = fread(data + *size, 1, capacity - *size, f)) > 0) {
        *size += n;
        if (*size == capacity) {
            capacity *= 2;
            unsigned char* grown = realloc(data, capacity);
            if (grown == NULL) {
                free(data);
            }
            data = grown;
        }
    }
    if (ferror(f)) {
        free(data);
        data = NULL;
    }
    fclose(f);
    return data;
}

static int write_file(const char* target, const unsigned char* data, size_t size) {
    const char* slash = strrchr(target, '/');
    const size_t folder = slash == NULL ? 0 : (size_t)(slash - target) + 1;
    char* temporary = malloc(strlen(target) + 32);
    if (temporary == NULL) {
        return 0;
    }
    FILE* f = NULL;
    for (int attempt = 0; attempt < 16 && f == NULL; ++attempt) {
        sprintf(temporary, "%.*s.%s.%08x.tmp", (int)folder, target, target + folder,
                (unsigned)rand());
        f = fopen(temporary, "wbx");
        if (f == NULL && errno != EEXIST) {
            break;
        }
    }
    int ok = f != NULL;
    if (ok) {
        ok = fwrite(data, 1, size, f) == size && fflush(f) == 0;
        ok = fclose(f) == 0 && ok;
        ok = ok && rename(temporary, target) == 0;
        if (!ok) {
            remove(temporary);
        }
    }
    free(temporary);
    return ok;
}

int main(int argc, char** argv) {
    const int copy = argc > 1 && strcmp(argv[1], "--copy") == 0;
    if (argc != 4 + copy) {
        fprintf(stderr, "usage: stormlib_explode [--copy] INPUT OUTPUT LIMIT\n");
        return 1;
    }
    const char* input = argv[1 + copy];
    const char* output = argv[2 + copy];
    const size_t limit = strtoull(argv[3 + copy], NULL, 10);

    size_t size = 0;
    unsigned char* stream = read_file(input, &size);
    if (stream == NULL) {
        fprintf(stderr, "cannot read %s\n", input);
        return 1;
    }
    int ok;
    if (copy) {
        ok = write_file(output, stream, size < limit ? size : limit);
    } else {
        static char work[128 * 1024]; /* well above the documented work area on 64-bit builds */
        struct pipe p = {stream, size, 0, malloc(limit > 0 ? limit : 1), limit, 0};
        ok = p.out != NULL && explode(read_buf, write_buf, work, &p) == 0 &&
             write_file(output, p.out, p.produced);
        free(p.out);
    }
    free(stream);
    if (!ok) {
        fprintf(stderr, "cannot write %s\n", output);
    }
    return ok ? 0 : 1;
}
