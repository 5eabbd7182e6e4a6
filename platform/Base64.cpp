#include "platform/Base64.h"

#include <openssl/bio.h>
#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace base64 {

namespace {

struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free_all(bio); }
};

} // namespace

std::optional<std::string> decode(std::string_view text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return std::nullopt;
    }
    BIO* source = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
    if (source == nullptr) {
        return std::nullopt;
    }
    BIO* decoder = BIO_new(BIO_f_base64());
    if (decoder == nullptr) {
        BIO_free(source);
        return std::nullopt;
    }
    const std::unique_ptr<BIO, BioDeleter> chain(BIO_push(decoder, source));
    std::string decoded;
    char buffer[16384];
    for (;;) {
        const int got = BIO_read(chain.get(), buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        decoded.append(buffer, static_cast<size_t>(got));
    }
    if (decoded.empty()) {
        return std::nullopt;
    }
    return decoded;
}

} // namespace base64
