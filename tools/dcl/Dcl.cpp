#include "Dcl.h"

#include <algorithm>
#include <cstring>

// StormLib exports these but ships no header for them; the interface is the DCL's documented one.
extern "C" {
unsigned int implode(unsigned int (*read_buf)(char* buf, unsigned int* size, void* param),
                     void (*write_buf)(char* buf, unsigned int* size, void* param), char* work_buf,
                     void* param, unsigned int* type, unsigned int* dsize);
unsigned int explode(unsigned int (*read_buf)(char* buf, unsigned int* size, void* param),
                     void (*write_buf)(char* buf, unsigned int* size, void* param), char* work_buf,
                     void* param);
}

namespace dcl {
namespace {

constexpr unsigned kBinary = 0;
// The documented work areas are 36,312 and 12,596 bytes on 32-bit builds; pointers grow them on
// 64-bit ones, so leave ample room.
constexpr std::size_t kWorkArea = std::size_t{128} * 1024;

struct Pipe {
    const std::uint8_t* in;
    std::size_t inSize;
    std::size_t inPos;
    Bytes* out;          // growing output, or
    std::uint8_t* fixed; // a fixed one
    std::size_t capacity;
    std::size_t produced;
    bool overflow;
};

unsigned int ReadBuf(char* buf, unsigned int* size, void* param) {
    auto* pipe = static_cast<Pipe*>(param);
    const std::size_t n = std::min<std::size_t>(*size, pipe->inSize - pipe->inPos);
    if (n != 0) {
        std::memcpy(buf, pipe->in + pipe->inPos, n);
        pipe->inPos += n;
    }
    return static_cast<unsigned int>(n);
}

void WriteBuf(char* buf, unsigned int* size, void* param) {
    auto* pipe = static_cast<Pipe*>(param);
    if (pipe->out != nullptr) {
        pipe->out->insert(pipe->out->end(), buf, buf + *size);
        return;
    }
    if (pipe->capacity - pipe->produced < *size) {
        pipe->overflow = true;
        return;
    }
    std::memcpy(pipe->fixed + pipe->produced, buf, *size);
    pipe->produced += *size;
}

} // namespace

Bytes Implode(const std::uint8_t* data, std::size_t size, unsigned dictionarySize) {
    Bytes out;
    Pipe pipe{data, size, 0, &out, nullptr, 0, 0, false};
    std::vector<std::uint64_t> work(kWorkArea / sizeof(std::uint64_t));
    unsigned int type = kBinary;
    unsigned int dsize = dictionarySize;
    if (implode(ReadBuf, WriteBuf, reinterpret_cast<char*>(work.data()), &pipe, &type, &dsize) !=
        0) {
        out.clear();
    }
    return out;
}

std::int64_t Explode(const std::uint8_t* stream, std::size_t size, std::uint8_t* out,
                     std::size_t capacity) {
    thread_local std::vector<std::uint64_t> work(kWorkArea / sizeof(std::uint64_t));
    Pipe pipe{stream, size, 0, nullptr, out, capacity, 0, false};
    if (explode(ReadBuf, WriteBuf, reinterpret_cast<char*>(work.data()), &pipe) != 0 ||
        pipe.overflow) {
        return -1;
    }
    return static_cast<std::int64_t>(pipe.produced);
}

} // namespace dcl
