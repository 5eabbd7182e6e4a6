#include "receipts/BomEntry.h"

#include "receipts/Cksum.h"

BomEntry BomEntry::file(std::string path, std::string_view content, uint16_t mode) {
    BomEntry entry;
    entry.path = std::move(path);
    entry.type = Type::File;
    entry.mode = mode;
    entry.size = content.size();
    entry.checksum = Cksum::of(content);
    return entry;
}

BomEntry BomEntry::directory(std::string path, uint16_t mode) {
    BomEntry entry;
    entry.path = std::move(path);
    entry.type = Type::Directory;
    entry.mode = mode;
    return entry;
}

BomEntry BomEntry::link(std::string path, std::string target, uint16_t mode) {
    BomEntry entry;
    entry.path = std::move(path);
    entry.type = Type::Link;
    entry.mode = mode;
    entry.size = target.size();
    entry.checksum = Cksum::of(target);
    entry.linkTarget = std::move(target);
    return entry;
}
