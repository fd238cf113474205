// The explode decoder for the implode format of the PKWARE Data Compression Library, binary mode
// only, dictionaries of 1024, 2048 or 4096 bytes.
//
// Format facts that matter here:
// - Two header bytes: the literal mode (0 = plain 8-bit literals; 1, coded literals, is refused)
//   and the dictionary bits (4, 5 or 6: windows of 64 << bits bytes).
// - Then bit-packed tokens, least significant bit of each byte first; an n-bit field receives the
//   stream's bits as its bits 0 .. n-1. A flag bit 0 starts a literal (8 bits follow), 1 a match:
//   a fixed length code (2 .. 518, 519 = end marker), then a fixed distance code whose high part
//   (0 .. 63) is followed by 2 low bits for length-2 matches and by the dictionary bits otherwise.
// - A match copies from distance + 1 bytes back, overlapping copies repeating the last bytes.
//
// Nothing here ends the process or prints: the decoder's lines ("Literal setting: %d" and the
// fatal messages, each with its newline) go to a sink the caller chooses, and a fatal condition is
// returned as a value.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>

namespace sv {

// The decoder's fatal conditions. kOk is none.
enum class ExplodeStatus {
    kOk,
    kGetCountExceeded,
    kStuckInBitLoop,
    kVariableLengthLiterals,
    kBadHeader,
    kBadSecondHeaderByte,
};

// The exact line, newline included, that reports the condition; "" for kOk.
std::string_view FatalMessage(ExplodeStatus status);

// Receives each line of the decoder, newline included. An empty sink drops them.
using DecoderLineSink = std::function<void(std::string_view line)>;

// Reads bits, least significant first, from a standard I/O stream that the caller opened in binary
// mode, positioned and will close. Get takes the stream one byte at a time, as needed; the
// Exploder reads ahead in chunks for speed and puts the stream back before it returns, so that
// between calls the stream always stands just after the last byte from which a bit was taken.
class tcBitstream {
public:
    // Set in a result when the stream ran out; no read of 31 bits or fewer can produce it.
    static constexpr std::uint32_t kEndOfInput = 0x80000000u;

    explicit tcBitstream(std::FILE* stream) : m_stream(stream) {}
    tcBitstream(const tcBitstream&) = delete;
    tcBitstream& operator=(const tcBitstream&) = delete;

    // The next n bits, first bit in bit 0. When the stream runs out, the bits gathered so far with
    // kEndOfInput. Get(0) is 0, but still fetches a byte when none is buffered. n above 31 is a
    // fatal condition: it is recorded in Fatal(), nothing is read, and the result is kEndOfInput,
    // as is every later result.
    std::uint32_t Get(std::uint32_t n);

    // The first fatal condition met, or kOk. Reporting it is the caller's business.
    ExplodeStatus Fatal() const { return m_fatal; }

    // For a reader that takes the stream over in larger reads and hands it back: the stream, and
    // the bits of the last byte read that no Get has taken yet (next bit in bit 0).
    std::FILE* Stream() const { return m_stream; }
    std::uint8_t PendingBits() const { return m_current; }
    std::uint8_t PendingCount() const { return m_bitsLeft; }
    // The stream stands just after a byte whose last `count` bits (0 .. 7) are still unread.
    void Resume(std::uint8_t bits, std::uint8_t count) {
        m_current = bits;
        m_bitsLeft = count;
    }

private:
    std::FILE* m_stream;
    std::uint8_t m_current = 0;  // unconsumed bits of the last byte read, next bit in bit 0
    std::uint8_t m_bitsLeft = 0; // 0 .. 8
    ExplodeStatus m_fatal = ExplodeStatus::kOk;
};

// One decoded item of a stream.
struct ExplodeToken {
    enum Kind : std::int32_t { kLiteral = 0, kMatch = 1, kEndMarker = 2, kEndOfInput = 3 };
    std::int32_t kind = kEndOfInput;
    std::uint8_t literal = 0;
    std::uint32_t length = 0;   // 2 .. 518
    std::uint32_t distance = 0; // bytes back, minus one
};

// Decodes one implode stream. The constructor reads and checks the two header bytes; Decode reads
// the rest. Serves exactly one stream.
class Exploder {
public:
    // Reads the header and sends "Literal setting: %d\n" (the first header value as a signed
    // 32-bit number, end-of-input flag included) to the sink, then the fatal message if the header
    // is refused. bitReader is not owned and must outlive the Exploder.
    explicit Exploder(tcBitstream* bitReader, DecoderLineSink lines = {});

    // kOk, or the fatal condition that the header met; a refused Exploder decodes nothing.
    ExplodeStatus Status() const { return m_status; }

    // Sets count to 0, then decodes into output until the end marker, the end of the input, or
    // count reaching limit, whichever comes first (the limit is tested after every byte, so
    // decoding can stop inside a match). output must hold at least limit bytes. A limit of 0
    // decodes nothing. Afterwards the stream stands just after the last byte from which a bit was
    // taken. Input that ends inside a token (rather than at its flag bit) ends decoding there; the
    // cut token yields no bytes. A later call goes on where this one stopped, with the rest of a
    // match the limit cut, so a stream decoded in pieces gives the bytes of one call.
    void Decode(std::uint8_t* output, std::uint32_t& count, std::uint32_t limit);

    std::uint32_t DictionaryBits() const { return m_dictionaryBits; }
    std::uint32_t WindowSize() const { return m_windowSize; }
    std::uint32_t WritePosition() const { return m_writePosition; }

    // value with its low k bits in reverse order (bit 0 swaps with bit k - 1, and so on).
    static constexpr std::uint32_t ReverseBits(std::uint32_t value, std::uint32_t k) {
        std::uint32_t out = 0;
        for (std::uint32_t i = 0; i < k; ++i) {
            out |= ((value >> i) & 1u) << (k - 1 - i);
        }
        return out;
    }

private:
    // One token read bit by bit through Get.
    ExplodeToken ReadToken();
    // 2 .. 519, or kEndOfInput when the input ends inside the code.
    std::uint32_t DecodeLength();
    // The distance (bytes back minus one), or kEndOfInput when the input ends inside the code.
    std::uint32_t DecodeDistance(std::uint32_t lowBits);

    // Appends the token's bytes to output, stopping at limit; false when decoding must end.
    bool Emit(const ExplodeToken& token, std::uint8_t* output, std::uint32_t& count,
              std::uint32_t limit, std::uint32_t start);
    // CopyMatch that keeps the rest of a match the limit cuts for the next Decode.
    std::uint32_t EmitMatch(std::uint8_t* output, std::uint32_t count, std::uint32_t length,
                            std::uint32_t distance, std::uint32_t limit, std::uint32_t start);
    // Appends up to `length` bytes (never past limit) copied from distance + 1 bytes back, from
    // output or, before this call's first byte, from the window; gives the new count.
    std::uint32_t CopyMatch(std::uint8_t* output, std::uint32_t count, std::uint32_t length,
                            std::uint32_t distance, std::uint32_t limit, std::uint32_t start) const;
    // CopyMatch's rare case, kept out of line so that the common one inlines into the loop.
    std::uint32_t CopyThroughWindow(std::uint8_t* output, std::uint32_t count, std::uint32_t n,
                                    std::uint32_t distance, std::uint32_t start) const;
    // The table-driven loop over read-ahead input. True when it ended decoding (end marker or
    // limit); false when the stream cannot seek or is too close to its end, and the remaining
    // tokens are for ReadToken. Either way the stream is put back where the bits end.
    bool DecodeFast(std::uint8_t* output, std::uint32_t& produced, std::uint32_t limit);
    void Report(ExplodeStatus status);

    tcBitstream* m_bitReader;
    DecoderLineSink m_lines;
    ExplodeStatus m_status = ExplodeStatus::kOk;
    std::uint32_t m_dictionaryBits = 0;
    std::uint32_t m_windowSize = 0;
    std::uint32_t m_writePosition = 0;
    std::uint32_t m_cutLength = 0; // bytes of a match still owed when the limit cut it
    std::uint32_t m_cutDistance = 0;
    // The most recent output, circular over the first window-size bytes. It starts zeroed, so a
    // stream that refers back past its first byte reads zeros.
    std::array<std::uint8_t, 4096> m_window{};
};

} // namespace sv
