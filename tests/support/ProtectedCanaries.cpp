#include "tests/support/ProtectedCanaries.h"

#include "platform/Path.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string contentOf(const std::string& path) {
    return "canary at " + path + "\n";
}

std::string readHost(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return in ? buffer.str() : std::string("<missing>");
}

} // namespace

ProtectedCanaries::ProtectedCanaries(const TestSystem& system)
    : mSystem(system), mHostFolder(makeTemporaryFolder("uninstaller-host")) {
    // Each canary with the place it stands for.
    const std::vector<std::pair<std::string, std::string>> canaries = {
        {"/System/Library/Kernels/kernel", "/System/Library/Kernels"},
        {"/System/Library/Extensions/AppleUSB.kext/Contents/Info.plist",
         "/System/Library/Extensions/AppleUSB.kext"},
        {"/usr/libexec/cups/filter/rastertopdf", "/usr/libexec/cups/filter/rastertopdf"},
        {"/bin/sh", "/bin"},
        {"/sbin/launchd", "/sbin"},
        {"/usr/lib/libSystem.B.dylib", "/usr/lib"},
        {"/usr/bin/true", "/usr/bin"},
        {"/private/etc/passwd", "/private/etc"},
        {"/private/var/root/.ssh/authorized_keys", "/private/var/root"},
        {"/var/db/dslocal/nodes/Default/groups/admin.plist", "/var/db/dslocal"},
        {"/Library/Keychains/System.keychain", "/Library/Keychains"},
        {"/Library/Logs/Uninstaller.log", "/Library/Logs/Uninstaller.log"},
        {"/Library/Preferences/SystemConfiguration/preferences.plist",
         "/Library/Preferences/SystemConfiguration"},
        {"/Volumes/Backup/important.doc", "/Volumes/Backup"},
        {"/Users/anna/Documents/thesis.txt", "/Users/anna/Documents"},
        {"/Users/anna/Desktop/notes.txt", "/Users/anna/Desktop"},
        {"/Users/anna/.ssh/id_rsa", "/Users/anna/.ssh"},
        {"/Users/anna/Library/Keychains/login.keychain-db", "/Users/anna/Library/Keychains"},
        {"/Users/anna/Library/Mail/V2/INBOX.mbox", "/Users/anna/Library/Mail"},
        {"/Library/Preferences/com.torva.Other Software.UnInstallList.plist",
         "/Library/Preferences/com.torva.Other Software.UnInstallList.plist"},
        {"/var/db/receipts/com.other.pkg.Thing.bom", "/var/db/receipts/com.other.pkg.Thing.bom"},
        {"/var/db/receipts/com.other.pkg.Thing.plist", "/var/db/receipts/com.other.pkg.Thing.plist"},
        {"/Library/Receipts/Other Thing.pkg/Contents/Archive.bom", "/Library/Receipts/Other Thing.pkg"},
    };
    for (const auto& [file, place] : canaries) {
        mSystem.writeFile(file, contentOf(file));
        mFiles.push_back(file);
        mPlaces.push_back(place);
    }
    if (!mSystem.exists("/etc")) {
        mSystem.makeLink("/etc", "private/etc");
    }
    std::ofstream(mHostFolder + "/host-secret.txt") << contentOf(mHostFolder);
}

ProtectedCanaries::~ProtectedCanaries() {
    std::error_code ignored;
    fs::remove_all(mHostFolder, ignored);
}

std::string ProtectedCanaries::differences() const {
    std::string lines;
    for (const std::string& file : mFiles) {
        if (readHost(mSystem.host(file)) != contentOf(file)) {
            lines += file + " is gone or changed\n";
        }
    }
    if (readHost(mHostFolder + "/host-secret.txt") != contentOf(mHostFolder)) {
        lines += mHostFolder + "/host-secret.txt (outside the system) is gone or changed\n";
    }
    return lines;
}
