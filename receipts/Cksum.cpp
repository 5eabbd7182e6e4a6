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

} // namespace

void Cksum::update(std::string_view data) {
    uint32_t crc = mCrc;
    for (const char c : data) {
        crc = step(crc, static_cast<unsigned char>(c));
    }
    mCrc = crc;
    mLength += data.size();
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
