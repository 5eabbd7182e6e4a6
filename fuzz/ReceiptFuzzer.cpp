// A receipt property list: any bytes give a receipt or none, never a crash; whatever a receipt holds,
// its fields read back as text or numbers.

#include "fuzz/Touch.h"
#include "receipts/ReceiptDatabase.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<ReceiptDatabase::Receipt> receipt =
        ReceiptDatabase::parse("com.torva.pkg.Fuzz", "/var/db/receipts",
                               std::string_view(reinterpret_cast<const char*>(data), size));
    if (!receipt) {
        return 0;
    }
    fuzzing::require(receipt->info.isDictionary(), "a receipt is a dictionary");
    fuzzing::touch(receipt->packageIdentifier());
    fuzzing::touch(receipt->version());
    fuzzing::touch(receipt->installPrefixPath());
    for (const std::string& group : receipt->groups()) {
        fuzzing::touch(group);
    }
    const int64_t installTime = receipt->installTime();
    fuzzing::require(installTime > -1000000000000000000 && installTime < 1000000000000000000,
                     "an install time is one a clock can show");
    return 0;
}
