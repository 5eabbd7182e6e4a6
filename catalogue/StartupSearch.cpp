#include "catalogue/StartupSearch.h"

#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "platform/SystemVersion.h"

std::string StartupSearch::receiptsFolder(int32_t osVersion) {
    if (osVersion >= 101500) {
        return "/Library/Apple/System/Library/Receipts/";
    }
    if (osVersion >= 101100) {
        return "/System/Library/Receipts/";
    }
    return "/var/db/receipts/";
}

StartupSearch::Outcome StartupSearch::run(SearchSoftwareInformationManager& search,
                                          StoreSoftwareInformationManager& store) {
    const int32_t version = OSVersion();
    const bool foundFiles = search.searchUnInstallPList(std::string("/Library/Preferences/"));
    // Both searches run, whatever the first one found.
    const bool foundReceipts = search.searchSoftwareUpdateReciepts(receiptsFolder(version));
    if (!foundFiles && !foundReceipts) {
        return Outcome::NothingFound;
    }
    if (!store.storeSoftwareInformation(search.getMUnInstallSoftwarePListArray())) {
        return Outcome::NothingFound;
    }
    return Outcome::Found;
}
