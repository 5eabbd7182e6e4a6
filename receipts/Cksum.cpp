#include "receipts/Cksum.h"

#include <array>

namespace {

// Polynomial 0x04C11DB7, most significant bit first, as POSIX defines cksum.
constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = makeTable();

uint32_t step(uint32_t crc, unsigned char byte) {
    return (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
}

// The CRC is the remainder of the data as a polynomial over GF(2); a zero byte multiplies it by x^8.
// a * b modulo the polynomial, each of degree below 32 (bit 31 is x^31).
uint32_t multiply(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (int bit = 31; bit >= 0; --bit) {
        product = (product & 0x80000000u) != 0 ? (product << 1) ^ 0x04C11DB7u : product << 1;
        if (((b >> bit) & 1u) != 0) {
            product ^= a;
        }
    }
    return product;
}

} // namespace

void Cksum::update(std::string_view data) {
    uint32_t crc = mCrc;
    for (const char c : data) {
        crc = step(crc, static_cast<unsigned char>(c));
    }
    mCrc = crc;
    mLength += data.size();
}

void Cksum::updateZeros(uint64_t count) {
    // x^(8 * count) by squaring, then one multiplication.
    uint32_t power = 1;
    uint32_t square = 0x100; // x^8
    for (uint64_t rest = count; rest != 0; rest >>= 1) {
        if ((rest & 1) != 0) {
            power = multiply(power, square);
        }
        square = multiply(square, square);
    }
    mCrc = multiply(mCrc, power);
    mLength += count;
}

uint32_t Cksum::value() const {
    uint32_t crc = mCrc;
    // The length follows the data, least significant byte first, in as few bytes as it needs.
    for (uint64_t length = mLength; length != 0; length >>= 8) {
        crc = step(crc, static_cast<unsigned char>(length & 0xFF));
    }
    return ~crc;
}

uint32_t Cksum::of(std::string_view data) {
    Cksum sum;
    sum.update(data);
    return sum.value();
}
