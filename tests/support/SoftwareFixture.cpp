#include "tests/support/SoftwareFixture.h"

#include "platform/PropertyList.h"

#include <stdexcept>

#include <zlib.h>

namespace {

PlistValue strings(const std::vector<std::string>& items) {
    return PlistValue::stringArray(items);
}

} // namespace

std::string SoftwareFixture::informationFileName(const std::string& softwareName) {
    return "com.torva." + softwareName + ".UnInstallList.plist";
}

PlistValue SoftwareFixture::informationFile(const SoftwareSpec& spec) {
    PlistValue root = plistDictionary({{"ApplicationName", spec.name}});
    if (spec.versionBundle) {
        root.set("ApplicationVersionBundle", *spec.versionBundle);
    }
    if (spec.versionString) {
        root.set("ApplicationVersionString", *spec.versionString);
    }
    if (spec.writePackageInfo) {
        PlistValue::Array packages;
        for (const SoftwarePackage& package : spec.packages) {
            if (package.listedInFile) {
                packages.push_back(plistDictionary({{"PackageIdentifier", package.spec.identifier},
                                                    {"PackageName", package.packageName},
                                                    {"PackageVersion", package.spec.version},
                                                    {"PackageType", package.packageType}}));
            }
        }
        root.set("PackageInfo", PlistValue(std::move(packages)));
    }
    const std::pair<const char*, const std::optional<std::vector<std::string>>*> lists[] = {
        {"RemoveDockItemList", &spec.dockItems},
        {"RemoveLoginWindowsItemList", &spec.loginItems},
        {"RemoveLaunchAgentsItemList", &spec.launchAgents},
        {"RemovePathList", &spec.removePaths},
        {"RestPathList", &spec.restPaths},
        {"AllSoftwareRestPathList", &spec.allSoftwareRestPaths}};
    for (const auto& [key, list] : lists) {
        if (*list) {
            root.set(key, strings(**list));
        }
    }
    if (spec.preUninstall || spec.postUninstall) {
        PlistValue script = plistDictionary({});
        if (spec.preUninstall) {
            script.set("PreUnInstall", strings(*spec.preUninstall));
        }
        if (spec.postUninstall) {
            script.set("PostUnInstall", strings(*spec.postUninstall));
        }
        root.set("CustomScript", script);
    }
    if (!spec.explanations.empty()) {
        PlistValue texts = plistDictionary({});
        for (const auto& [language, text] : spec.explanations) {
            texts.set(language, text);
        }
        root.set("LocalizedExplanationList", texts);
    }
    return root;
}

void SoftwareFixture::install(const TestSystem& system, const SoftwareSpec& spec) {
    for (const SoftwarePackage& package : spec.packages) {
        PackageFixture::install(system, package.spec, package.layout);
    }
    writeInformationFile(system, spec.fileName.empty() ? spec.name : spec.fileName, informationFile(spec));
}

void SoftwareFixture::writeInformationFile(const TestSystem& system, const std::string& softwareName,
                                           const PlistValue& root) {
    const std::optional<std::string> xml = PropertyList::toXml(root);
    if (!xml) {
        throw std::runtime_error("test fixture: cannot write the uninstall information of " + softwareName);
    }
    system.writeFile("/Library/Preferences/" + informationFileName(softwareName), base64(*xml));
}

std::string SoftwareFixture::base64(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t a = static_cast<unsigned char>(bytes[i]);
        const uint32_t b = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const uint32_t c = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        const uint32_t triple = (a << 16) | (b << 8) | c;
        encoded += alphabet[(triple >> 18) & 63];
        encoded += alphabet[(triple >> 12) & 63];
        encoded += i + 1 < bytes.size() ? alphabet[(triple >> 6) & 63] : '=';
        encoded += i + 2 < bytes.size() ? alphabet[triple & 63] : '=';
    }
    std::string lines;
    for (size_t i = 0; i < encoded.size(); i += 64) {
        lines += encoded.substr(i, 64) + "\n";
    }
    return lines;
}

std::string SoftwareFixture::gzip(const std::string& bytes) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("test fixture: zlib");
    }
    std::string out(deflateBound(&stream, bytes.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw std::runtime_error("test fixture: gzip");
    }
    return out;
}

void SoftwareFixture::writePpd(const TestSystem& system, const std::string& fileName,
                               const std::string& cupsFilter, bool compressed) {
    const std::string text = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
                             "*Manufacturer: \"TORVA\"\n*ModelName: \"" +
                             fileName +
                             "\"\n"
                             "*cupsFilter: \"" +
                             cupsFilter + "\"\n";
    system.writeFile("/Library/Printers/PPDs/Contents/Resources/" + fileName, compressed ? gzip(text) : text);
}
