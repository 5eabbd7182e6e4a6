#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every integer in a BOM file is big-endian. The readers here expect the caller to have checked that
// the bytes exist.
namespace bom {

inline uint16_t readU16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                 static_cast<unsigned char>(bytes[at + 1]));
}

inline uint32_t readU32(std::string_view bytes, size_t at) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

inline void appendU8(std::string& out, uint8_t value) {
    out.push_back(static_cast<char>(value));
}

inline void appendU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value & 0xFF));
}

inline void appendU32(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>((value >> 16) & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

inline void writeU32(std::string& out, size_t at, uint32_t value) {
    out[at] = static_cast<char>(value >> 24);
    out[at + 1] = static_cast<char>((value >> 16) & 0xFF);
    out[at + 2] = static_cast<char>((value >> 8) & 0xFF);
    out[at + 3] = static_cast<char>(value & 0xFF);
}

} // namespace bom
