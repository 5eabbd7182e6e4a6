#include "catalogue/StartupSearch.h"

#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "common/CommonFunctions.h"
#include "platform/FileManager.h"
#include "platform/SystemVersion.h"

bool StartupSearch::isMacSystem() {
    return FileManager::fileExistsAtPath("/System/Library/CoreServices/SystemVersion.plist") ||
           FileManager::fileExistsAtPath("/Library");
}

StartupSearch::Outcome StartupSearch::run(SearchSoftwareInformationManager& search,
                                          StoreSoftwareInformationManager& store,
                                          const std::function<void()>& beforeStoring) {
    if (!isMacSystem()) {
        return Outcome::NotASystem;
    }
    const int32_t version = systemversion::OSVersion();
    const bool foundFiles = search.searchUnInstallPList(std::string("/Library/Preferences/"));
    // Both searches run, whatever the first one found.
    const bool foundReceipts = search.searchSoftwareUpdateReciepts(CommonFunctions::receiptsFolder(version));
    if (!foundFiles && !foundReceipts) {
        return Outcome::NothingFound;
    }
    if (beforeStoring) {
        beforeStoring();
    }
    if (!store.storeSoftwareInformation(search.getMUnInstallSoftwarePListArray())) {
        return Outcome::NothingFound;
    }
    return Outcome::Found;
}
