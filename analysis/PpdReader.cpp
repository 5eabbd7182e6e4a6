#include "analysis/PpdReader.h"

#include "platform/FileManager.h"
#include "platform/MemoryFile.h"

// The PPD interface of libcups is marked deprecated, but it is the one that reads PPD files.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/file.h>
#include <cups/ppd.h>

#include <zlib.h>

namespace {

constexpr size_t kMaxPpdSize = 64u << 20;

ppd_file_t* readFromDescriptor(UniqueFd fd) {
    if (!fd.valid()) {
        return nullptr;
    }
    cups_file_t* file = cupsFileOpenFd(fd.get(), "r");
    if (file == nullptr) {
        return nullptr;
    }
    fd.release(); // the cups file owns it now
    ppd_file_t* ppd = ppdOpen2(file);
    cupsFileClose(file);
    return ppd;
}

// A zlib stream set up for gzip data, ended however the inflating ends.
class GzipStream {
public:
    GzipStream() { mReady = inflateInit2(&mStream, 15 + 32) == Z_OK; }
    ~GzipStream() {
        if (mReady) {
            inflateEnd(&mStream);
        }
    }
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    bool ready() const { return mReady; }
    z_stream& stream() { return mStream; }

private:
    z_stream mStream{};
    bool mReady = false;
};

// Inflates gzip data (one member or several) in memory; empty on any error or past the size limit.
std::string gunzip(const std::string& compressed) {
    GzipStream gzip;
    if (!gzip.ready()) {
        return {};
    }
    z_stream& stream = gzip.stream();
    std::string out;
    char buffer[65536];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if ((status != Z_OK && status != Z_STREAM_END) ||
            out.size() + (sizeof buffer - stream.avail_out) > kMaxPpdSize) {
            return {};
        }
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (status == Z_STREAM_END) {
            // Another gzip member may follow.
            if (stream.avail_in == 0 || inflateReset(&stream) != Z_OK) {
                return out;
            }
        } else if (stream.avail_in == 0 && stream.avail_out != 0) {
            return {}; // the data ended inside a member
        }
    }
}

} // namespace

void PpdReader::Closer::operator()(ppd_file_t* ppd) const {
    ppdClose(ppd);
}

PpdReader PpdReader::open(const std::string& systemPath) {
    // libcups recognises gzip data by its content and inflates it itself.
    if (ppd_file_t* ppd = readFromDescriptor(FileManager::openForReading(systemPath))) {
        return PpdReader(ppd);
    }
    const std::optional<std::string> bytes = FileManager::contentsAtPath(systemPath, kMaxPpdSize);
    return bytes ? fromGzipBytes(*bytes) : PpdReader(nullptr);
}

PpdReader PpdReader::fromBytes(const std::string& bytes) {
    if (ppd_file_t* ppd = readFromDescriptor(MemoryFile::create(bytes))) {
        return PpdReader(ppd);
    }
    return fromGzipBytes(bytes);
}

PpdReader PpdReader::fromGzipBytes(const std::string& bytes) {
    // What libcups cannot read itself may still be gzip data it does not recognise.
    if (bytes.size() < 2 || bytes[0] != '\x1f' || bytes[1] != '\x8b') {
        return PpdReader(nullptr);
    }
    const std::string plain = gunzip(bytes);
    if (plain.empty()) {
        return PpdReader(nullptr);
    }
    return PpdReader(readFromDescriptor(MemoryFile::create(plain)));
}

std::vector<std::string> PpdReader::filtersOf(const ppd_file_t* ppd) {
    std::vector<std::string> filters;
    if (ppd == nullptr || ppd->filters == nullptr) {
        return filters;
    }
    for (int i = 0; i < ppd->num_filters; ++i) {
        if (ppd->filters[i] != nullptr) {
            filters.emplace_back(ppd->filters[i]);
        }
    }
    return filters;
}
#pragma GCC diagnostic pop
