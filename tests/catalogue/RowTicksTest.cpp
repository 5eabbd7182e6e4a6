// Which rows an uninstall takes, the window's and the command line's alike: the ticked rows, and the
// other driver rows a ticked Software Update printer-driver row takes along; and which full records
// that marks.

#include "catalogue/RowTicks.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kSoftwareUpdate = "com.apple.pkg.TORVAPrinterDrivers";

// A row with the package identifiers of each full record it stands for (one record per entry); a
// record index is given instead with "#N".
struct RowSpec {
    std::string name;
    std::vector<std::string> records;
};

struct Case {
    const char* what;
    std::vector<RowSpec> rows;
    std::vector<std::string> ticked;
    /// The rows taken, in order: "Name" when ticked, "Name <- Forcer" when taken along (also when ticked).
    std::vector<std::string> taken;
    /// Each full record afterwards: '+' marked, '-' not.
    std::string marked;
};

struct BuiltCatalogue {
    std::vector<DisplayRecord> rows;
    std::vector<SoftwareInformationRecord> records;
};

BuiltCatalogue build(const Case& c) {
    BuiltCatalogue catalogue;
    for (const RowSpec& spec : c.rows) {
        DisplayRecord row;
        row.applicationName = spec.name;
        row.unInstallFlag = std::find(c.ticked.begin(), c.ticked.end(), spec.name) != c.ticked.end();
        for (const std::string& package : spec.records) {
            if (package.front() == '#') {
                row.softInfoMap.push_back(std::stoi(package.substr(1)));
                continue;
            }
            SoftwareInformationRecord record;
            record.applicationName = spec.name;
            record.packageInfo = {{package, "-", "-", "Flat"}};
            // A stale mark from before must not survive.
            record.unInstallFlag = true;
            row.softInfoMap.push_back(static_cast<int32_t>(catalogue.records.size()));
            catalogue.records.push_back(record);
        }
        catalogue.rows.push_back(row);
    }
    return catalogue;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"the Software Update row takes the page-printer and fax drivers, in any letter case",
         {{"Printer Driver", {kSoftwareUpdate, "com.torva.pkg.Inkjet"}},
          {"Page Printer Driver & PS Driver", {"com.torva.pkg.Page"}},
          {"PC-FAX DRIVER", {"com.torva.pkg.Fax"}},
          {"Scan Utility", {"com.torva.pkg.Scan"}}},
         {"Printer Driver"},
         {"Printer Driver", "Page Printer Driver & PS Driver <- Printer Driver",
          "PC-FAX DRIVER <- Printer Driver"},
         "++++-"},
        {"the Software Update package may be in the row's second record",
         {{"Printer Driver", {"com.torva.pkg.Page", kSoftwareUpdate}},
          {"PC-FAX Driver", {"com.torva.pkg.Fax"}}},
         {"Printer Driver"},
         {"Printer Driver", "PC-FAX Driver <- Printer Driver"},
         "+++"},
        {"the identifier is found in any letter case",
         {{"Printer Driver", {"com.apple.pkg.torvaprinterdrivers"}},
          {"PC-FAX Driver", {"com.torva.pkg.Fax"}}},
         {"Printer Driver"},
         {"Printer Driver", "PC-FAX Driver <- Printer Driver"},
         "++"},
        {"a driver row ticked by itself is still held by the Software Update row",
         {{"PC-FAX Driver", {"com.torva.pkg.Fax"}}, {"Printer Driver", {kSoftwareUpdate}}},
         {"PC-FAX Driver", "Printer Driver"},
         {"PC-FAX Driver <- Printer Driver", "Printer Driver"},
         "++"},
        {"printer drivers not from Software Update take nothing along",
         {{"Printer Driver", {"com.torva.pkg.Inkjet"}}, {"PC-FAX Driver", {"com.torva.pkg.Fax"}}},
         {"Printer Driver"},
         {"Printer Driver"},
         "+-"},
        {"a driver row holding the Software Update package is not taken along by itself",
         {{"Page Printer Driver", {kSoftwareUpdate}}, {"PC-FAX Driver", {"com.torva.pkg.Fax"}}},
         {"Page Printer Driver"},
         {"Page Printer Driver", "PC-FAX Driver <- Page Printer Driver"},
         "++"},
        {"an unticked Software Update row takes nothing along",
         {{"Printer Driver", {kSoftwareUpdate}},
          {"PC-FAX Driver", {"com.torva.pkg.Fax"}},
          {"Scan Utility", {"com.torva.pkg.Scan"}}},
         {"Scan Utility"},
         {"Scan Utility"},
         "--+"},
        {"record indexes outside the list are passed over",
         {{"Scan Utility", {"com.torva.pkg.Scan", "#7", "#-1"}}},
         {"Scan Utility"},
         {"Scan Utility"},
         "+"},
    };
    return table;
}

} // namespace

TEST(RowTicks, EachCaseTakesItsRowsAndMarksTheirRecords) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        BuiltCatalogue catalogue = build(c);
        std::vector<std::string> taken;
        for (const RowTicks::Taken& entry : RowTicks::takenRows(catalogue.rows, catalogue.records)) {
            std::string text = catalogue.rows[entry.row].applicationName;
            if (entry.forcedBy) {
                text += " <- " + catalogue.rows[*entry.forcedBy].applicationName;
            }
            EXPECT_EQ(entry.ticked, catalogue.rows[entry.row].isMarkedForUninstall()) << text;
            taken.push_back(text);
        }
        EXPECT_EQ(taken, c.taken);

        RowTicks::markRecords(catalogue.rows, catalogue.records);
        std::string marked;
        for (const SoftwareInformationRecord& record : catalogue.records) {
            marked += record.isMarkedForUninstall() ? '+' : '-';
        }
        EXPECT_EQ(marked, c.marked);
    }
}
