#include "bench/BenchSoftware.h"

#include "platform/CTaskController.h"

#include <algorithm>

namespace {

SoftwareSpec makeSpec() {
    SoftwareSpec spec;
    spec.name = "Bench Driver";
    for (int p = 0; p < BenchSoftware::kPackages; ++p) {
        SoftwarePackage package;
        package.spec.identifier = "com.torva.pkg.Bench" + std::to_string(p);
        package.spec.installPrefix = "Library/Printers";
        for (int i = 0; i < BenchSoftware::kFilesPerPackage; ++i) {
            // Eight levels deep, a few dozen entries per folder, a few hundred bytes per file.
            const std::string folder = "TORVA/Bench/Part" + std::to_string(p) + "/Contents/Resources/" +
                                       std::to_string(i % 7) + ".lproj/" + std::to_string(i % 29) +
                                       "/Items/" + std::to_string(i % 31);
            package.spec.items.push_back(
                PackageItem::file(folder + "/file" + std::to_string(i) + ".dat",
                                  std::string(static_cast<size_t>(100 + i % 900), 'x')));
        }
        if (p == 0) {
            package.spec.items.push_back(PackageItem::link("TORVA/Bench/Part0/Current", "Contents"));
        }
        spec.packages.push_back(std::move(package));
    }
    return spec;
}

} // namespace

const SoftwareSpec& BenchSoftware::spec() {
    static const SoftwareSpec software = makeSpec();
    return software;
}

void BenchSoftware::install(const TestSystem& system) {
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    SoftwareFixture::install(system, spec());
}

bool BenchSoftware::copyTree(const std::string& from, const std::string& to) {
    const auto result = CTaskController::run("/bin/cp", {"-a", from, to});
    return result && result->exitStatus == 0;
}

bool BenchSoftware::removeTree(const std::string& hostFolder) {
    const auto result = CTaskController::run("/bin/rm", {"-rf", hostFolder});
    return result && result->exitStatus == 0;
}

double BenchSoftware::median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
