#include "Lzss.h"

#include <cstring>

namespace xq {
namespace {

constexpr int N = 4096;          // ring size
constexpr int F = 18;            // longest match
constexpr int THRESHOLD = 2;     // matches this long or shorter go out as literals
constexpr int NIL = N;           // "none" in the match finder's links
constexpr int START = N - F;     // ring position of the first input byte (4078)
constexpr int GROUP_IN_MAX = 17; // flag byte + 8 two-byte matches
constexpr int GROUP_OUT_MAX = 8 * F;

// Encoder work areas. Positions N .. N + F - 2 mirror 0 .. F - 2 so that an 18-byte comparison
// never wraps.
//
// The match finder keeps the positions of the window in insertion order, and looks for the
// oldest position that gives the longest match; a full-length match puts the new position in
// the old one's place. Only matches of 3 bytes or more count, so the positions are kept in
// lists per hash of their first three bytes (each list keeps the insertion order of its
// positions), which finds the same match as walking every position with the same first byte.
constexpr int HASH_BITS = 13;
constexpr int HASH_SIZE = 1 << HASH_BITS;
constexpr int16_t NOT_IN_FINDER = -1;

uint8_t ring[N + F - 1];
int16_t next_node[N];
int16_t prev_node[N];
int16_t bucket_of[N]; // the list a position is in, or NOT_IN_FINDER
int16_t bucket_head[HASH_SIZE];
int16_t bucket_tail[HASH_SIZE];
int match_position;
int match_length;

void InitFinder() {
    for (int i = 0; i < N; ++i) bucket_of[i] = NOT_IN_FINDER;
    for (int i = 0; i < HASH_SIZE; ++i) bucket_head[i] = bucket_tail[i] = NIL;
}

inline int Hash(const uint8_t* key) {
    const uint32_t v = uint32_t{key[0]} << 16 | uint32_t{key[1]} << 8 | key[2];
    return static_cast<int>((v * 2654435761u) >> (32 - HASH_BITS));
}

// Links node r into list h between before and after (either may be NIL).
void Link(int r, int h, int before, int after) {
    prev_node[r] = static_cast<int16_t>(before);
    next_node[r] = static_cast<int16_t>(after);
    bucket_of[r] = static_cast<int16_t>(h);
    if (before != NIL)
        next_node[before] = static_cast<int16_t>(r);
    else
        bucket_head[h] = static_cast<int16_t>(r);
    if (after != NIL)
        prev_node[after] = static_cast<int16_t>(r);
    else
        bucket_tail[h] = static_cast<int16_t>(r);
}

// Adds position r and records the longest match of 3 or more bytes (the oldest position wins
// ties); match_length stays 0 when there is none.
void Insert(int r) {
    const uint8_t* key = &ring[r];
    match_length = 0;
    const int h = Hash(key);
    for (int p = bucket_head[h]; p != NIL; p = next_node[p]) {
        // Only a longer match matters: a position that differs at the current length is passed
        // over without a full comparison.
        if (match_length > 0 && key[match_length] != ring[p + match_length]) continue;
        int i = 0;
        while (i < F && key[i] == ring[p + i]) ++i;
        if (i <= THRESHOLD || i <= match_length) continue;
        match_position = p;
        match_length = i;
        if (i == F) {
            Link(r, h, prev_node[p], next_node[p]);
            bucket_of[p] = NOT_IN_FINDER;
            return;
        }
    }
    Link(r, h, bucket_tail[h], NIL);
}

void Remove(int p) {
    const int h = bucket_of[p];
    if (h == NOT_IN_FINDER) return;
    const int before = prev_node[p];
    const int after = next_node[p];
    if (before != NIL)
        next_node[before] = static_cast<int16_t>(after);
    else
        bucket_head[h] = static_cast<int16_t>(after);
    if (after != NIL)
        prev_node[after] = static_cast<int16_t>(before);
    else
        bucket_tail[h] = static_cast<int16_t>(before);
    bucket_of[p] = NOT_IN_FINDER;
}

// What a decoder's ring holds at a position never written in this call.
inline uint8_t InitialRingByte(int position) {
    return position < START ? 0x20 : 0x00;
}

// Decoded bytes go straight to the destination; the ring is never materialised. The ring
// position of output byte o is (START + o) mod N, so a match at ring position pos read at output
// o starts d = (START + o - pos) mod N bytes back (d = 0 meaning a full window, N). Bytes from
// before the first output come from the ring's initial contents.
template <bool Reversed> struct Output {
    uint8_t* dest;
    uint32_t size;

    uint8_t& At(uint32_t o) const { return Reversed ? dest[size - 1 - o] : dest[o]; }

    // Copies len bytes of a match; the caller has checked that o + len <= size.
    void CopyMatch(uint32_t o, int pos, int len) const {
        int d = static_cast<int>((START + o - static_cast<uint32_t>(pos)) & (N - 1));
        if (d == 0) d = N;
        int k = 0;
        if (o < static_cast<uint32_t>(d)) {
            // The first bytes lie before the start of the output.
            const int before = d - static_cast<int>(o);
            for (; k < len && k < before; ++k) At(o + k) = InitialRingByte((pos + k) & (N - 1));
        }
        if (!Reversed) {
            uint8_t* to = dest + o;
            const uint8_t* from = to - d;
            for (; k < len; ++k) to[k] = from[k]; // byte by byte: a match may overlap itself
        } else {
            for (; k < len; ++k) At(o + k) = At(o + k - d);
        }
    }
};

// Decodes item by item with every bound checked, starting at a group boundary.
template <bool Reversed>
uint32_t DecodeChecked(const uint8_t* packed, uint32_t packedSize, const Output<Reversed>& out,
                       uint32_t in, uint32_t o) {
    unsigned flags = 0;
    while (o < out.size) {
        flags >>= 1;
        if (!(flags & 0x100)) {
            if (in >= packedSize) break;
            flags = packed[in++] | 0xFF00u;
        }
        if (flags & 1) {
            if (in >= packedSize) break;
            out.At(o++) = packed[in++];
        } else {
            if (packedSize - in < 2) break;
            const int b0 = packed[in];
            const int b1 = packed[in + 1];
            in += 2;
            const int pos = b0 | ((b1 & 0xF0) << 4);
            int len = (b1 & 0x0F) + THRESHOLD + 1;
            if (static_cast<uint32_t>(len) > out.size - o) len = static_cast<int>(out.size - o);
            out.CopyMatch(o, pos, len);
            o += static_cast<uint32_t>(len);
        }
    }
    return o;
}

} // namespace

bool LzssEncode(const uint8_t* src, uint32_t size, uint8_t* out, size_t capacity,
                uint32_t* packedSize) {
    *packedSize = 0;
    InitFinder();
    std::memset(ring, 0x20, START);
    std::memset(ring + START, 0x00, F);
    std::memset(ring + N, 0x20, F - 1);

    int s = 0;
    int r = START;
    int len = 0;
    uint32_t pos = 0;
    while (len < F && pos < size) ring[r + len++] = src[pos++];
    if (len == 0) return true;

    for (int i = 1; i <= F; ++i) Insert(r - i);
    Insert(r);

    uint8_t group[GROUP_IN_MAX];
    int groupLength = 1;
    uint8_t mask = 1;
    group[0] = 0;
    size_t written = 0;
    auto flushGroup = [&]() {
        if (capacity - written < static_cast<size_t>(groupLength)) return false;
        std::memcpy(out + written, group, static_cast<size_t>(groupLength));
        written += static_cast<size_t>(groupLength);
        group[0] = 0;
        groupLength = 1;
        mask = 1;
        return true;
    };

    while (len > 0) {
        if (match_length > len) match_length = len;
        if (match_length <= THRESHOLD) {
            match_length = 1;
            group[0] |= mask;
            group[groupLength++] = ring[r];
        } else {
            group[groupLength++] = static_cast<uint8_t>(match_position & 0xFF);
            group[groupLength++] = static_cast<uint8_t>(((match_position >> 4) & 0xF0) |
                                                        (match_length - (THRESHOLD + 1)));
        }
        mask = static_cast<uint8_t>(mask << 1);
        if (mask == 0 && !flushGroup()) return false;

        const int last = match_length;
        int i = 0;
        for (; i < last && pos < size; ++i) {
            const uint8_t c = src[pos++];
            Remove(s);
            ring[s] = c;
            if (s < F - 1) ring[s + N] = c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            Insert(r);
        }
        for (; i < last; ++i) {
            Remove(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len) Insert(r);
        }
    }
    if (groupLength > 1 && !flushGroup()) return false;
    *packedSize = static_cast<uint32_t>(written);
    return true;
}

uint32_t LzssDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                    uint32_t unpackedSize) {
    return DecodeChecked(packed, packedSize, Output<false>{dest, unpackedSize}, 0, 0);
}

uint32_t LzssDecodeReversed(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                            uint32_t unpackedSize) {
    return DecodeChecked(packed, packedSize, Output<true>{dest, unpackedSize}, 0, 0);
}

uint32_t LzssDecodeFast(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                        uint32_t unpackedSize) {
    const Output<false> out{dest, unpackedSize};
    uint32_t in = 0;
    uint32_t o = 0;
    // A whole group reads at most GROUP_IN_MAX bytes and writes at most GROUP_OUT_MAX bytes, so
    // while that much is left no item needs a check of its own.
    while (packedSize - in >= GROUP_IN_MAX && unpackedSize - o >= GROUP_OUT_MAX) {
        unsigned flags = packed[in++];
        for (int item = 0; item < 8; ++item, flags >>= 1) {
            if (flags & 1) {
                dest[o++] = packed[in++];
            } else {
                const int b0 = packed[in];
                const int b1 = packed[in + 1];
                in += 2;
                const int len = (b1 & 0x0F) + THRESHOLD + 1;
                out.CopyMatch(o, b0 | ((b1 & 0xF0) << 4), len);
                o += static_cast<uint32_t>(len);
            }
        }
    }
    return DecodeChecked(packed, packedSize, out, in, o);
}

} // namespace xq
