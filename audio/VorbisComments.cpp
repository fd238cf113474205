#include "VorbisComments.h"

#include "io/Paths.h"

#include <array>
#include <cstring>

namespace sv {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutLe32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void SetLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

struct CommentBlock {
    std::string vendor;
    std::vector<std::string> entries; // "KEY=value"
};

// The vendor-and-comments layout shared by both containers; false when it runs past `size`.
bool ParseBlock(const std::uint8_t* p, std::size_t size, CommentBlock& block, std::size_t& used) {
    std::size_t at = 0;
    const auto text = [&](std::string& out) {
        if (size - at < 4) {
            return false;
        }
        const std::uint32_t n = Le32(p + at);
        at += 4;
        if (size - at < n) {
            return false;
        }
        out.assign(reinterpret_cast<const char*>(p + at), n);
        at += n;
        return true;
    };
    if (!text(block.vendor) || size - at < 4) {
        return false;
    }
    const std::uint32_t count = Le32(p + at);
    at += 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string entry;
        if (!text(entry)) {
            return false;
        }
        block.entries.push_back(std::move(entry));
    }
    used = at;
    return true;
}

Bytes BuildBlock(const CommentBlock& block) {
    Bytes out;
    PutLe32(out, static_cast<std::uint32_t>(block.vendor.size()));
    out.insert(out.end(), block.vendor.begin(), block.vendor.end());
    PutLe32(out, static_cast<std::uint32_t>(block.entries.size()));
    for (const std::string& e : block.entries) {
        PutLe32(out, static_cast<std::uint32_t>(e.size()));
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

void Merge(CommentBlock& block, const Comments& comments) {
    for (const auto& [key, value] : comments) {
        const std::string prefix = AsciiLower(key) + "=";
        std::erase_if(block.entries, [&prefix](const std::string& e) {
            return AsciiLower(e.substr(0, prefix.size())) == prefix;
        });
        block.entries.push_back(key + "=" + value);
    }
}

Comments Split(const CommentBlock& block) {
    Comments out;
    for (const std::string& e : block.entries) {
        const std::size_t eq = e.find('=');
        if (eq != std::string::npos) {
            out.emplace_back(e.substr(0, eq), e.substr(eq + 1));
        }
    }
    return out;
}

// ---- FLAC

struct FlacBlock {
    std::uint8_t type;
    std::size_t offset; // of the block's data
    std::size_t size;
};

// The metadata blocks, and where the audio frames start; false when the file is not FLAC.
bool FlacBlocks(const Bytes& file, std::vector<FlacBlock>& blocks, std::size_t& audio) {
    if (file.size() < 4 || std::memcmp(file.data(), "fLaC", 4) != 0) {
        return false;
    }
    std::size_t at = 4;
    for (bool last = false; !last;) {
        if (file.size() - at < 4) {
            return false;
        }
        last = (file[at] & 0x80) != 0;
        const std::size_t size = (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
        if (file.size() - at - 4 < size) {
            return false;
        }
        blocks.push_back({static_cast<std::uint8_t>(file[at] & 0x7F), at + 4, size});
        at += 4 + size;
    }
    audio = at;
    return true;
}

bool AddFlacComments(Bytes& file, const Comments& comments) {
    std::vector<FlacBlock> blocks;
    std::size_t audio = 0;
    if (!FlacBlocks(file, blocks, audio)) {
        return false;
    }
    constexpr std::uint8_t kComment = 4;
    CommentBlock block;
    for (const FlacBlock& b : blocks) {
        std::size_t used = 0;
        if (b.type == kComment && !ParseBlock(&file[b.offset], b.size, block, used)) {
            return false;
        }
    }
    Merge(block, comments);
    const Bytes data = BuildBlock(block);
    if (data.size() >= (1u << 24)) {
        return false;
    }
    Bytes out{'f', 'L', 'a', 'C'};
    const auto emit = [&out](std::uint8_t type, const std::uint8_t* p, std::size_t size) {
        out.insert(out.end(),
                   {type, static_cast<std::uint8_t>(size >> 16),
                    static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
        out.insert(out.end(), p, p + size);
    };
    // STREAMINFO stays first; the comments follow it, then the other blocks.
    std::vector<const FlacBlock*> others;
    for (const FlacBlock& b : blocks) {
        if (b.type != kComment) {
            others.push_back(&b);
        }
    }
    if (others.empty()) {
        return false;
    }
    emit(others[0]->type, &file[others[0]->offset], others[0]->size);
    emit(static_cast<std::uint8_t>(kComment | (others.size() == 1 ? 0x80 : 0)), data.data(),
         data.size());
    for (std::size_t i = 1; i < others.size(); ++i) {
        const auto last = static_cast<std::uint8_t>(i + 1 == others.size() ? 0x80 : 0);
        emit(static_cast<std::uint8_t>(others[i]->type | last), &file[others[i]->offset],
             others[i]->size);
    }
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(audio), file.end());
    file = std::move(out);
    return true;
}

// ---- Ogg

struct OggPage {
    std::size_t offset;
    std::size_t headerSize; // 27 + segments
    std::size_t bodySize;
};

constexpr std::size_t kPageHeader = 27;

bool OggPages(const Bytes& file, std::vector<OggPage>& pages) {
    std::size_t at = 0;
    while (at < file.size()) {
        if (file.size() - at < kPageHeader || std::memcmp(&file[at], "OggS", 4) != 0 ||
            file[at + 4] != 0) {
            return false;
        }
        const std::size_t segments = file[at + 26];
        if (file.size() - at < kPageHeader + segments) {
            return false;
        }
        std::size_t body = 0;
        for (std::size_t i = 0; i < segments; ++i) {
            body += file[at + kPageHeader + i];
        }
        if (file.size() - at - kPageHeader - segments < body) {
            return false;
        }
        pages.push_back({at, kPageHeader + segments, body});
        at += kPageHeader + segments + body;
    }
    return !pages.empty();
}

std::uint32_t OggCrc(const std::uint8_t* p, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) {
                r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
            }
            t[i] = r;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc = (crc << 8) ^ table[((crc >> 24) ^ p[i]) & 0xFF];
    }
    return crc;
}

// Appends a page with `serial` and `sequence` and sets its CRC.
void EmitPage(Bytes& out, std::uint8_t flags, std::uint64_t granule, std::uint32_t serial,
              std::uint32_t sequence, const std::vector<std::uint8_t>& lacing,
              const std::uint8_t* body, std::size_t bodySize) {
    const std::size_t start = out.size();
    out.insert(out.end(), {'O', 'g', 'g', 'S', 0, flags});
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<std::uint8_t>(granule >> (8 * i)));
    }
    PutLe32(out, serial);
    PutLe32(out, sequence);
    PutLe32(out, 0);
    out.push_back(static_cast<std::uint8_t>(lacing.size()));
    out.insert(out.end(), lacing.begin(), lacing.end());
    out.insert(out.end(), body, body + bodySize);
    SetLe32(&out[start + 22], OggCrc(&out[start], out.size() - start));
}

// The first three packets and the index of the page the third one ends; false when they are not
// there or the audio does not start on a fresh page.
bool HeaderPackets(const Bytes& file, const std::vector<OggPage>& pages,
                   std::vector<Bytes>& packets, std::size_t& lastPage) {
    Bytes packet;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const OggPage& page = pages[p];
        const std::uint8_t* lacing = &file[page.offset + kPageHeader];
        const std::uint8_t* body = &file[page.offset + page.headerSize];
        const std::size_t segments = page.headerSize - kPageHeader;
        for (std::size_t s = 0, at = 0; s < segments; at += lacing[s], ++s) {
            packet.insert(packet.end(), body + at, body + at + lacing[s]);
            if (lacing[s] < 255) {
                packets.push_back(std::move(packet));
                packet.clear();
                if (packets.size() == 3) {
                    lastPage = p;
                    return s + 1 == segments;
                }
            }
        }
    }
    return false;
}

// Page 0 holds the identification header and nothing else.
bool AlonePacket(const Bytes& file, const OggPage& page) {
    const std::size_t segments = page.headerSize - kPageHeader;
    for (std::size_t s = 0; s < segments; ++s) {
        if ((file[page.offset + kPageHeader + s] < 255) != (s + 1 == segments)) {
            return false;
        }
    }
    return segments > 0;
}

bool AddOggComments(Bytes& file, const Comments& comments, std::uint32_t serial) {
    std::vector<OggPage> pages;
    std::vector<Bytes> packets;
    std::size_t lastHeaderPage = 0;
    if (!OggPages(file, pages) || !HeaderPackets(file, pages, packets, lastHeaderPage) ||
        lastHeaderPage == 0 || !AlonePacket(file, pages[0])) {
        return false;
    }
    Bytes& tags = packets[1];
    constexpr std::size_t kPrefix = 7; // 0x03 "vorbis"
    CommentBlock block;
    std::size_t used = 0;
    if (tags.size() < kPrefix || std::memcmp(tags.data(), "\x03vorbis", kPrefix) != 0 ||
        !ParseBlock(tags.data() + kPrefix, tags.size() - kPrefix, block, used)) {
        return false;
    }
    Merge(block, comments);
    Bytes rebuilt(tags.begin(), tags.begin() + kPrefix);
    const Bytes data = BuildBlock(block);
    rebuilt.insert(rebuilt.end(), data.begin(), data.end());
    rebuilt.push_back(1); // framing
    tags = std::move(rebuilt);

    Bytes out;
    std::uint32_t sequence = 0;
    EmitPage(
        out, 0x02, 0, serial, sequence++,
        Bytes(file.begin() + 27, file.begin() + static_cast<std::ptrdiff_t>(pages[0].headerSize)),
        &file[pages[0].headerSize], pages[0].bodySize);
    // The comment and setup headers, paged as a stream writer pages them.
    Bytes body;
    Bytes lacing;
    for (std::size_t k = 1; k < 3; ++k) {
        body.insert(body.end(), packets[k].begin(), packets[k].end());
        for (std::size_t left = packets[k].size();; left -= 255) {
            lacing.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(left, 255)));
            if (left < 255) {
                break;
            }
        }
    }
    bool continued = false;
    for (std::size_t seg = 0, at = 0; seg < lacing.size();) {
        const std::size_t n = std::min<std::size_t>(255, lacing.size() - seg);
        const Bytes pageLacing(lacing.begin() + static_cast<std::ptrdiff_t>(seg),
                               lacing.begin() + static_cast<std::ptrdiff_t>(seg + n));
        std::size_t size = 0;
        for (const std::uint8_t l : pageLacing) {
            size += l;
        }
        const bool endsPacket = pageLacing.back() < 255;
        bool anyEnds = false;
        for (const std::uint8_t l : pageLacing) {
            anyEnds = anyEnds || l < 255;
        }
        EmitPage(out, continued ? 0x01 : 0x00, anyEnds ? 0 : ~std::uint64_t{0}, serial, sequence++,
                 pageLacing, body.data() + at, size);
        continued = !endsPacket;
        seg += n;
        at += size;
    }
    // The audio pages as they were, renumbered.
    for (std::size_t p = lastHeaderPage + 1; p < pages.size(); ++p) {
        const std::size_t start = out.size();
        out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(pages[p].offset),
                   file.begin() + static_cast<std::ptrdiff_t>(
                                      pages[p].offset + pages[p].headerSize + pages[p].bodySize));
        SetLe32(&out[start + 14], serial);
        SetLe32(&out[start + 18], sequence++);
        SetLe32(&out[start + 22], 0);
        SetLe32(&out[start + 22], OggCrc(&out[start], out.size() - start));
    }
    file = std::move(out);
    return true;
}

} // namespace

bool AddVorbisComments(std::vector<std::uint8_t>& file, bool ogg, const Comments& comments,
                       std::uint32_t oggSerial) {
    return ogg ? AddOggComments(file, comments, oggSerial) : AddFlacComments(file, comments);
}

Comments ReadVorbisComments(const std::vector<std::uint8_t>& file, bool ogg) {
    CommentBlock block;
    std::size_t used = 0;
    if (ogg) {
        std::vector<OggPage> pages;
        std::vector<Bytes> packets;
        std::size_t last = 0;
        if (OggPages(file, pages) && HeaderPackets(file, pages, packets, last) &&
            packets[1].size() > 7 &&
            ParseBlock(packets[1].data() + 7, packets[1].size() - 7, block, used)) {
            return Split(block);
        }
        return {};
    }
    std::vector<FlacBlock> blocks;
    std::size_t audio = 0;
    if (FlacBlocks(file, blocks, audio)) {
        for (const FlacBlock& b : blocks) {
            if (b.type == 4 && ParseBlock(&file[b.offset], b.size, block, used)) {
                return Split(block);
            }
        }
    }
    return {};
}

} // namespace sv
