// uninstaller-cli list on whole systems: the sample system the demo shows, and smaller ones for the
// order of receipt-only rows and for unusual names.

#include "tests/e2e/Canaries.h"
#include "tests/e2e/ExpectedSize.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const SampleSoftware& sample(const std::string& name) {
    for (const SampleSoftware& software : SampleSystem::software()) {
        if (software.spec.name == name) {
            return software;
        }
    }
    throw std::runtime_error("no sample software " + name);
}

int64_t expectedSize(const TestSystem& system, const std::string& name) {
    const SampleSoftware& software = sample(name);
    return ExpectedSize::of(system, software.spec, software.softwareUpdatePackages);
}

std::string row(const std::string& name, const std::string& version, int64_t bytes) {
    return name + "\t" + version + "\t" + ExpectedSize::megabytes(bytes) + "\n";
}

// A record's packages as "identifier name version type" lines.
std::vector<std::string> packagesOf(const nlohmann::json& record) {
    std::vector<std::string> lines;
    for (const nlohmann::json& package : record.at("packages")) {
        lines.push_back(
            package.at("identifier").get<std::string>() + " " + package.at("name").get<std::string>() + " " +
            package.at("version").get<std::string>() + " " + package.at("type").get<std::string>());
    }
    return lines;
}

std::vector<std::string> packagesOf(const SampleSoftware& software) {
    std::vector<std::string> lines;
    // Merged records list the Software Update receipts first, known only by their identifiers.
    for (const PackageDescription& package : software.softwareUpdatePackages) {
        lines.push_back(package.identifier + " - - Bundle");
    }
    for (const SoftwarePackage& package : software.spec.packages) {
        lines.push_back(package.spec.identifier + " " + package.packageName + " " + package.spec.version +
                        " " + package.packageType);
    }
    return lines;
}

// The rows of `list --json` (its schema is checked with every run).
nlohmann::json jsonRows(const std::string& output) {
    nlohmann::json rows = nlohmann::json::parse(output, nullptr, /*allow_exceptions=*/false);
    if (!rows.is_array()) {
        ADD_FAILURE() << "not a JSON array:\n" << output;
        return nlohmann::json::array();
    }
    return rows;
}

} // namespace

// The sample's rows: both drivers in one row at the inkjet file's place, versions and sizes as installed.
TEST(ListOnSampleSystem, RowsShowEachSoftwareWithItsVersionAndSize) {
    TestSystem system;
    SampleSystem::write(system);
    const Canaries canaries(system);
    const int64_t inkjet = expectedSize(system, "Inkjet Printer Driver");
    const int64_t page = expectedSize(system, "Page Printer Driver");
    const int64_t fax = expectedSize(system, "PC-FAX Driver");
    const int64_t setup = expectedSize(system, "Printer Setup Utility");
    const int64_t scan = expectedSize(system, "Scan Utility");
    for (const int64_t size : {inkjet, page, fax, setup, scan}) {
        EXPECT_GT(size, 500 * 1024) << "the sample software should weigh something";
    }

    const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(list.err, "");
    // The inkjet driver is merged with its Software Update receipts, and a merged record has no version.
    EXPECT_EQ(list.out, row("Printer Driver", "-", inkjet + page) + row("PC-FAX Driver", "2.6.0", fax) +
                            row("Printer Setup Utility", "3.2.1", setup) +
                            row("Scan Utility", "4.8.0", scan));

    // A root given relative to the working folder lists the same.
    const std::string relative = fs::relative(system.root(), fs::current_path()).string();
    const ChildProcess again = ChildProcess::cli({"--root=" + relative, "list"});
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_EQ(again.out, list.out);
    canaries.expectIntact();
}

// --json: the same rows as valid JSON, sizes in bytes, and the records and packages behind each row.
TEST(ListOnSampleSystem, JsonGivesRowsRecordsAndPackages) {
    TestSystem system;
    SampleSystem::write(system);
    const Canaries canaries(system);

    const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list", "--json"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    const nlohmann::json rows = jsonRows(list.out);
    ASSERT_EQ(rows.size(), 4u);

    const nlohmann::json& drivers = rows[0];
    EXPECT_EQ(drivers.at("name"), "Printer Driver");
    EXPECT_EQ(drivers.at("version"), "-");
    EXPECT_EQ(drivers.at("size"),
              expectedSize(system, "Inkjet Printer Driver") + expectedSize(system, "Page Printer Driver"));
    EXPECT_EQ(drivers.at("records"), nlohmann::json::array({0, 2}));
    const nlohmann::json& driverRecords = drivers.at("software");
    ASSERT_EQ(driverRecords.size(), 2u);
    EXPECT_EQ(driverRecords[0].at("index"), 0);
    EXPECT_EQ(driverRecords[0].at("name"), "Inkjet Printer Driver");
    EXPECT_EQ(driverRecords[0].at("source"), "both");
    EXPECT_EQ(packagesOf(driverRecords[0]), packagesOf(sample("Inkjet Printer Driver")));
    EXPECT_EQ(driverRecords[1].at("index"), 2);
    EXPECT_EQ(driverRecords[1].at("name"), "Page Printer Driver & PS Driver");
    EXPECT_EQ(driverRecords[1].at("source"), "file");
    EXPECT_EQ(packagesOf(driverRecords[1]), packagesOf(sample("Page Printer Driver")));

    const std::tuple<const char*, const char*, int64_t> others[] = {
        {"PC-FAX Driver", "2.6.0", 1}, {"Printer Setup Utility", "3.2.1", 3}, {"Scan Utility", "4.8.0", 4}};
    for (size_t i = 0; i < std::size(others); ++i) {
        const auto& [name, version, index] = others[i];
        SCOPED_TRACE(name);
        const nlohmann::json& row = rows[i + 1];
        EXPECT_EQ(row.at("name"), name);
        EXPECT_EQ(row.at("version"), version);
        EXPECT_EQ(row.at("size"), expectedSize(system, name));
        EXPECT_EQ(row.at("records"), nlohmann::json::array({index}));
        const nlohmann::json& records = row.at("software");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].at("index"), index);
        EXPECT_EQ(records[0].at("name"), name);
        EXPECT_EQ(records[0].at("source"), "file");
        EXPECT_EQ(packagesOf(records[0]), packagesOf(sample(name)));
    }
    canaries.expectIntact();
}

// Receipt-only groups follow the files' rows; a page-printer group still joins the driver row.
TEST(ListOrder, ReceiptOnlyGroupsFollowTheFilesAndPageJoinsTheDriverRow) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    const Canaries canaries(system);
    const SoftwareSpec inkjet{
        .name = "Inkjet Printer Driver",
        .versionString = "1.1.0",
        .packages = {{.spec = {.identifier = "com.torva.pkg.Inkjet",
                               .items = {PackageItem::file("Library/Printers/TORVA/InkjetPrinter2/Filter/ij",
                                                           std::string(300000, 'i'))}}}}};
    const SoftwareSpec editor{
        .name = "Label Editor",
        .versionString = "2.0",
        .packages = {
            {.spec = {.identifier = "com.torva.pkg.LabelEditor",
                      .installPrefix = "Applications",
                      .items = {PackageItem::file("TORVA Label Editor.app/Contents/MacOS/TORVA Label Editor",
                                                  std::string(200000, 'l'))}}}}};
    const PackageDescription page{
        .identifier = "com.apple.pkg.TORVAPagePrinterHL",
        .processName = "softwareupdated",
        .items = {
            PackageItem::file("Library/Printers/TORVA/LaserPrinter/Filter/page", std::string(250000, 'p'))}};
    const PackageDescription fax{
        .identifier = "com.apple.pkg.TORVAPCFaxDriver",
        .processName = "softwareupdated",
        .items = {PackageItem::file("Library/Printers/TORVA/Fax/Filter/fax", std::string(150000, 'f'))}};
    SoftwareFixture::install(system, inkjet);
    SoftwareFixture::install(system, editor);
    PackageFixture::install(system, page, ReceiptLayout::AppleSystemReceipts);
    PackageFixture::install(system, fax, ReceiptLayout::AppleSystemReceipts);
    SoftwareFixture::writePpd(system, "TORVA HL-1000.ppd.gz",
                              "application/vnd.cups-raster 0 rastertotorvapage",
                              /*compressed=*/true);

    const int64_t inkjetSize = ExpectedSize::of(system, inkjet);
    const int64_t pageSize = ExpectedSize::ofReceipts(system, "Page Printer Driver & PS Driver", {page});
    const int64_t faxSize = ExpectedSize::ofReceipts(system, "PC-FAX Driver", {fax});
    const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(list.out, row("Printer Driver", "1.1.0", inkjetSize + pageSize) +
                            row("Label Editor", "2.0", ExpectedSize::of(system, editor)) +
                            row("PC-FAX Driver", "-", faxSize));

    const ChildProcess json = ChildProcess::cli({"--root", system.root(), "list", "--json"});
    const nlohmann::json rows = jsonRows(json.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("records"), nlohmann::json::array({0, 2}));
    const nlohmann::json& pageRecord = rows[0].at("software").at(1);
    EXPECT_EQ(pageRecord.at("name"), "Page Printer Driver & PS Driver");
    EXPECT_EQ(pageRecord.at("source"), "receipts");
    EXPECT_EQ(packagesOf(pageRecord),
              (std::vector<std::string>{"com.apple.pkg.TORVAPagePrinterHL - - Bundle"}));
    EXPECT_EQ(rows[2].at("records"), nlohmann::json::array({3}));
    EXPECT_EQ(rows[2].at("software").at(0).at("source"), "receipts");
    canaries.expectIntact();
}

// Quotes, a backslash, a tab and non-ASCII letters in names give JSON that reads back exactly.
TEST(ListJson, UnusualNamesReadBackExactly) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    const Canaries canaries(system);
    const SoftwareSpec odd{
        .name = "Label \"Pro\" \\ Editor\t2",
        .fileName = "Label Editor",
        .versionString = "2.0 β (ラベル)",
        .packages = {{.spec = {.identifier = "com.torva.pkg.LabelEditor",
                               .items = {PackageItem::file("Applications/Label.app/Contents/MacOS/Label",
                                                           std::string(4096, 'x'))}}}}};
    SoftwareFixture::install(system, odd);

    const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list", "--json"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    const nlohmann::json rows = jsonRows(list.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("name"), odd.name);
    EXPECT_EQ(rows[0].at("version"), *odd.versionString);
    EXPECT_EQ(rows[0].at("size"), 4096);
    EXPECT_EQ(rows[0].at("software").at(0).at("name"), odd.name);

    // In the tab-separated rows a tab inside a name is written as "\t", so the row keeps three fields.
    const ChildProcess rowsOut = ChildProcess::cli({"--root", system.root(), "list"});
    ASSERT_EQ(rowsOut.exitStatus, 0) << rowsOut.err;
    EXPECT_EQ(rowsOut.out, "Label \"Pro\" \\ Editor\\t2\t2.0 β (ラベル)\t0.00 MB\n");
    canaries.expectIntact();
}

// Names from the system are shown, never obeyed: a terminal gets no control character raw, and JSON
// stays valid UTF-8 whatever bytes a name holds.
TEST(ListOutput, ControlCharactersAndInvalidBytesAreMadeHarmless) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    const std::string name = "Evil\x1b]0;pwned\x07 \r\x7f\xc2\x9b\xff!";
    SoftwareFixture::install(system,
                             {.name = name,
                              .fileName = "Evil",
                              .packages = {{.spec = {.identifier = "com.torva.pkg.Evil",
                                                     .items = {PackageItem::file("evil.txt", "x")}}}}});

    const ChildProcess rows = ChildProcess::cli({"--root", system.root(), "list"});
    ASSERT_EQ(rows.exitStatus, 0) << rows.err;
    EXPECT_EQ(rows.out, "Evil\\x1b]0;pwned\\x07 \\r\\x7f\\u009b\\xff!\t1.0\t0.00 MB\n");

    const ChildProcess json = ChildProcess::cli({"--root", system.root(), "list", "--json"});
    ASSERT_EQ(json.exitStatus, 0) << json.err;
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    const nlohmann::json parsed = jsonRows(json.out);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].at("name"), "Evil\x1b]0;pwned\x07 \r\x7f\xc2\x9b\xef\xbf\xbd!");
}
