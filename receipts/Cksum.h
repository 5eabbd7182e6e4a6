#pragma once

#include <cstdint>
#include <string_view>

/// The CRC of POSIX `cksum`, which BOM files store for file contents and link targets.
///
/// Feed the data in any number of pieces, then take value(); the length is mixed in at the end, as
/// cksum does, so value() may be asked only once the data is complete.
class Cksum {
public:
    void update(std::string_view data);

    /// The same as update() with `count` zero bytes, in time that grows with the number of bits of
    /// `count` only (the holes of a sparse file).
    void updateZeros(uint64_t count);

    /// The checksum of everything fed so far (the empty input gives 0xFFFFFFFF).
    uint32_t value() const;

    /// The checksum of one piece of data.
    static uint32_t of(std::string_view data);

private:
    uint32_t mCrc = 0;
    uint64_t mLength = 0;
};
