#include "tools/make-sample-system/SampleSystem.h"

#include "platform/PropertyList.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t KB = 1024;

// Receipts count from 2001-01-01; the packages went in a few minutes apart on the same morning.
constexpr double kInstallDate = SampleSystem::kFileTime - 978307200.0;

// The same bytes for the same seed on every run and every machine: splitmix64 seeded with the seed's
// FNV-1a hash.
std::string noise(const std::string& seed, size_t size) {
    uint64_t state = 14695981039346656037ull;
    for (const char c : seed) {
        state = (state ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
        state += 0x9e3779b97f4a7c15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        z ^= z >> 31;
        for (size_t b = 0; b < 8 && i + b < size; ++b) {
            bytes[i + b] = static_cast<char>(z >> (8 * b));
        }
    }
    return bytes;
}

// A 64-bit Intel Mach-O executable or library: its magic number and CPU type, then noise.
std::string machO(const std::string& seed, size_t size) {
    static const std::string header("\xcf\xfa\xed\xfe\x07\x00\x00\x01\x03\x00\x00\x00\x02\x00\x00\x00", 16);
    return header + noise(seed, size - header.size());
}

std::string withMagic(const std::string& magic, const std::string& seed, size_t size) {
    return magic + noise(seed, size - magic.size());
}

std::string icns(const std::string& seed, size_t size) {
    std::string header = "icns";
    for (int shift = 24; shift >= 0; shift -= 8) {
        header += static_cast<char>((size >> shift) & 0xff);
    }
    return withMagic(header, seed, size);
}

// A Localizable.strings file of `count` entries.
std::string strings(const std::string& language, int count) {
    std::string text = "/* " + language + " */\n";
    for (int i = 1; i <= count; ++i) {
        text += "\"Message." + std::to_string(i) + "\" = \"" + language + " text number " +
                std::to_string(i) + " of the TORVA software.\";\n";
    }
    return text;
}

std::string xml(const PlistValue& value) {
    const std::optional<std::string> bytes = PropertyList::toXml(value);
    if (!bytes) {
        throw std::runtime_error("sample system: cannot write a property list");
    }
    return *bytes;
}

std::string infoPlist(const std::string& name, const std::string& identifier, const std::string& version,
                      const std::string& packageType) {
    return xml(plistDictionary({{"CFBundleDevelopmentRegion", "en"},
                                {"CFBundleExecutable", name},
                                {"CFBundleIdentifier", identifier},
                                {"CFBundleInfoDictionaryVersion", "6.0"},
                                {"CFBundleName", name},
                                {"CFBundlePackageType", packageType},
                                {"CFBundleShortVersionString", version},
                                {"CFBundleSignature", "????"},
                                {"CFBundleVersion", version + ".0"},
                                {"LSMinimumSystemVersion", "10.11"}}));
}

std::string launchAgent(const std::string& label, const std::string& program) {
    return xml(plistDictionary({{"Label", label},
                                {"LimitLoadToSessionType", "Aqua"},
                                {"ProgramArguments", PlistValue::stringArray({program})},
                                {"RunAtLoad", PlistValue::boolean(true)}}));
}

// A PPD as drivers ship them: the header keywords, one cupsFilter line and the usual option groups.
std::string ppdText(const std::string& manufacturer, const std::string& model,
                    const std::string& cupsFilter) {
    std::string fileName;
    for (const char c : model) {
        if (std::isalnum(static_cast<unsigned char>(c)) && fileName.size() < 8) {
            fileName += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    const std::string name = manufacturer + " " + model;
    std::string text;
    const std::vector<std::string> header = {"*PPD-Adobe: \"4.3\"",
                                             "*% Printer description for the " + name,
                                             "*FormatVersion: \"4.3\"",
                                             "*FileVersion: \"5.2.0\"",
                                             "*LanguageVersion: English",
                                             "*LanguageEncoding: ISOLatin1",
                                             "*PCFileName: \"" + fileName + ".PPD\"",
                                             "*Manufacturer: \"" + manufacturer + "\"",
                                             "*Product: \"(" + model + ")\"",
                                             "*ModelName: \"" + name + "\"",
                                             "*ShortNickName: \"" + name + "\"",
                                             "*NickName: \"" + name + " CUPS\"",
                                             "*PSVersion: \"(3010.000) 0\"",
                                             "*LanguageLevel: \"3\"",
                                             "*ColorDevice: True",
                                             "*DefaultColorSpace: RGB",
                                             "*FileSystem: False",
                                             "*Throughput: \"20\"",
                                             "*LandscapeOrientation: Plus90",
                                             "*TTRasterizer: Type42",
                                             "*cupsVersion: 2.2",
                                             "*cupsManualCopies: True",
                                             "*cupsFilter: \"" + cupsFilter + "\""};
    for (const std::string& line : header) {
        text += line + "\n";
    }
    const std::pair<const char*, const char*> sizes[] = {
        {"A4", "595 842"},       {"A5", "420 595"},        {"B5", "516 729"},    {"Letter", "612 792"},
        {"Legal", "612 1008"},   {"Executive", "522 756"}, {"EnvDL", "312 624"}, {"EnvC5", "459 649"},
        {"Postcard", "283 420"}, {"4x6", "288 432"},       {"5x7", "360 504"},   {"8x10", "576 720"}};
    for (const char* keyword : {"PageSize", "PageRegion"}) {
        text += std::string("*OpenUI *") + keyword + "/Media Size: PickOne\n*OrderDependency: 10 AnySetup *" +
                keyword + "\n*Default" + keyword + ": A4\n";
        for (const auto& [name, dimension] : sizes) {
            text += std::string("*") + keyword + " " + name + "/" + name + ": \"<</PageSize[" + dimension +
                    "]/ImagingBBox null>>setpagedevice\"\n";
        }
        text += std::string("*CloseUI: *") + keyword + "\n";
    }
    text += "*DefaultImageableArea: A4\n";
    for (const auto& [name, dimension] : sizes) {
        text += std::string("*ImageableArea ") + name + "/" + name + ": \"12 12 " + dimension + "\"\n";
    }
    text += "*DefaultPaperDimension: A4\n";
    for (const auto& [name, dimension] : sizes) {
        text += std::string("*PaperDimension ") + name + "/" + name + ": \"" + dimension + "\"\n";
    }
    text += "*OpenUI *Resolution/Output Resolution: PickOne\n*OrderDependency: 20 AnySetup *Resolution\n"
            "*DefaultResolution: 600dpi\n"
            "*Resolution 300dpi/300 dpi: \"<</HWResolution[300 300]>>setpagedevice\"\n"
            "*Resolution 600dpi/600 dpi: \"<</HWResolution[600 600]>>setpagedevice\"\n"
            "*Resolution 1200dpi/1200 dpi: \"<</HWResolution[1200 1200]>>setpagedevice\"\n"
            "*CloseUI: *Resolution\n"
            "*DefaultFont: Courier\n";
    for (const char* font : {"AvantGarde-Book", "Bookman-Light", "Courier", "Courier-Bold", "Helvetica",
                             "Helvetica-Bold", "NewCenturySchlbk-Roman", "Palatino-Roman", "Symbol",
                             "Times-Roman", "Times-Bold", "ZapfChancery-MediumItalic", "ZapfDingbats"}) {
        text += std::string("*Font ") + font + ": Standard \"(001.000)\" Standard ROM\n";
    }
    return text;
}

// Items of a bundle at `path` ("Applications/TORVA Scan Utility.app"): Info.plist, PkgInfo, the
// executable, an icon and its texts in four languages.
struct BundleSpec {
    std::string path;
    std::string identifier;
    std::string version;
    size_t executableSize;
    size_t iconSize;
    std::string packageType = "APPL";
};

void addBundle(std::vector<PackageItem>& items, const BundleSpec& bundle) {
    const std::string name = fs::path(bundle.path).stem().string();
    const std::string contents = bundle.path + "/Contents/";
    items.push_back(PackageItem::file(
        contents + "Info.plist", infoPlist(name, bundle.identifier, bundle.version, bundle.packageType)));
    items.push_back(PackageItem::file(contents + "PkgInfo", bundle.packageType + "????"));
    items.push_back(PackageItem::file(contents + "MacOS/" + name, machO(bundle.path, bundle.executableSize)));
    items.push_back(PackageItem::file(contents + "Resources/" + name + ".icns", icns(name, bundle.iconSize)));
    for (const char* language : {"en", "ja", "fr", "de"}) {
        items.push_back(PackageItem::file(contents + "Resources/" + language + ".lproj/Localizable.strings",
                                          strings(language, 120)));
    }
}

// A framework with its usual links (Versions/Current, the binary and Resources at the top).
void addFramework(std::vector<PackageItem>& items, const std::string& path, size_t binarySize) {
    const std::string name = fs::path(path).stem().string();
    items.push_back(PackageItem::file(path + "/Versions/A/" + name, machO(path, binarySize)));
    items.push_back(PackageItem::file(path + "/Versions/A/Resources/Info.plist",
                                      infoPlist(name, "com.torva." + name, "1.4.0", "FMWK")));
    items.push_back(PackageItem::link(path + "/Versions/Current", "A"));
    items.push_back(PackageItem::link(path + "/" + name, "Versions/Current/" + name));
    items.push_back(PackageItem::link(path + "/Resources", "Versions/Current/Resources"));
}

PackageItem ppdItem(const std::string& path, const std::string& model, const std::string& cupsFilter) {
    const std::string text = ppdText("TORVA", model, cupsFilter);
    return PackageItem::file(path, path.ends_with(".gz") ? SoftwareFixture::gzip(text) : text);
}

PackageDescription package(std::string identifier, std::string version, std::string prefix, int minute,
                           std::vector<PackageItem> items) {
    PackageDescription description;
    description.identifier = std::move(identifier);
    description.version = std::move(version);
    description.installPrefix = std::move(prefix);
    description.installDate = kInstallDate + 60.0 * minute;
    description.items = std::move(items);
    return description;
}

SoftwarePackage flat(PackageDescription description) {
    SoftwarePackage package;
    package.spec = std::move(description);
    return package;
}

std::vector<std::pair<std::string, std::string>> explanations(const std::string& en, const std::string& ja,
                                                              const std::string& fr, const std::string& de) {
    return {{"en", en}, {"ja", ja}, {"fr", fr}, {"de", de}};
}

// The maker's script lines leave a marker inside the system when they run: before the uninstall in the
// software's own folder, afterwards in the shared caches folder.
std::vector<std::string> preUninstall(const std::string& marker, const std::string& folder) {
    return {"/usr/bin/touch " + folder + "/." + marker + "-uninstalling"};
}

std::vector<std::string> postUninstall(const std::string& marker) {
    return {"/usr/bin/touch /Library/Caches/.torva-" + marker + "-removed"};
}

const std::vector<std::string> kSharedRestPaths = {"/Library/Printers/TORVA/Common",
                                                   "/Library/Application Support/TORVA/Common"};

SampleSoftware inkjetDriver() {
    const std::string driver = "Library/Printers/TORVA/InkjetPrinter2/";
    std::vector<PackageItem> items = {
        PackageItem::file(driver + "Filter/rastertotorvaij", machO("rastertotorvaij", 420 * KB)),
        PackageItem::file(driver + "Resources/Halftone.dat", noise("ij halftone", 96 * KB)),
        PackageItem::file("Library/Printers/TORVA/Icons/InkjetPrinter.icns", icns("inkjet", 88 * KB)),
        ppdItem("Library/Printers/PPDs/Contents/Resources/TORVA IJ-1200 series.ppd.gz", "IJ-1200 series",
                "application/vnd.cups-raster 0 rastertotorvaij"),
        PackageItem::file("Library/ColorSync/Profiles/TORVA/TORVA IJ Photo Glossy.icc",
                          withMagic(std::string("\0\0\xc8\x40", 4), "glossy", 51 * KB)),
        PackageItem::file("Library/ColorSync/Profiles/TORVA/TORVA IJ Plain Paper.icc",
                          withMagic(std::string("\0\0\xb0\x24", 4), "plain", 45 * KB)),
        PackageItem::file(
            "Library/LaunchAgents/com.torva.inkjet.statusmonitor.plist",
            launchAgent("com.torva.inkjet.statusmonitor",
                        "/" + driver +
                            "Utilities/TORVA Status Monitor.app/Contents/MacOS/TORVA Status Monitor")),
    };
    addBundle(items, {driver + "PDEs/TORVA IJ PDE.plugin", "com.torva.inkjet.pde", "5.2.0", 180 * KB, 24 * KB,
                      "BNDL"});
    addBundle(items, {driver + "Utilities/TORVA Status Monitor.app", "com.torva.inkjet.statusmonitor",
                      "5.2.0", 260 * KB, 64 * KB});

    PackageDescription main = package("com.torva.pkg.InkjetPrinterDriver", "5.2.0", "/", 0, std::move(items));
    main.binaryReceipt = true;

    std::vector<PackageItem> models;
    for (const char* model : {"IJ-3500", "IJ-4100", "IJ-6800"}) {
        const std::string bundle = driver + "Models/TORVA " + model + ".bundle/Contents/";
        models.push_back(
            PackageItem::file(bundle + "Info.plist",
                              infoPlist(std::string("TORVA ") + model,
                                        std::string("com.torva.inkjet.model.") + model, "5.2.0", "BNDL")));
        models.push_back(PackageItem::file(bundle + "Resources/Model.dat", noise(model, 118 * KB)));
        models.push_back(PackageItem::file(
            std::string("Library/Printers/TORVA/Icons/Inkjet ") + model + ".icns", icns(model, 40 * KB)));
        models.push_back(
            ppdItem(std::string("Library/Printers/PPDs/Contents/Resources/TORVA ") + model + " series.ppd.gz",
                    std::string(model) + " series", "application/vnd.cups-raster 0 rastertotorvaij"));
    }
    PackageDescription drivers =
        package("com.apple.pkg.TORVAPrinterDrivers", "5.2.0.1.1557820000", "/", -40, std::move(models));
    drivers.processName = "softwareupdated";
    drivers.binaryReceipt = true;

    std::vector<PackageItem> libraries = {
        PackageItem::file("Library/Printers/TORVA/Libraries/libtorvacolor.dylib",
                          machO("libtorvacolor", 236 * KB)),
    };
    addFramework(libraries, "Library/Printers/TORVA/Common/Frameworks/TORVAPrintCore.framework", 372 * KB);
    PackageDescription common =
        package("com.apple.pkg.TORVA_Libraries", "5.2.0.1.1557820000", "/", -39, std::move(libraries));
    common.processName = "softwareupdated";
    common.binaryReceipt = true;

    SampleSoftware software;
    software.spec.name = "Inkjet Printer Driver";
    software.spec.versionString = "5.2.0";
    software.spec.packages = {flat(std::move(main))};
    software.spec.restPaths = std::vector<std::string>{"/Library/ColorSync/Profiles/TORVA"};
    software.spec.removePaths = std::vector<std::string>{"/Library/Caches/com.torva.inkjet.statusmonitor"};
    software.spec.allSoftwareRestPaths = kSharedRestPaths;
    software.spec.loginItems =
        std::vector<std::string>{"/Library/Printers/TORVA/InkjetPrinter2/Utilities/TORVA Status Monitor.app"};
    software.spec.launchAgents =
        std::vector<std::string>{"com.torva.inkjet.statusmonitor", "com.torva.inkjet.inklevel"};
    software.spec.dockItems = std::vector<std::string>{"TORVA Status Monitor"};
    software.spec.preUninstall = preUninstall("inkjet", "/Library/Printers/TORVA/InkjetPrinter2");
    software.spec.postUninstall = postUninstall("inkjet");
    software.spec.explanations =
        explanations("The printer driver for TORVA inkjet printers, with its status monitor.",
                     "TORVAインクジェットプリンター用のプリンタードライバーとステータスモニターです。",
                     "Le pilote des imprimantes à jet d'encre TORVA, avec son moniteur d'état.",
                     "Der Druckertreiber für TORVA-Tintenstrahldrucker mit seinem Statusmonitor.");
    software.softwareUpdatePackages = {std::move(drivers), std::move(common)};
    return software;
}

SampleSoftware pageDriver() {
    std::vector<PackageItem> driver = {
        PackageItem::file("Library/Printers/TORVA/LaserPrinter/Filter/rastertotorvapage",
                          machO("rastertotorvapage", 352 * KB)),
        PackageItem::file("Library/Printers/TORVA/LaserPrinter/Resources/ColorTables.dat",
                          noise("color tables", 128 * KB)),
        PackageItem::file("Library/Printers/TORVA/Common/TORVALanguageMonitor",
                          machO("language monitor", 64 * KB)),
    };
    addBundle(driver, {"Library/Printers/TORVA/LaserPrinter/PDEs/TORVA Page PDE.plugin", "com.torva.page.pde",
                       "4.1.0", 150 * KB, 24 * KB, "BNDL"});
    addBundle(driver, {"Library/Printers/TORVA/LaserPrinter/Utilities/TORVA Page Monitor.app",
                       "com.torva.page.monitor", "4.1.0", 90 * KB, 16 * KB});
    PackageDescription main = package("com.torva.pkg.PagePrinterDriver", "4.1.0", "/", 5, std::move(driver));
    main.binaryReceipt = true;

    // The PostScript part is installed relative to the maker's printer folder.
    PackageDescription postscript = package(
        "com.torva.pkg.PSDriver", "4.1.0", "Library/Printers/TORVA", 6,
        {PackageItem::file("PSDriver/Filter/pstotorvaps", machO("pstotorvaps", 212 * KB)),
         PackageItem::file("PSDriver/Resources/PSDriver.plist",
                           xml(plistDictionary({{"Emulation", "BR-Script3"}, {"Version", "4.1.0"}})))});
    PackageDescription fonts =
        package("com.torva.pkg.PSFonts", "1.0.3", "Library/Fonts", 6,
                {PackageItem::file("TORVA/TORVA Sans.otf", withMagic("OTTO", "sans", 92 * KB)),
                 PackageItem::file("TORVA/TORVA Mono.otf", withMagic("OTTO", "mono", 71 * KB))});

    SampleSoftware software;
    software.spec.name = "Page Printer Driver";
    software.spec.versionString = "4.1.0";
    software.spec.packages = {flat(std::move(main)), flat(std::move(postscript)), flat(std::move(fonts))};
    software.spec.restPaths = std::vector<std::string>{"/Library/Fonts/TORVA"};
    software.spec.allSoftwareRestPaths = kSharedRestPaths;
    software.spec.dockItems = std::vector<std::string>{"TORVA Page Printer Manual"};
    software.spec.loginItems =
        std::vector<std::string>{"/Library/Printers/TORVA/LaserPrinter/Utilities/TORVA Page Monitor.app"};
    software.spec.launchAgents = std::vector<std::string>{"com.torva.page.monitor"};
    software.spec.preUninstall = preUninstall("page", "/Library/Printers/TORVA/LaserPrinter");
    software.spec.postUninstall = postUninstall("page");
    software.spec.explanations =
        explanations("The printer driver and PostScript driver for TORVA laser printers.",
                     "TORVAレーザープリンター用のプリンタードライバーとPostScriptドライバーです。",
                     "Le pilote d'imprimante et le pilote PostScript des imprimantes laser TORVA.",
                     "Der Druckertreiber und PostScript-Treiber für TORVA-Laserdrucker.");
    return software;
}

SampleSoftware faxDriver() {
    std::vector<PackageItem> driver = {
        PackageItem::file("TORVA/Fax/Cover Pages/Standard.cvp", noise("cover page", 24 * KB)),
        PackageItem::file("TORVA/Icons/PC-FAX.icns", icns("fax", 48 * KB)),
        ppdItem("PPDs/Contents/Resources/TORVA PC-FAX.ppd", "PC-FAX",
                "application/vnd.cups-pdf 0 pdftotorvafax"),
    };
    addBundle(driver, {"TORVA/Fax/TORVA PC-FAX.app", "com.torva.pcfax", "2.6.0", 300 * KB, 56 * KB});
    PackageDescription main =
        package("com.torva.pkg.PCFaxDriver", "2.6.0", "Library/Printers", 10, std::move(driver));

    PackageDescription filter =
        package("com.torva.pkg.PCFaxFilter", "2.6.0", "/", 10,
                {PackageItem::file("usr/libexec/cups/filter/pdftotorvafax", machO("pdftotorvafax", 140 * KB)),
                 PackageItem::file("Library/Application Support/TORVA/PC-FAX/Sounds/Sent.aiff",
                                   withMagic("FORM", "sent", 40 * KB)),
                 PackageItem::file("Library/Application Support/TORVA/PC-FAX/Address Book/Default.abk",
                                   noise("address book", 16 * KB))});
    filter.binaryReceipt = true;

    // Carried over from the Mac this one was migrated from: an old bundle receipt.
    PackageDescription modem =
        package("com.torva.pkg.FaxModemScripts", "1.2", "/", -300000,
                {PackageItem::file("TORVA Fax", "-- TORVA fax modem script\nATZ\nAT+FCLASS=1\n")});
    modem.installPrefix = std::nullopt;
    modem.bundleName = "TORVA Fax Modem Scripts.pkg";
    modem.relocatedPath = "./Library/Modem Scripts";
    SoftwarePackage modemPackage = flat(std::move(modem));
    modemPackage.layout = ReceiptLayout::Bundle;
    modemPackage.packageName = "TORVA Fax Modem Scripts.pkg";
    modemPackage.packageType = "Bundle";

    SampleSoftware software;
    software.spec.name = "PC-FAX Driver";
    software.spec.versionString = "2.6.0";
    software.spec.packages = {flat(std::move(main)), flat(std::move(filter)), std::move(modemPackage)};
    software.spec.restPaths =
        std::vector<std::string>{"/Library/Application Support/TORVA/PC-FAX/Address Book"};
    software.spec.removePaths = std::vector<std::string>{"/Library/Caches/com.torva.pcfax",
                                                         "/Users/*/Library/Application Support/TORVA/PC-FAX"};
    software.spec.dockItems = std::vector<std::string>{"TORVA PC-FAX"};
    software.spec.loginItems = std::vector<std::string>{"/Library/Printers/TORVA/Fax/TORVA PC-FAX.app"};
    software.spec.launchAgents = std::vector<std::string>{"com.torva.pcfax.sender"};
    software.spec.preUninstall = preUninstall("pcfax", "/Library/Printers/TORVA/Fax");
    software.spec.postUninstall = postUninstall("pcfax");
    software.spec.explanations =
        explanations("Sends faxes from any application through a TORVA machine.",
                     "TORVA機器を使って、アプリケーションからファクスを送信します。",
                     "Envoie des télécopies depuis toute application par un appareil TORVA.",
                     "Sendet Faxe aus jedem Programm über ein TORVA-Gerät.");
    return software;
}

SampleSoftware printerSetupUtility() {
    std::vector<PackageItem> items;
    addBundle(items, {"TORVA Printer Setup Utility.app", "com.torva.PrinterSetupUtility", "3.2.1", 880 * KB,
                      196 * KB});
    addFramework(items, "TORVA Printer Setup Utility.app/Contents/Frameworks/TORVAKit.framework", 310 * KB);
    PackageDescription main =
        package("com.torva.pkg.PrinterSetupUtility", "3.2.1", "Applications", 15, std::move(items));

    SampleSoftware software;
    software.spec.name = "Printer Setup Utility";
    // The version shown comes from the installed application; the file's own string is older.
    software.spec.versionBundle = "/Applications/TORVA Printer Setup Utility.app";
    software.spec.versionString = "3.2";
    software.spec.packages = {flat(std::move(main))};
    software.spec.removePaths =
        std::vector<std::string>{"/Library/Application Support/TORVA/Printer Setup Utility",
                                 "/Users/*/Library/Preferences/com.torva.PrinterSetupUtility.plist"};
    software.spec.dockItems = std::vector<std::string>{"TORVA Printer Setup Utility"};
    software.spec.loginItems = std::vector<std::string>{"/Applications/TORVA Printer Setup Utility.app"};
    software.spec.launchAgents = std::vector<std::string>{"com.torva.printersetup.helper"};
    software.spec.preUninstall = preUninstall("printersetup", "'/Library/Application Support/TORVA'");
    software.spec.postUninstall = postUninstall("printersetup");
    software.spec.explanations = explanations("Finds TORVA printers on the network and sets them up.",
                                              "ネットワーク上のTORVAプリンターを検出して設定します。",
                                              "Trouve les imprimantes TORVA du réseau et les configure.",
                                              "Findet TORVA-Drucker im Netzwerk und richtet sie ein.");
    return software;
}

SampleSoftware scanUtility() {
    std::vector<PackageItem> application;
    addBundle(application, {"TORVA Scan Utility.app", "com.torva.ScanUtility", "4.8.0", 640 * KB, 128 * KB});
    PackageDescription main =
        package("com.torva.pkg.ScanUtility", "4.8.0", "Applications", 20, std::move(application));

    std::vector<PackageItem> scanner;
    addBundle(scanner, {"Library/Image Capture/Devices/TORVA Scanner.app", "com.torva.scanner", "4.8.0",
                        280 * KB, 32 * KB});
    addBundle(scanner, {"Library/Image Capture/TWAIN Data Sources/TORVA TWAIN.ds", "com.torva.twain", "4.8.0",
                        200 * KB, 16 * KB, "BNDL"});
    addFramework(scanner, "Library/Frameworks/TORVACommon.framework", 150 * KB);
    PackageDescription driver = package("com.torva.pkg.ScannerDriver", "4.8.0", "/", 21, std::move(scanner));
    driver.binaryReceipt = true;

    SampleSoftware software;
    software.spec.name = "Scan Utility";
    software.spec.versionString = "4.8.0";
    software.spec.packages = {flat(std::move(main)), flat(std::move(driver))};
    software.spec.restPaths =
        std::vector<std::string>{"/Library/Image Capture/TWAIN Data Sources/TORVA TWAIN.ds"};
    software.spec.removePaths = std::vector<std::string>{
        "/Library/Caches/com.torva.scan*", "/Users/*/Library/Preferences/com.torva.ScanUtility.plist",
        "/Users/*/Library/Application Support/TORVA/Scan Utility"};
    software.spec.dockItems = std::vector<std::string>{"TORVA Scan Utility"};
    software.spec.launchAgents = std::vector<std::string>{"com.torva.scanutility.agent"};
    software.spec.loginItems = std::vector<std::string>{"/Applications/TORVA Scan Utility.app"};
    software.spec.preUninstall = preUninstall("scanutility", "/Library/Caches");
    // The last line aims at the home folder of whoever runs it: the screening refuses it.
    software.spec.postUninstall = std::vector<std::string>{
        postUninstall("scanutility").front(), "/bin/rm -rf ~/Library/Caches/com.torva.scanutility"};
    software.spec.explanations = explanations("Scans documents and photos with a TORVA scanner.",
                                              "TORVAスキャナーで文書や写真をスキャンします。",
                                              "Numérise documents et photos avec un scanner TORVA.",
                                              "Scannt Dokumente und Fotos mit einem TORVA-Scanner.");
    return software;
}

// Files the drivers and utilities make while they run, which no bill of materials lists.
void writeRuntimeFiles(const TestSystem& system) {
    system.writeFile("/Library/Printers/TORVA/Icons/PagePrinter HL-5400.icns", icns("HL-5400", 44 * KB));
    system.writeFile("/Library/Caches/com.torva.printerdriver/Queue.db", noise("queue", 28 * KB));
    system.writeFile("/Library/Preferences/com.torva.printerdriver.plist",
                     xml(plistDictionary({{"LastPrinter", "TORVA IJ-1200 series"}})));
    system.writeFile("/Library/Caches/com.torva.inkjet.statusmonitor/Status.db", noise("status", 12 * KB));
    system.writeFile("/Library/Caches/com.torva.pcfax/Outgoing.db", noise("outgoing", 20 * KB));
    system.writeFile("/Library/Caches/com.torva.scanutility/Thumbnails/Scan 001.jpg",
                     withMagic("\xff\xd8\xff\xe0", "scan 1", 36 * KB));
    system.writeFile("/Library/Caches/com.torva.scanutility/Thumbnails/Scan 002.jpg",
                     withMagic("\xff\xd8\xff\xe0", "scan 2", 33 * KB));
    system.writeFile("/Library/Caches/com.torva.scan.plist",
                     xml(plistDictionary({{"LastScanner", "TORVA DS-720"}})));
    system.writeFile("/Library/Application Support/TORVA/Printer Setup Utility/Printers.plist",
                     xml(plistDictionary({{"Printers", PlistValue::stringArray({"TORVA IJ-1200 series",
                                                                                "TORVA HL-5400 series"})}})));
    system.writeFile("/Library/Application Support/TORVA/Common/Settings.plist",
                     xml(plistDictionary({{"Region", "EU"}})));

    system.writeFile("/Users/anna/Library/Printers/TORVA/InkjetPrinter2/Settings.plist",
                     xml(plistDictionary({{"Quality", "Photo"}})));
    system.writeFile("/Users/ben/Library/Printers/TORVA/LaserPrinter/Presets.plist",
                     xml(plistDictionary({{"Duplex", PlistValue::boolean(true)}})));
    system.writeFile("/Users/anna/Library/Application Support/TORVA/PC-FAX/Sent.log",
                     "2020-09-28 10:02 +49 30 1234567 sent\n");
    for (const char* user : {"anna", "ben"}) {
        const std::string home = std::string("/Users/") + user;
        system.writeFile(home + "/Library/Preferences/com.torva.ScanUtility.plist",
                         xml(plistDictionary({{"ScanFolder", home + "/Pictures/Scans"}})));
        system.writeFile(home + "/Library/Application Support/TORVA/Scan Utility/Profiles.plist",
                         xml(plistDictionary({{"Profile", "Document"}})));
    }
    system.writeFile("/Users/anna/Library/Preferences/com.torva.PrinterSetupUtility.plist",
                     xml(plistDictionary({{"ShowWelcome", PlistValue::boolean(false)}})));

    const std::string ppds = "/Library/Printers/PPDs/Contents/Resources/";
    system.writeFile(ppds + "TORVA HL-5400 series.ppd.gz",
                     SoftwareFixture::gzip(ppdText("TORVA", "HL-5400 series",
                                                   "application/vnd.cups-raster 0 rastertotorvapage")));
    system.writeFile(ppds + "TORVA HL-5400 PS.ppd",
                     ppdText("TORVA", "HL-5400 PS", "application/vnd.cups-postscript 0 pstotorvaps"));
}

// Dock tiles as the Dock writes them.
PlistValue fileTile(int64_t guid, const std::string& label, const std::string& url,
                    const std::string& identifier) {
    return plistDictionary(
        {{"GUID", PlistValue::integer(guid)},
         {"tile-data",
          plistDictionary({{"bundle-identifier", identifier},
                           {"file-data", plistDictionary({{"_CFURLString", url},
                                                          {"_CFURLStringType", PlistValue::integer(15)}})},
                           {"file-label", label},
                           {"file-mod-date", PlistValue::integer(3684307200)},
                           {"file-type", PlistValue::integer(41)}})},
         {"tile-type", "file-tile"}});
}

PlistValue folderTile(int64_t guid, const std::string& label, const std::string& url) {
    return plistDictionary(
        {{"GUID", PlistValue::integer(guid)},
         {"tile-data",
          plistDictionary({{"arrangement", PlistValue::integer(2)},
                           {"displayas", PlistValue::integer(0)},
                           {"file-data", plistDictionary({{"_CFURLString", url},
                                                          {"_CFURLStringType", PlistValue::integer(15)}})},
                           {"file-label", label},
                           {"file-type", PlistValue::integer(2)},
                           {"preferreditemsize", PlistValue::integer(-1)},
                           {"showas", PlistValue::integer(1)}})},
         {"tile-type", "directory-tile"}});
}

PlistValue urlTile(int64_t guid, const std::string& label, const std::string& url) {
    return plistDictionary(
        {{"GUID", PlistValue::integer(guid)},
         {"tile-data",
          plistDictionary({{"label", label},
                           {"url", plistDictionary({{"_CFURLString", url},
                                                    {"_CFURLStringType", PlistValue::integer(15)}})}})},
         {"tile-type", "url-tile"}});
}

void writeDock(const TestSystem& system, const std::string& user, PlistValue::Array apps,
               PlistValue::Array others) {
    system.writePlist("/Users/" + user + "/Library/Preferences/com.apple.dock.plist",
                      plistDictionary({{"autohide", PlistValue::boolean(false)},
                                       {"mod-count", PlistValue::integer(57)},
                                       {"orientation", "bottom"},
                                       {"persistent-apps", PlistValue(std::move(apps))},
                                       {"persistent-others", PlistValue(std::move(others))},
                                       {"recent-apps", PlistValue(PlistValue::Array())},
                                       {"tilesize", PlistValue::integer(48)},
                                       {"version", PlistValue::integer(1)}}),
                      /*binary=*/true);
}

PlistValue loginItems(const std::vector<std::pair<std::string, bool>>& items) {
    PlistValue::Array array;
    for (const auto& [path, hide] : items) {
        array.push_back(plistDictionary({{"Hide", PlistValue::boolean(hide)}, {"Path", path}}));
    }
    return plistDictionary({{"AutoLaunchedApplicationDictionary", PlistValue(std::move(array))}});
}

void writeUserSettings(const TestSystem& system) {
    const std::string statusMonitor =
        "/Library/Printers/TORVA/InkjetPrinter2/Utilities/TORVA Status Monitor.app";
    writeDock(system, "anna",
              {fileTile(1706939552, "Safari", "file:///Applications/Safari.app/", "com.apple.Safari"),
               fileTile(1706939553, "Mail", "file:///System/Applications/Mail.app/", "com.apple.mail"),
               fileTile(1706939554, "TORVA Printer Setup Utility",
                        "file:///Applications/TORVA%20Printer%20Setup%20Utility.app/",
                        "com.torva.PrinterSetupUtility"),
               fileTile(1706939558, "TORVA PC-FAX", "file:///Library/Printers/TORVA/Fax/TORVA%20PC-FAX.app/",
                        "com.torva.pcfax"),
               fileTile(1706939555, "Northwind Notes", "file:///Applications/Northwind%20Notes.app/",
                        "com.northwind.Notes")},
              {folderTile(1706939556, "Downloads", "file:///Users/anna/Downloads/"),
               fileTile(1706939559, "TORVA Page Printer Manual",
                        "file:///Library/Printers/TORVA/LaserPrinter/Manual.pdf", "com.adobe.pdf"),
               urlTile(1706939557, "TORVA Support", "https://support.torva.example/")});
    writeDock(
        system, "ben",
        {fileTile(2032115001, "Mail", "file:///System/Applications/Mail.app/", "com.apple.mail"),
         fileTile(2032115002, "TORVA Scan Utility", "file:///Applications/TORVA%20Scan%20Utility.app/",
                  "com.torva.ScanUtility"),
         fileTile(2032115005, "TORVA Status Monitor",
                  "file:///Library/Printers/TORVA/InkjetPrinter2/Utilities/TORVA%20Status%20Monitor.app/",
                  "com.torva.inkjet.statusmonitor"),
         plistDictionary({{"GUID", PlistValue::integer(2032115003)},
                          {"tile-data", plistDictionary({})},
                          {"tile-type", "spacer-tile"}})},
        {folderTile(2032115004, "Documents", "file:///Users/ben/Documents/")});

    system.writePlist("/Library/Preferences/loginwindow.plist",
                      loginItems({{statusMonitor, false},
                                  {"/Applications/Northwind Notes.app", true},
                                  {"/Library/Printers/TORVA/Fax/TORVA PC-FAX.app", true}}));
    system.writePlist("/Users/anna/Library/Preferences/loginwindow.plist",
                      loginItems({{statusMonitor, true},
                                  {"/Applications/Northwind Notes.app", false},
                                  {"/Applications/TORVA Printer Setup Utility.app", false}}),
                      /*binary=*/true);
    system.writePlist(
        "/Users/ben/Library/Preferences/loginwindow.plist",
        loginItems({{"/Library/Printers/TORVA/LaserPrinter/Utilities/TORVA Page Monitor.app", true},
                    {"/Applications/Northwind Notes.app", false},
                    {"/Applications/TORVA Scan Utility.app", false}}),
        /*binary=*/true);

    system.writeFile("/Library/LaunchAgents/com.northwind.notes.sync.plist",
                     launchAgent("com.northwind.notes.sync",
                                 "/Applications/Northwind Notes.app/Contents/MacOS/NotesSync"));
    // The maker's agents sit in folders of their own, at any depth.
    system.writeFile("/Users/anna/Library/LaunchAgents/TORVA/com.torva.scanutility.agent.plist",
                     launchAgent("com.torva.scanutility.agent",
                                 "/Applications/TORVA Scan Utility.app/Contents/MacOS/TORVA Scan Utility"));
    system.writeFile("/Users/anna/Library/LaunchAgents/TORVA/Helpers/com.torva.printersetup.helper.plist",
                     launchAgent("com.torva.printersetup.helper",
                                 "/Applications/TORVA Printer Setup Utility.app/Contents/MacOS/"
                                 "TORVA Printer Setup Utility"));
    system.writeFile("/Users/ben/Library/LaunchAgents/TORVA/InkLevel/com.torva.inkjet.inklevel.plist",
                     launchAgent("com.torva.inkjet.inklevel",
                                 "/" + std::string("Library/Printers/TORVA/InkjetPrinter2/Utilities/") +
                                     "TORVA Status Monitor.app/Contents/MacOS/TORVA Status Monitor"));
    system.writeFile(
        "/Users/ben/Library/LaunchAgents/TORVA/com.torva.page.monitor.plist",
        launchAgent("com.torva.page.monitor",
                    "/Library/Printers/TORVA/LaserPrinter/Utilities/TORVA Page Monitor.app/Contents/"
                    "MacOS/TORVA Page Monitor"));
    system.writeFile("/Library/LaunchAgents/TORVA/com.torva.pcfax.sender.plist",
                     launchAgent("com.torva.pcfax.sender",
                                 "/Library/Printers/TORVA/Fax/TORVA PC-FAX.app/Contents/MacOS/TORVA PC-FAX"));
    system.writeFile("/Users/anna/Library/LaunchAgents/com.northwind.notes.reminders.plist",
                     launchAgent("com.northwind.notes.reminders",
                                 "/Applications/Northwind Notes.app/Contents/MacOS/Reminders"));
}

// What is on the Mac besides TORVA's software.
void writeUnrelated(const TestSystem& system) {
    std::vector<PackageItem> notes;
    addBundle(notes, {"Northwind Notes.app", "com.northwind.Notes", "7.3", 720 * KB, 150 * KB});
    PackageFixture::install(system,
                            package("com.northwind.pkg.Notes", "7.3", "Applications", -90, std::move(notes)));

    PackageDescription xprotect = package(
        "com.apple.pkg.XProtectPlistConfigData_10_15.16U4211", "2134", "/", -20,
        {PackageItem::file("Library/Apple/System/Library/CoreServices/XProtect.bundle/Contents/Resources/"
                           "XProtect.plist",
                           xml(plistDictionary({{"Version", "2134"}})))});
    xprotect.processName = "softwareupdated";
    PackageFixture::install(system, xprotect, ReceiptLayout::AppleSystemReceipts);

    system.writeFile("/Library/Printers/Northwind/Filter/rastertonorthwind",
                     machO("rastertonorthwind", 96 * KB));
    const std::string ppds = "/Library/Printers/PPDs/Contents/Resources/";
    system.writeFile(ppds + "Northwind NW-200.ppd.gz",
                     SoftwareFixture::gzip(
                         ppdText("Northwind", "NW-200", "application/vnd.cups-raster 0 rastertonorthwind")));
    // The maker's name, another maker's filter: a generic PPD the drivers did not install.
    system.writeFile(ppds + "TORVA Generic PCL.ppd",
                     ppdText("TORVA", "Generic PCL", "application/vnd.cups-raster 0 rastertopclx"));
    system.writeFile("/Library/Preferences/com.northwind.notes.plist",
                     xml(plistDictionary({{"Sync", "Daily"}})));
    system.writeFile("/Library/Caches/com.northwind.notes/Index.db", noise("notes index", 18 * KB));

    system.writeFile("/Users/anna/Documents/Letters/Invoice 2020-09.pdf",
                     withMagic("%PDF-1.4\n", "invoice", 42 * KB));
    system.writeFile("/Users/anna/Documents/TORVA IJ-1200 User Guide.pdf",
                     withMagic("%PDF-1.6\n", "guide", 120 * KB));
    system.writeFile("/Users/anna/Desktop/Shopping list.txt", "Milk\nBread\nPrinter paper (A4)\n");
    system.writeFile("/Users/anna/Library/Caches/com.torva.scanutility/Recent.plist",
                     xml(plistDictionary({{"Recent", PlistValue::stringArray({"Scan 001.jpg"})}})));
    system.writeFile("/Users/ben/Documents/Thesis/Chapter 1.txt",
                     "Chapter 1\n\nPrinting in the age of the cloud.\n");
    system.writeFile("/Users/ben/Pictures/Scans/Scan 003.jpg",
                     withMagic("\xff\xd8\xff\xe0", "scan 3", 29 * KB));
    system.writeFile("/Users/ben/Library/Preferences/com.northwind.notes.plist",
                     xml(plistDictionary({{"Font", "Helvetica"}})));
}

void writeBaseSystem(const TestSystem& system) {
    system.writePlist("/System/Library/CoreServices/SystemVersion.plist",
                      plistDictionary({{"ProductBuildVersion", "19H2"},
                                       {"ProductCopyright", "1983-2020 Apple Inc."},
                                       {"ProductName", "Mac OS X"},
                                       {"ProductUserVisibleVersion", "10.15.7"},
                                       {"ProductVersion", "10.15.7"},
                                       {"iOSSupportVersion", "13.6"}}));
    system.addUser("anna", 501);
    system.addUser("ben", 502);
    system.makeFolder("/Users/Shared");
    for (const char* user : {"anna", "ben"}) {
        for (const char* folder : {"Desktop", "Documents", "Downloads", "Pictures", "Library/Caches",
                                   "Library/Preferences", "Library/LaunchAgents"}) {
            system.makeFolder(std::string("/Users/") + user + "/" + folder);
        }
    }
    for (const char* folder : {"/Applications/Utilities", "/Library/LaunchDaemons", "/Library/Receipts",
                               "/usr/libexec/cups/backend", "/var/db/receipts"}) {
        system.makeFolder(folder);
    }
}

// Executables get their mode; every item gets the same date, so that two runs give the same tree.
void finishModesAndDates(const TestSystem& system) {
    const timespec times[2] = {{SampleSystem::kFileTime, 0}, {SampleSystem::kFileTime, 0}};
    std::vector<fs::path> items;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(system.root())) {
        items.push_back(entry.path());
    }
    for (const fs::path& item : items) {
        const fs::file_status status = fs::symlink_status(item);
        if (fs::is_regular_file(status)) {
            std::ifstream in(item, std::ios::binary);
            char magic[4] = {};
            in.read(magic, sizeof magic);
            if (in && std::string(magic, 4) == std::string("\xcf\xfa\xed\xfe", 4)) {
                fs::permissions(item, static_cast<fs::perms>(0755));
            }
        }
        ::utimensat(AT_FDCWD, item.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    ::utimensat(AT_FDCWD, system.root().c_str(), times, 0);
}

} // namespace

const std::vector<SampleSoftware>& SampleSystem::software() {
    static const std::vector<SampleSoftware> all = {inkjetDriver(), faxDriver(), pageDriver(),
                                                    printerSetupUtility(), scanUtility()};
    return all;
}

const std::vector<std::string>& SampleSystem::keptFiles() {
    static const std::vector<std::string> files = {
        "/Applications/Northwind Notes.app/Contents/MacOS/Northwind Notes",
        "/var/db/receipts/com.northwind.pkg.Notes.bom",
        "/var/db/receipts/com.northwind.pkg.Notes.plist",
        "/Library/Apple/System/Library/CoreServices/XProtect.bundle/Contents/Resources/XProtect.plist",
        "/Library/Printers/Northwind/Filter/rastertonorthwind",
        "/Library/Printers/PPDs/Contents/Resources/Northwind NW-200.ppd.gz",
        "/Library/Printers/PPDs/Contents/Resources/TORVA Generic PCL.ppd",
        "/Library/Printers/TORVA/Common/TORVALanguageMonitor",
        "/Library/Printers/TORVA/Common/Frameworks/TORVAPrintCore.framework/Versions/A/TORVAPrintCore",
        "/Library/Application Support/TORVA/Common/Settings.plist",
        "/Library/Application Support/TORVA/PC-FAX/Address Book/Default.abk",
        "/Library/ColorSync/Profiles/TORVA/TORVA IJ Photo Glossy.icc",
        "/Library/Fonts/TORVA/TORVA Sans.otf",
        "/Library/Frameworks/TORVACommon.framework/Versions/A/TORVACommon",
        "/Library/Image Capture/TWAIN Data Sources/TORVA TWAIN.ds/Contents/MacOS/TORVA TWAIN",
        "/Library/Preferences/com.northwind.notes.plist",
        "/Library/Caches/com.northwind.notes/Index.db",
        "/Library/LaunchAgents/com.northwind.notes.sync.plist",
        "/Users/anna/Documents/Letters/Invoice 2020-09.pdf",
        "/Users/anna/Documents/TORVA IJ-1200 User Guide.pdf",
        "/Users/anna/Desktop/Shopping list.txt",
        "/Users/anna/Library/Caches/com.torva.scanutility/Recent.plist",
        "/Users/anna/Library/LaunchAgents/com.northwind.notes.reminders.plist",
        "/Users/ben/Documents/Thesis/Chapter 1.txt",
        "/Users/ben/Pictures/Scans/Scan 003.jpg",
        "/Users/ben/Library/Preferences/com.northwind.notes.plist",
    };
    return files;
}

void SampleSystem::write(const TestSystem& system) {
    writeBaseSystem(system);
    writeUnrelated(system);
    for (const SampleSoftware& software : software()) {
        SoftwareFixture::install(system, software.spec);
        for (const PackageDescription& package : software.softwareUpdatePackages) {
            PackageFixture::install(system, package, ReceiptLayout::AppleSystemReceipts);
        }
    }
    writeRuntimeFiles(system);
    writeUserSettings(system);
    finishModesAndDates(system);
}
