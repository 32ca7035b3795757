#pragma once
// Hand-made zlib streams that lenient inflaters accept and zlib refuses, for
// the tests and the fuzz seeds: each carries a right Adler-32, so only the
// deflate rules themselves tell it apart from a sound stream.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

// Deflate's bit order: fields least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    Bytes Finish() {
        if (m_used) m_bytes.push_back(m_current);
        m_used = 0;
        m_current = 0;
        return m_bytes;
    }

private:
    void Bit(uint32_t bit) {
        m_current = static_cast<unsigned char>(m_current | bit << m_used);
        if (++m_used == 8) {
            m_bytes.push_back(m_current);
            m_used = 0;
            m_current = 0;
        }
    }
    Bytes m_bytes;
    unsigned char m_current = 0;
    int m_used = 0;
};

inline uint32_t Adler32(const std::string& data) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// The zlib wrapper around deflate data of plain: header 78 01, then the
// Adler-32 of plain, big-endian.
inline Bytes Wrapped(const Bytes& deflate, const std::string& plain) {
    Bytes stream = {0x78, 0x01};
    stream.insert(stream.end(), deflate.begin(), deflate.end());
    const uint32_t adler = Adler32(plain);
    for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<unsigned char>(adler >> shift));
    return stream;
}

// A zlib stream of "AAAA" in one dynamic block: literal 'A' and the end of
// block have codes of one bit, and the one distance code has one bit. The
// code lengths are sent with the code-length code {18: "0", 1: "10", 16: "11"}.
// With overrun, the last code length is sent as "repeat the previous length
// 3 times" where one length is left: a repeat that runs past HLIT + HDIST,
// which zlib refuses ("invalid bit length repeat", Z_DATA_ERROR) and some
// inflaters take as if it stopped in time.
inline Bytes DynamicBlockStream(bool overrun) {
    BitWriter w;
    w.Bits(1, 1);   // BFINAL
    w.Bits(2, 2);   // BTYPE: dynamic Huffman
    w.Bits(0, 5);   // HLIT: 257 literal/length codes
    w.Bits(0, 5);   // HDIST: 1 distance code
    w.Bits(15, 4);  // HCLEN: all 19 code-length code lengths
    // Code-length code lengths in their sending order.
    const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (int symbol : order) w.Bits(symbol == 18 ? 1 : (symbol == 1 || symbol == 16) ? 2 : 0, 3);
    auto zeros = [&](int n) {  // code 18: 11 to 138 zeros
        w.Code(0, 1);
        w.Bits(static_cast<uint32_t>(n - 11), 7);
    };
    auto one = [&] { w.Code(2, 2); };
    zeros(65);   // 0-64
    one();       // 'A'
    zeros(138);  // 66-203
    zeros(52);   // 204-255
    one();       // end of block
    if (overrun) {
        w.Code(3, 2);  // code 16: repeat the previous length 3 (+0) times, with one left
        w.Bits(0, 2);
    } else {
        one();  // distance code 0
    }
    for (int i = 0; i < 4; ++i) w.Code(0, 1);  // 'A'
    w.Code(1, 1);                              // end of block
    return Wrapped(w.Finish(), "AAAA");
}

// A stream of "AB" in one fixed-Huffman block that uses literal/length code
// 286, which deflate reserves: zlib refuses it ("invalid literal/length
// code").
inline Bytes ReservedLengthCodeStream() {
    BitWriter w;
    w.Bits(1, 1);  // BFINAL
    w.Bits(1, 2);  // BTYPE: fixed Huffman
    w.Code(0x30 + 'A', 8);
    w.Code(0xC0 + (286 - 280), 8);  // codes 280-287 are 11000000 on
    w.Code(0, 5);                   // a distance code, for an inflater that takes 286 as a length
    w.Code(0x30 + 'B', 8);
    w.Code(0, 7);  // end of block
    return Wrapped(w.Finish(), "AB");
}

}  // namespace testsupport
