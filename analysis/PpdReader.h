#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct ppd_file_s ppd_file_t;

/// A PPD file read with libcups, plain or gzip-compressed, never through a shell.
class PpdReader {
public:
    /// Reads the PPD at a system path; get() is null when it cannot be read as a PPD.
    static PpdReader open(const std::string& systemPath);

    /// Reads a PPD from its bytes, plain or gzip-compressed; get() is null when they are no PPD.
    static PpdReader fromBytes(const std::string& bytes);

    /// The record, or null.
    const ppd_file_t* get() const { return mPpd.get(); }

    /// The values of the PPD's cupsFilter lines, as libcups gives them.
    static std::vector<std::string> filtersOf(const ppd_file_t* ppd);

private:
    static PpdReader fromGzipBytes(const std::string& bytes);

    struct Closer {
        void operator()(ppd_file_t* ppd) const;
    };
    explicit PpdReader(ppd_file_t* ppd) : mPpd(ppd) {}

    std::unique_ptr<ppd_file_t, Closer> mPpd;
};
