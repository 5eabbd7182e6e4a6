// uninstaller-cli list on whole systems: the sample system the demo shows, and smaller ones for the
// order of receipt-only rows and for unusual names.

#include "tests/e2e/Canaries.h"
#include "tests/e2e/ExpectedSize.h"
#include "tests/e2e/JsonValue.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

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

std::string text(const JsonValue* value) {
    return value != nullptr && value->isString() ? value->asString() : "<missing>";
}

int64_t integer(const JsonValue* value) {
    return value != nullptr ? value->asInteger().value_or(-1) : -1;
}

const JsonValue::Array& arrayOf(const JsonValue* value) {
    static const JsonValue::Array none;
    return value != nullptr && value->isArray() ? value->asArray() : none;
}

std::vector<int64_t> integers(const JsonValue* value) {
    std::vector<int64_t> numbers;
    if (value != nullptr && value->isArray()) {
        for (const JsonValue& item : value->asArray()) {
            numbers.push_back(item.asInteger().value_or(-1));
        }
    }
    return numbers;
}

// A record's packages as "identifier name version type" lines.
std::vector<std::string> packagesOf(const JsonValue& record) {
    std::vector<std::string> lines;
    const JsonValue* packages = record.find("packages");
    if (packages == nullptr || !packages->isArray()) {
        return {"<no packages>"};
    }
    for (const JsonValue& package : packages->asArray()) {
        lines.push_back(text(package.find("identifier")) + " " + text(package.find("name")) + " " +
                        text(package.find("version")) + " " + text(package.find("type")));
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

// The rows of `list --json` after checking that each has exactly the documented members.
std::vector<JsonValue> jsonRows(const std::string& output) {
    const std::optional<JsonValue> json = JsonValue::parse(output);
    if (!json || !json->isArray()) {
        ADD_FAILURE() << "not a JSON array:\n" << output;
        return {};
    }
    for (const JsonValue& row : json->asArray()) {
        EXPECT_EQ(row.keys(),
                  (std::vector<std::string>{"name", "version", "size", "warnings", "records", "software"}));
        const JsonValue* software = row.find("software");
        if (software != nullptr && software->isArray()) {
            for (const JsonValue& record : software->asArray()) {
                EXPECT_EQ(record.keys(), (std::vector<std::string>{"index", "name", "source", "packages"}));
            }
        }
    }
    return json->asArray();
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
    const std::vector<JsonValue> rows = jsonRows(list.out);
    ASSERT_EQ(rows.size(), 4u);

    const JsonValue& drivers = rows[0];
    EXPECT_EQ(text(drivers.find("name")), "Printer Driver");
    EXPECT_EQ(text(drivers.find("version")), "-");
    EXPECT_EQ(integer(drivers.find("size")),
              expectedSize(system, "Inkjet Printer Driver") + expectedSize(system, "Page Printer Driver"));
    EXPECT_EQ(integers(drivers.find("records")), (std::vector<int64_t>{0, 2}));
    const JsonValue::Array& driverRecords = arrayOf(drivers.find("software"));
    ASSERT_EQ(driverRecords.size(), 2u);
    EXPECT_EQ(integer(driverRecords[0].find("index")), 0);
    EXPECT_EQ(text(driverRecords[0].find("name")), "Inkjet Printer Driver");
    EXPECT_EQ(text(driverRecords[0].find("source")), "both");
    EXPECT_EQ(packagesOf(driverRecords[0]), packagesOf(sample("Inkjet Printer Driver")));
    EXPECT_EQ(integer(driverRecords[1].find("index")), 2);
    EXPECT_EQ(text(driverRecords[1].find("name")), "Page Printer Driver & PS Driver");
    EXPECT_EQ(text(driverRecords[1].find("source")), "file");
    EXPECT_EQ(packagesOf(driverRecords[1]), packagesOf(sample("Page Printer Driver")));

    const std::tuple<const char*, const char*, int64_t> others[] = {
        {"PC-FAX Driver", "2.6.0", 1}, {"Printer Setup Utility", "3.2.1", 3}, {"Scan Utility", "4.8.0", 4}};
    for (size_t i = 0; i < std::size(others); ++i) {
        const auto& [name, version, index] = others[i];
        SCOPED_TRACE(name);
        const JsonValue& row = rows[i + 1];
        EXPECT_EQ(text(row.find("name")), name);
        EXPECT_EQ(text(row.find("version")), version);
        EXPECT_EQ(integer(row.find("size")), expectedSize(system, name));
        EXPECT_EQ(integers(row.find("records")), (std::vector<int64_t>{index}));
        const JsonValue::Array& records = arrayOf(row.find("software"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(integer(records[0].find("index")), index);
        EXPECT_EQ(text(records[0].find("name")), name);
        EXPECT_EQ(text(records[0].find("source")), "file");
        EXPECT_EQ(packagesOf(records[0]), packagesOf(sample(name)));
    }
    canaries.expectIntact();
}

// Listing only reads: the tree is unchanged item for item and no decoded copy is left behind.
TEST(ListOnSampleSystem, ChangesNothingOnDisk) {
    TestSystem system;
    SampleSystem::write(system);
    const Canaries canaries(system);
    const TreeSnapshot before = TreeSnapshot::take(system.root());

    EXPECT_EQ(ChildProcess::cli({"--root", system.root(), "list"}).exitStatus, 0);
    EXPECT_EQ(ChildProcess::cli({"--root", system.root(), "list", "--json"}).exitStatus, 0);

    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root())), "");
    for (const fs::directory_entry& entry : fs::directory_iterator(system.host("/Library/Preferences"))) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("decode.")) << entry.path();
    }
    for (const std::string& kept : SampleSystem::keptFiles()) {
        EXPECT_TRUE(system.exists(kept)) << kept;
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
    const std::vector<JsonValue> rows = jsonRows(json.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(integers(rows[0].find("records")), (std::vector<int64_t>{0, 2}));
    const JsonValue& pageRecord = arrayOf(rows[0].find("software")).at(1);
    EXPECT_EQ(text(pageRecord.find("name")), "Page Printer Driver & PS Driver");
    EXPECT_EQ(text(pageRecord.find("source")), "receipts");
    EXPECT_EQ(packagesOf(pageRecord),
              (std::vector<std::string>{"com.apple.pkg.TORVAPagePrinterHL - - Bundle"}));
    EXPECT_EQ(integers(rows[2].find("records")), (std::vector<int64_t>{3}));
    EXPECT_EQ(text(arrayOf(rows[2].find("software")).at(0).find("source")), "receipts");
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
    const std::vector<JsonValue> rows = jsonRows(list.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(text(rows[0].find("name")), odd.name);
    EXPECT_EQ(text(rows[0].find("version")), *odd.versionString);
    EXPECT_EQ(integer(rows[0].find("size")), 4096);
    EXPECT_EQ(text(arrayOf(rows[0].find("software")).at(0).find("name")), odd.name);

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
    const std::vector<JsonValue> parsed = jsonRows(json.out);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(text(parsed[0].find("name")), "Evil\x1b]0;pwned\x07 \r\x7f\xc2\x9b\xef\xbf\xbd!");
}
