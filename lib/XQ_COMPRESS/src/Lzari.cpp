#include "Lzari.h"

#include <cstring>

namespace xq {
namespace {

constexpr int N = 4096;      // ring size
constexpr int F = 60;        // lookahead, longest match
constexpr int THRESHOLD = 2; // matches this long or shorter go out as literals
constexpr int NIL = N;
constexpr int START = N - F; // ring position of the first input byte (4036)

constexpr int N_CHAR = 256 - THRESHOLD + F; // 314 characters: bytes and match lengths 3..60
constexpr uint32_t Q1 = 1u << 15;
constexpr uint32_t Q2 = 2 * Q1;
constexpr uint32_t Q3 = 3 * Q1;
constexpr uint32_t Q4 = 4 * Q1;
constexpr uint32_t MAX_CUM = Q1 - 1;
constexpr int VALUE_BITS = 17;

// ---- Match finder (encoder) -------------------------------------------------------------------
// A binary search tree per first byte over ring positions; the root of byte c is node
// N + 1 + c and hangs its tree on its right link. Positions N .. N + F - 2 mirror 0 .. F - 2.

uint8_t ring[N + F - 1];
int16_t parent[N + 1];
int16_t left[N + 1 + 256];
int16_t right[N + 1 + 256];
int match_position; // a distance back from the current position, 1 .. N - 1
int match_length;

void InitFinder() {
    for (int i = 0; i <= N; ++i) parent[i] = NIL;
    for (int i = N + 1; i < N + 1 + 256; ++i) right[i] = left[i] = NIL;
}

// Places node r where node p was; p leaves the tree.
void ReplaceNode(int p, int r) {
    parent[r] = parent[p];
    left[r] = left[p];
    right[r] = right[p];
    if (left[p] != NIL) parent[left[p]] = static_cast<int16_t>(r);
    if (right[p] != NIL) parent[right[p]] = static_cast<int16_t>(r);
    if (right[parent[p]] == p)
        right[parent[p]] = static_cast<int16_t>(r);
    else
        left[parent[p]] = static_cast<int16_t>(r);
    parent[p] = NIL;
}

// Inserts position r, recording the longest match of more than THRESHOLD bytes (the nearest
// one among equals). A full-length match puts r in that node's place.
void Insert(int r) {
    const uint8_t* key = &ring[r];
    left[r] = right[r] = NIL;
    match_length = 0;
    int p = N + 1 + key[0];
    int cmp = 1;
    for (;;) {
        int16_t* link = cmp >= 0 ? &right[p] : &left[p];
        if (*link == NIL) {
            *link = static_cast<int16_t>(r);
            parent[r] = static_cast<int16_t>(p);
            return;
        }
        p = *link;
        int i = 1;
        for (; i < F; ++i) {
            cmp = key[i] - ring[p + i];
            if (cmp != 0) break;
        }
        if (i > THRESHOLD) {
            const int distance = (r - p) & (N - 1);
            if (i > match_length) {
                match_position = distance;
                match_length = i;
                if (i >= F) {
                    ReplaceNode(p, r);
                    return;
                }
            } else if (i == match_length && distance < match_position) {
                match_position = distance;
            }
        }
    }
}

void Remove(int p) {
    if (parent[p] == NIL) return;
    int q;
    if (right[p] == NIL) {
        q = left[p];
    } else if (left[p] == NIL) {
        q = right[p];
    } else {
        // Two children: the rightmost node of the left subtree takes p's place.
        q = left[p];
        if (right[q] != NIL) {
            while (right[q] != NIL) q = right[q];
            right[parent[q]] = left[q];
            if (left[q] != NIL) parent[left[q]] = parent[q];
            left[q] = left[p];
            parent[left[p]] = static_cast<int16_t>(q);
        }
        right[q] = right[p];
        parent[right[p]] = static_cast<int16_t>(q);
    }
    if (q != NIL) parent[q] = parent[p];
    if (right[parent[p]] == p)
        right[parent[p]] = static_cast<int16_t>(q);
    else
        left[parent[p]] = static_cast<int16_t>(q);
    parent[p] = NIL;
}

// ---- Models -----------------------------------------------------------------------------------
// Symbols 1 .. N_CHAR; sym_cum[s - 1] = sym_cum[s] + sym_freq[s], sym_cum[0] is the total.
// sym_freq[0] = 0 stops the search for equal frequencies.

int char_to_sym[N_CHAR];
int sym_to_char[N_CHAR + 1];
uint32_t sym_freq[N_CHAR + 1];
uint32_t sym_cum[N_CHAR + 1];
uint32_t position_cum[N + 1];

void StartModel() {
    sym_cum[N_CHAR] = 0;
    for (int sym = N_CHAR; sym >= 1; --sym) {
        const int ch = sym - 1;
        char_to_sym[ch] = sym;
        sym_to_char[sym] = ch;
        sym_freq[sym] = 1;
        sym_cum[sym - 1] = sym_cum[sym] + sym_freq[sym];
    }
    sym_freq[0] = 0;
    position_cum[N] = 0;
    for (int i = N; i >= 1; --i) position_cum[i - 1] = position_cum[i] + 10000 / (i + 200);
}

void UpdateModel(int sym) {
    if (sym_cum[0] >= MAX_CUM) {
        uint32_t c = 0;
        for (int i = N_CHAR; i > 0; --i) {
            sym_cum[i] = c;
            sym_freq[i] = (sym_freq[i] + 1) / 2;
            c += sym_freq[i];
        }
        sym_cum[0] = c;
    }
    int i = sym;
    while (sym_freq[i] == sym_freq[i - 1]) --i;
    if (i < sym) {
        const int ch_i = sym_to_char[i];
        const int ch_sym = sym_to_char[sym];
        sym_to_char[i] = ch_sym;
        sym_to_char[sym] = ch_i;
        char_to_sym[ch_i] = sym;
        char_to_sym[ch_sym] = i;
    }
    ++sym_freq[i];
    while (--i >= 0) ++sym_cum[i];
}

// ---- Encoder ----------------------------------------------------------------------------------

struct BitWriter {
    uint8_t* out;
    size_t capacity;
    size_t written = 0;
    bool overflow = false;
    uint8_t buffer = 0;
    uint8_t mask = 128;

    void Put(bool bit) {
        if (bit) buffer |= mask;
        mask >>= 1;
        if (mask == 0) {
            if (written < capacity)
                out[written++] = buffer;
            else
                overflow = true;
            buffer = 0;
            mask = 128;
        }
    }
};

struct Encoder {
    BitWriter bits;
    uint32_t low = 0;
    uint32_t high = Q4;
    uint32_t shifts = 0;

    // Emits a decided bit, then the pending opposite bits.
    void Output(bool bit) {
        bits.Put(bit);
        for (; shifts > 0; --shifts) bits.Put(!bit);
    }

    void Narrow(uint32_t cumHigh, uint32_t cumLow, uint32_t total) {
        const uint32_t range = high - low;
        high = low + range * cumHigh / total;
        low += range * cumLow / total;
        for (;;) {
            if (high <= Q2) {
                Output(false);
            } else if (low >= Q2) {
                Output(true);
                low -= Q2;
                high -= Q2;
            } else if (low >= Q1 && high <= Q3) {
                ++shifts;
                low -= Q1;
                high -= Q1;
            } else {
                break;
            }
            low += low;
            high += high;
        }
    }

    void EncodeChar(int ch) {
        const int sym = char_to_sym[ch];
        Narrow(sym_cum[sym - 1], sym_cum[sym], sym_cum[0]);
        UpdateModel(sym);
    }

    void EncodePosition(int position) {
        Narrow(position_cum[position], position_cum[position + 1], position_cum[0]);
    }

    // Two more bits pick a quarter inside the final interval; seven zero bits complete the
    // last byte. Whatever a decoder reads past the end then decodes the same.
    void Finish() {
        ++shifts;
        Output(low >= Q1);
        for (int i = 0; i < 7; ++i) bits.Put(false);
    }
};

// ---- Decoder ----------------------------------------------------------------------------------

struct BitReader {
    const uint8_t* in;
    uint32_t size;
    uint32_t pos = 0;
    unsigned buffer = 0;
    unsigned mask = 0;

    unsigned Get() {
        mask >>= 1;
        if (mask == 0) {
            buffer = pos < size ? in[pos++] : 0;
            mask = 128;
        }
        return (buffer & mask) != 0;
    }
};

struct Decoder {
    BitReader bits;
    uint32_t low = 0;
    uint32_t high = Q4;
    uint32_t value = 0;

    void Start() {
        for (int i = 0; i < VALUE_BITS; ++i) value = 2 * value + bits.Get();
    }

    // The cumulative frequency the current value points at, scaled to total.
    uint32_t Target(uint32_t total) const { return ((value - low + 1) * total - 1) / (high - low); }

    void Narrow(uint32_t cumHigh, uint32_t cumLow, uint32_t total) {
        const uint32_t range = high - low;
        high = low + range * cumHigh / total;
        low += range * cumLow / total;
        for (;;) {
            if (low >= Q2) {
                value -= Q2;
                low -= Q2;
                high -= Q2;
            } else if (low >= Q1 && high <= Q3) {
                value -= Q1;
                low -= Q1;
                high -= Q1;
            } else if (high > Q2) {
                break;
            }
            low += low;
            high += high;
            value = 2 * value + bits.Get();
        }
    }

    int DecodeChar() {
        // The symbol s with sym_cum[s] <= target < sym_cum[s - 1]; the table falls with s.
        const uint32_t target = Target(sym_cum[0]);
        int i = 1;
        int j = N_CHAR;
        while (i < j) {
            const int k = (i + j) / 2;
            if (sym_cum[k] > target)
                i = k + 1;
            else
                j = k;
        }
        const int sym = i;
        Narrow(sym_cum[sym - 1], sym_cum[sym], sym_cum[0]);
        const int ch = sym_to_char[sym];
        UpdateModel(sym);
        return ch;
    }

    int DecodePosition() {
        const uint32_t target = Target(position_cum[0]);
        int i = 1;
        int j = N;
        while (i < j) {
            const int k = (i + j) / 2;
            if (position_cum[k] > target)
                i = k + 1;
            else
                j = k;
        }
        const int position = i - 1;
        Narrow(position_cum[position], position_cum[position + 1], position_cum[0]);
        return position;
    }
};

} // namespace

bool LzariEncode(const uint8_t* src, uint32_t size, uint8_t* out, size_t capacity,
                 uint32_t* packedSize) {
    *packedSize = 0;
    if (size == 0) return true;

    StartModel();
    InitFinder();
    std::memset(ring, 0x20, START);
    std::memset(ring + START, 0x00, F);
    std::memset(ring + N, 0x20, F - 1);

    Encoder coder{BitWriter{out, capacity}};
    int s = 0;
    int r = START;
    int len = 0;
    uint32_t pos = 0;
    while (len < F && pos < size) ring[r + len++] = src[pos++];

    for (int i = 1; i <= F; ++i) Insert(r - i);
    Insert(r);
    while (len > 0 && !coder.bits.overflow) {
        if (match_length > len) match_length = len;
        if (match_length <= THRESHOLD) {
            match_length = 1;
            coder.EncodeChar(ring[r]);
        } else {
            coder.EncodeChar(255 - THRESHOLD + match_length);
            coder.EncodePosition(match_position - 1);
        }
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
    coder.Finish();
    if (coder.bits.overflow) return false;
    *packedSize = static_cast<uint32_t>(coder.bits.written);
    return true;
}

uint32_t LzariDecode(const uint8_t* packed, uint32_t packedSize, uint8_t* dest,
                     uint32_t unpackedSize) {
    if (unpackedSize == 0) return 0;
    StartModel();
    Decoder coder{BitReader{packed, packedSize}};
    coder.Start();

    // Output byte o sits at ring position (START + o) mod N; a match at distance d copies from
    // output o - d, or from the ring's initial contents (spaces, then zeros) before the start.
    uint32_t o = 0;
    while (o < unpackedSize) {
        const int ch = coder.DecodeChar();
        if (ch < 256) {
            dest[o++] = static_cast<uint8_t>(ch);
            continue;
        }
        const uint32_t distance = static_cast<uint32_t>(coder.DecodePosition()) + 1;
        uint32_t len = static_cast<uint32_t>(ch - (255 - THRESHOLD));
        if (len > unpackedSize - o) len = unpackedSize - o;
        for (uint32_t k = 0; k < len; ++k, ++o) {
            if (o >= distance) {
                dest[o] = dest[o - distance];
            } else {
                const uint32_t ringPos = (START + o - distance) & (N - 1);
                dest[o] = ringPos < static_cast<uint32_t>(START) ? 0x20 : 0x00;
            }
        }
    }
    return o;
}

} // namespace xq
