// The explode decoder. The length and distance codes are written once, as the bit-by-bit walks
// that ReadToken uses. The fast loop's lookup tables are built at compile time (the distance table
// from the walk itself, the length table from the list of symbols) and checked against the walks
// for every possible input by static_assert, so the two paths cannot disagree.
#include "Explode.h"

#include "io/File.h"
#include "io/Paths.h"

#include <cstring>

namespace sv {

namespace {

constexpr std::uint32_t kEnd = tcBitstream::kEndOfInput;
constexpr std::uint32_t kEndMarker = 519;
// The longest token: flag 1 + length code 7 + extra 8 + distance code 8 + low bits 6.
constexpr unsigned kMaxTokenBits = 30;

// Get through a source, remembering the first end of input; every later Get yields 0 unread.
template <class Source> class Checked {
public:
    constexpr explicit Checked(Source& source) : m_source(source) {}
    constexpr std::uint32_t Get(std::uint32_t n) {
        if (m_ended) {
            return 0;
        }
        const std::uint32_t v = m_source.Get(n);
        if ((v & kEnd) != 0) {
            m_ended = true;
            return 0;
        }
        return v;
    }
    constexpr bool Ended() const { return m_ended; }

private:
    Source& m_source;
    bool m_ended = false;
};

// The length code, read as a sequence of Get calls.
template <class Source> constexpr std::uint32_t WalkLength(Checked<Source>& in) {
    switch (in.Get(2)) {
    case 3:
        return 3;
    case 1:
        return in.Get(1) != 0 ? 2 : 4;
    case 2:
        if (in.Get(1) != 0) {
            return 5;
        }
        return in.Get(1) != 0 ? 6 : 7;
    default:
        break;
    }
    if (in.Get(1) != 0) {
        if (in.Get(1) != 0) {
            return 8;
        }
        if (in.Get(1) != 0) {
            return 9;
        }
        return 10 + in.Get(1);
    }
    if (in.Get(1) != 0) {
        return in.Get(1) != 0 ? 12 + in.Get(2) : 16 + in.Get(3);
    }
    switch (in.Get(2)) {
    case 3:
        return 24 + in.Get(4);
    case 1:
        return 40 + in.Get(5);
    case 2:
        return 72 + in.Get(6);
    default:
        break;
    }
    return in.Get(1) != 0 ? 136 + in.Get(7) : 264 + in.Get(8);
}

// The high part (0 .. 63) of the distance code, read as a sequence of Get calls.
template <class Source> constexpr std::uint32_t WalkDistanceHigh(Checked<Source>& in) {
    switch (in.Get(2)) {
    case 3:
        return 0;
    case 1:
        if (in.Get(1) != 0) {
            return in.Get(1) != 0 ? 1 : 2;
        }
        return 6 - Exploder::ReverseBits(in.Get(2), 2);
    case 2: {
        const std::uint32_t v = in.Get(4);
        return v != 0 ? 22 - Exploder::ReverseBits(v, 4) : 23 - in.Get(1);
    }
    default:
        break;
    }
    if (in.Get(1) != 0) {
        return 39 - Exploder::ReverseBits(in.Get(4), 4);
    }
    if (in.Get(1) != 0) {
        return 47 - Exploder::ReverseBits(in.Get(3), 3);
    }
    return 63 - Exploder::ReverseBits(in.Get(4), 4);
}

// A compile-time bit source over the bits of one number, for building and checking the tables.
struct NumberBits {
    std::uint32_t value;
    std::uint32_t used = 0;
    constexpr std::uint32_t Get(std::uint32_t n) {
        const std::uint32_t v = (value >> used) & ((1u << n) - 1);
        used += n;
        return v;
    }
};

// Length symbols: code bits in stream order (first bit in bit 0), code length, base, extra bits.
struct LengthSymbol {
    std::uint8_t code;
    std::uint8_t codeBits;
    std::uint16_t base;
    std::uint8_t extraBits;
};
constexpr LengthSymbol kLengthSymbols[] = {
    {0x03, 2, 3, 0},  {0x05, 3, 2, 0},  {0x01, 3, 4, 0},   {0x06, 3, 5, 0},
    {0x0A, 4, 6, 0},  {0x02, 4, 7, 0},  {0x0C, 4, 8, 0},   {0x14, 5, 9, 0},
    {0x04, 5, 10, 1}, {0x18, 5, 12, 2}, {0x08, 5, 16, 3},  {0x30, 6, 24, 4},
    {0x10, 6, 40, 5}, {0x20, 6, 72, 6}, {0x40, 7, 136, 7}, {0x00, 7, 264, 8},
};

struct LengthEntry {
    std::uint8_t codeBits = 0;
    std::uint8_t extraBits = 0;
    std::uint16_t base = 0;
};
struct DistanceEntry {
    std::uint8_t codeBits = 0;
    std::uint8_t high = 0;
};

// Indexed by the next 7 bits (the longest length code).
constexpr std::array<LengthEntry, 128> kLengthTable = [] {
    std::array<LengthEntry, 128> table{};
    for (const LengthSymbol& s : kLengthSymbols) {
        for (std::uint32_t rest = 0; rest < (1u << (7 - s.codeBits)); ++rest) {
            table[s.code | (rest << s.codeBits)] = {s.codeBits, s.extraBits, s.base};
        }
    }
    return table;
}();

// The lengths whose code and extra bits fit in 8 bits, in one lookup by the next 8 bits; an
// entry of 0 bits sends the decoder to kLengthTable. Built from that table, so as right as it.
struct ShortLengthEntry {
    std::uint16_t length = 0;
    std::uint8_t bits = 0;
};
constexpr std::array<ShortLengthEntry, 256> kShortLengthTable = [] {
    std::array<ShortLengthEntry, 256> table{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        const LengthEntry& e = kLengthTable[v & 0x7F];
        if (e.codeBits + e.extraBits <= 8) {
            table[v] = {static_cast<std::uint16_t>(e.base +
                                                   ((v >> e.codeBits) & ((1u << e.extraBits) - 1))),
                        static_cast<std::uint8_t>(e.codeBits + e.extraBits)};
        }
    }
    return table;
}();

// Indexed by the next 8 bits (the longest distance code), straight from the walk.
constexpr std::array<DistanceEntry, 256> kDistanceTable = [] {
    std::array<DistanceEntry, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        NumberBits bits{i};
        Checked<NumberBits> in(bits);
        const std::uint32_t high = WalkDistanceHigh(in);
        table[i] = {static_cast<std::uint8_t>(bits.used), static_cast<std::uint8_t>(high)};
    }
    return table;
}();

// Every 15-bit input (7 code bits + 8 extra bits at most) decodes to the same length, taking the
// same number of bits, through the table and through the walk. Checked in slices, each within a
// compiler's budget for one constant evaluation.
constexpr bool LengthTableMatchesTheWalk(std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t v = from; v < to; ++v) {
        NumberBits bits{v};
        Checked<NumberBits> in(bits);
        const std::uint32_t walked = WalkLength(in);
        const LengthEntry& e = kLengthTable[v & 0x7F];
        const std::uint32_t looked = e.base + ((v >> e.codeBits) & ((1u << e.extraBits) - 1));
        if (walked != looked || bits.used != static_cast<std::uint32_t>(e.codeBits + e.extraBits)) {
            return false;
        }
    }
    return true;
}
static_assert(LengthTableMatchesTheWalk(0x0000, 0x1000));
static_assert(LengthTableMatchesTheWalk(0x1000, 0x2000));
static_assert(LengthTableMatchesTheWalk(0x2000, 0x3000));
static_assert(LengthTableMatchesTheWalk(0x3000, 0x4000));
static_assert(LengthTableMatchesTheWalk(0x4000, 0x5000));
static_assert(LengthTableMatchesTheWalk(0x5000, 0x6000));
static_assert(LengthTableMatchesTheWalk(0x6000, 0x7000));
static_assert(LengthTableMatchesTheWalk(0x7000, 0x8000));

// Every distance code fits the table's 8 bits.
constexpr bool DistanceCodesFit() {
    for (const DistanceEntry& e : kDistanceTable) {
        if (e.codeBits < 2 || e.codeBits > 8 || e.high > 63) {
            return false;
        }
    }
    return true;
}
static_assert(DistanceCodesFit());

} // namespace

std::string_view FatalMessage(ExplodeStatus status) {
    switch (status) {
    case ExplodeStatus::kOk:
        return "";
    case ExplodeStatus::kGetCountExceeded:
        return "Error: tcBitstream Get() count exceeded 31 bits.\n";
    case ExplodeStatus::kStuckInBitLoop:
        return "Error: Stuck in bit extraction loop.\n";
    case ExplodeStatus::kVariableLengthLiterals:
        return "Error: Variable-length literals are not supported.\n";
    case ExplodeStatus::kBadHeader:
        return "Error: Bad header.\n";
    case ExplodeStatus::kBadSecondHeaderByte:
        return "Error: Bad second header byte.\n";
    }
    return "";
}

std::uint32_t tcBitstream::Get(std::uint32_t n) {
    if (m_fatal != ExplodeStatus::kOk) {
        return kEnd;
    }
    if (n > 31) {
        m_fatal = ExplodeStatus::kGetCountExceeded;
        return kEnd;
    }
    std::uint32_t result = 0;
    std::uint32_t gathered = 0;
    for (int pass = 1;; ++pass) {
        if (m_bitsLeft == 0) {
            const int c = std::fgetc(m_stream);
            if (c == EOF) {
                return result | kEnd;
            }
            m_current = static_cast<std::uint8_t>(c);
            m_bitsLeft = 8;
        }
        const std::uint32_t take = m_bitsLeft < n - gathered ? m_bitsLeft : n - gathered;
        result |= (m_current & ((1u << take) - 1)) << gathered;
        gathered += take;
        m_current = static_cast<std::uint8_t>(m_current >> take);
        m_bitsLeft = static_cast<std::uint8_t>(m_bitsLeft - take);
        if (gathered == n) {
            return result;
        }
        // Each pass takes up to 8 bits, so no read of 31 bits needs this many.
        if (pass == 10) {
            m_fatal = ExplodeStatus::kStuckInBitLoop;
            return kEnd;
        }
    }
}

Exploder::Exploder(tcBitstream* bitReader, DecoderLineSink lines)
    : m_bitReader(bitReader), m_lines(std::move(lines)) {
    const std::uint32_t mode = m_bitReader->Get(8);
    if (m_lines) {
        char line[40];
        const int length = std::snprintf(line, sizeof line, "Literal setting: %d\n",
                                         static_cast<std::int32_t>(mode));
        m_lines(std::string_view(line, static_cast<std::size_t>(length)));
    }
    if (mode != 0) {
        Report(mode == 1 ? ExplodeStatus::kVariableLengthLiterals : ExplodeStatus::kBadHeader);
        return;
    }
    m_dictionaryBits = m_bitReader->Get(8);
    if (m_dictionaryBits < 4 || m_dictionaryBits > 6) {
        Report(ExplodeStatus::kBadSecondHeaderByte);
        return;
    }
    m_windowSize = 64u << m_dictionaryBits;
    m_writePosition = 0;
}

void Exploder::Report(ExplodeStatus status) {
    m_status = status;
    if (m_lines) {
        m_lines(FatalMessage(status));
    }
}

std::uint32_t Exploder::DecodeLength() {
    Checked<tcBitstream> in(*m_bitReader);
    const std::uint32_t length = WalkLength(in);
    return in.Ended() ? kEnd : length;
}

std::uint32_t Exploder::DecodeDistance(std::uint32_t lowBits) {
    Checked<tcBitstream> in(*m_bitReader);
    const std::uint32_t high = WalkDistanceHigh(in);
    const std::uint32_t low = in.Get(lowBits);
    return in.Ended() ? kEnd : (high << lowBits) | low;
}

ExplodeToken Exploder::ReadToken() {
    ExplodeToken token; // end of input unless the token is read whole
    const std::uint32_t flag = m_bitReader->Get(1);
    if ((flag & kEnd) != 0) {
        return token;
    }
    if (flag == 0) {
        const std::uint32_t literal = m_bitReader->Get(8);
        if ((literal & kEnd) == 0) {
            token.kind = ExplodeToken::kLiteral;
            token.literal = static_cast<std::uint8_t>(literal);
        }
        return token;
    }
    const std::uint32_t length = DecodeLength();
    if (length == kEndMarker) {
        token.kind = ExplodeToken::kEndMarker;
        return token;
    }
    if ((length & kEnd) != 0) {
        return token;
    }
    const std::uint32_t distance = DecodeDistance(length == 2 ? 2 : m_dictionaryBits);
    if ((distance & kEnd) == 0) {
        token.kind = ExplodeToken::kMatch;
        token.length = length;
        token.distance = distance;
    }
    return token;
}

namespace {

// Copies n bytes, sizeof(Word) to twice that, between ranges that do not overlap: a word from
// each end, the two words overlapping where n is short of twice the size.
template <typename Word>
void CopyEnds(std::uint8_t* to, const std::uint8_t* from, std::uint32_t n) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Copies n bytes (1 to 16) between ranges that do not overlap, without a call.
inline void CopyShort(std::uint8_t* to, const std::uint8_t* from, std::uint32_t n) {
    if (n >= 8) {
        CopyEnds<std::uint64_t>(to, from, n);
    } else if (n >= 4) {
        CopyEnds<std::uint32_t>(to, from, n);
    } else {
        const std::uint8_t first = from[0];
        const std::uint8_t middle = from[n / 2];
        const std::uint8_t last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

} // namespace

std::uint32_t Exploder::CopyThroughWindow(std::uint8_t* output, std::uint32_t count,
                                          std::uint32_t n, std::uint32_t distance,
                                          std::uint32_t start) const {
    const std::uint32_t mask = m_windowSize - 1;
    for (std::uint32_t i = 0; i < n; ++i, ++count) {
        // Unsigned wrap-around: a source before this call's output lands in the window.
        const std::uint32_t source = count - distance - 1;
        output[count] =
            source < count ? output[source] : m_window[(start + m_windowSize + source) & mask];
    }
    return count;
}

inline std::uint32_t Exploder::CopyMatch(std::uint8_t* output, std::uint32_t count,
                                         std::uint32_t length, std::uint32_t distance,
                                         std::uint32_t limit, std::uint32_t start) const {
    const std::uint32_t room = limit - count;
    const std::uint32_t n = length < room ? length : room;
    if (distance >= count) {
        return CopyThroughWindow(output, count, n, distance, start);
    }
    std::uint8_t* to = output + count;
    const std::uint8_t* from = to - distance - 1;
    if (distance + 1 >= n) {
        // Most matches are short: fixed-size moves beat a call to memcpy.
        if (n <= 16) {
            CopyShort(to, from, n);
        } else {
            std::memcpy(to, from, n);
        }
    } else if (distance == 0) {
        std::memset(to, *from, n);
    } else {
        // Overlapping: each byte may be one this match has just written, so the copy goes
        // forward in pieces no longer than the distance back.
        std::uint32_t i = 0;
        if (distance >= 7) {
            for (; i + 8 <= n; i += 8) {
                std::memcpy(to + i, from + i, 8);
            }
        }
        for (; i < n; ++i) {
            to[i] = from[i];
        }
    }
    return count + n;
}

inline std::uint32_t Exploder::EmitMatch(std::uint8_t* output, std::uint32_t count,
                                         std::uint32_t length, std::uint32_t distance,
                                         std::uint32_t limit, std::uint32_t start) {
    const std::uint32_t end = CopyMatch(output, count, length, distance, limit, start);
    if (end == limit) {
        m_cutLength = length - (end - count);
        m_cutDistance = distance;
    }
    return end;
}

bool Exploder::Emit(const ExplodeToken& token, std::uint8_t* output, std::uint32_t& count,
                    std::uint32_t limit, std::uint32_t start) {
    if (token.kind == ExplodeToken::kLiteral) {
        output[count++] = token.literal;
        return count != limit;
    }
    if (token.kind != ExplodeToken::kMatch) {
        return false;
    }
    count = EmitMatch(output, count, token.length, token.distance, limit, start);
    return count != limit;
}

namespace {

// The fast path's bit reader: takes the stream over from a tcBitstream, reads it ahead a chunk at
// a time into a 64-bit accumulator, and on Sync puts the stream back just after the last byte
// from which a bit was taken, handing that byte's unread bits back.
class ReadAhead {
public:
    static constexpr std::size_t kChunk = 32768;

    // chunk holds kChunk bytes. It is kept apart from this object so that the file read, which
    // sees its address, cannot make the accumulator look aliased in the decoding loop.
    ReadAhead(tcBitstream& source, std::uint8_t* chunk)
        : m_source(source), m_stream(source.Stream()), m_origin(Tell(m_stream)), m_chunk(chunk),
          m_acc(source.PendingBits()), m_count(source.PendingCount()) {}

    // False when the stream cannot seek, so could not be put back after reading ahead.
    bool Usable() const { return m_origin >= 0; }

    // The buffered bits, next bit in bit 0; only the lowest Count() are valid.
    std::uint64_t Bits() const { return m_acc; }
    unsigned Count() const { return m_count; }
    void Drop(unsigned n) {
        m_acc >>= n;
        m_count -= n;
    }

    // Tops the accumulator up to at least 57 bits; fewer only at the end of the stream.
    void Refill() {
        if (m_end - m_pos >= 8) {
            std::uint64_t v;
            std::memcpy(&v, m_chunk + m_pos, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            v = __builtin_bswap64(v);
#endif
            m_acc |= v << m_count;
            m_pos += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            if (m_pos == m_end && !NextChunk()) {
                return;
            }
            m_acc |= static_cast<std::uint64_t>(m_chunk[m_pos++]) << m_count;
            m_count += 8;
        }
    }

    void Sync() {
        const std::uint64_t consumed = m_chunkOffset + m_pos - m_count / 8;
        SeekTo(m_stream, static_cast<std::uint64_t>(m_origin) + consumed);
        const unsigned rest = m_count % 8;
        m_source.Resume(static_cast<std::uint8_t>(m_acc & ((1u << rest) - 1)),
                        static_cast<std::uint8_t>(rest));
    }

private:
    bool NextChunk() {
        m_chunkOffset += m_end;
        m_pos = 0;
        m_end = std::fread(m_chunk, 1, kChunk, m_stream);
        return m_end != 0;
    }

    tcBitstream& m_source;
    std::FILE* m_stream;
    std::int64_t m_origin;
    std::uint8_t* m_chunk;
    std::uint64_t m_chunkOffset = 0; // where m_chunk[0] lies, counted from m_origin
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    // Bits not yet consumed, next bit in bit 0; bits above m_count may hold the following bytes.
    std::uint64_t m_acc;
    unsigned m_count;
};

} // namespace

bool Exploder::DecodeFast(std::uint8_t* output, std::uint32_t& produced, std::uint32_t limit) {
    // A local count: stores through output, a byte pointer, could alias the caller's.
    std::uint32_t count = produced;
    std::uint8_t chunk[ReadAhead::kChunk];
    ReadAhead in(*m_bitReader, chunk);
    if (!in.Usable()) {
        return false;
    }
    const std::uint32_t lowBitsOfLong = m_dictionaryBits;
    const std::uint32_t start = m_writePosition;
    for (;;) {
        if (in.Count() < kMaxTokenBits) {
            in.Refill();
            if (in.Count() < kMaxTokenBits) {
                in.Sync(); // too near the end for whole tokens
                produced = count;
                return false;
            }
        }
        const std::uint64_t bits = in.Bits();
        if ((bits & 1) == 0) {
            output[count++] = static_cast<std::uint8_t>(bits >> 1);
            in.Drop(9);
            if (count == limit) {
                break;
            }
            continue;
        }
        const ShortLengthEntry& sl = kShortLengthTable[(bits >> 1) & 0xFF];
        std::uint32_t length = sl.length;
        unsigned lengthBits = 1u + sl.bits;
        if (sl.bits == 0) {
            const LengthEntry& le = kLengthTable[(bits >> 1) & 0x7F];
            length = le.base + static_cast<std::uint32_t>((bits >> (1 + le.codeBits)) &
                                                          ((1u << le.extraBits) - 1));
            lengthBits = 1u + le.codeBits + le.extraBits;
        }
        if (length == kEndMarker) {
            in.Drop(lengthBits);
            break;
        }
        // A token is at most 30 bits, so the distance code is still in `bits`.
        const std::uint64_t rest = bits >> lengthBits;
        const std::uint32_t lowBits = length == 2 ? 2 : lowBitsOfLong;
        const DistanceEntry& de = kDistanceTable[rest & 0xFF];
        const std::uint32_t distance =
            (static_cast<std::uint32_t>(de.high) << lowBits) |
            static_cast<std::uint32_t>((rest >> de.codeBits) & ((1u << lowBits) - 1));
        in.Drop(lengthBits + de.codeBits + lowBits);
        count = EmitMatch(output, count, length, distance, limit, start);
        if (count == limit) {
            break;
        }
    }
    in.Sync();
    produced = count;
    return true;
}

void Exploder::Decode(std::uint8_t* output, std::uint32_t& count, std::uint32_t limit) {
    count = 0;
    if (m_status != ExplodeStatus::kOk || limit == 0) {
        return;
    }
    const std::uint32_t start = m_writePosition;
    bool done = false;
    if (m_cutLength != 0) {
        const std::uint32_t rest = m_cutLength;
        m_cutLength = 0;
        count = EmitMatch(output, count, rest, m_cutDistance, limit, start);
        done = count == limit;
    }
    done = done || DecodeFast(output, count, limit);
    while (!done) {
        done = !Emit(ReadToken(), output, count, limit, start);
    }

    // The window keeps the last window-size bytes for a later call: at most two pieces, split
    // where the circular window wraps. (A byte loop here reloaded count, which output may alias,
    // on every byte: a third of the time of a 1 KiB stream.)
    const std::uint32_t produced = count;
    const std::uint32_t mask = m_windowSize - 1;
    const std::uint32_t keep = produced < m_windowSize ? produced : m_windowSize;
    const std::uint32_t first = (start + produced - keep) & mask;
    const std::uint32_t head = keep < m_windowSize - first ? keep : m_windowSize - first;
    const std::uint8_t* kept = output + (produced - keep);
    std::memcpy(m_window.data() + first, kept, head);
    std::memcpy(m_window.data(), kept + head, keep - head);
    m_writePosition = (start + produced) & mask;
}

} // namespace sv
