#include "analysis/AnalyzePathManager.h"
#include "analysis/PpdReader.h"

#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::string>;

const std::string kPpdFolder = "/Library/Printers/PPDs/Contents/Resources";

std::string ppdText(const std::string& filter) {
    return "*PPD-Adobe: \"4.3\"\n*Manufacturer: \"TORVA\"\n*cupsFilter: \"" + filter + "\"\n";
}

PlistValue group(const Paths& names, const Paths& paths) {
    return plistDictionary(
        {{"softwarename", PlistValue::stringArray(names)}, {"removepath", PlistValue::stringArray(paths)}});
}

} // namespace

TEST(ExtensionPaths, GroupsThatNameTheSoftwareAddTheirPathsInOrder) {
    TestSystem system;
    TestBundle bundle;
    bundle.setInformation(
        plistDictionary({{"CVExtendRemovePath",
                          PlistValue(PlistValue::Array{
                              group({"Inkjet Printer Driver", "PC-FAX Driver"}, {"/a", "/b"}),
                              group({"Other"}, {"/other"}), group({"PC-FAX Driver"}, {"/c"}),
                              plistDictionary({{"softwarename", PlistValue::stringArray({"PC-FAX Driver"})},
                                               {"removepath", "/not-an-array"}})})}}));
    AnalyzePathManager analysis;
    EXPECT_EQ(analysis.addExtensionRemovePathList(Paths{"/own"}, std::string("PC-FAX Driver")),
              (Paths{"/own", "/a", "/b", "/c"}));
    EXPECT_EQ(analysis.addExtensionRemovePathList(std::nullopt, std::string("Inkjet Printer Driver")),
              (Paths{"/a", "/b"}));
    EXPECT_EQ(analysis.addExtensionRemovePathList(Paths{"/own"}, std::string("pc-fax driver")),
              (Paths{"/own"}));
    EXPECT_EQ(analysis.addExtensionRemovePathList(Paths{"/own"}, std::nullopt), (Paths{"/own"}));
    bundle.setInformationBytes("");
    EXPECT_EQ(AnalyzePathManager().addExtensionRemovePathList(Paths{"/own"}, std::string("PC-FAX Driver")),
              (Paths{"/own"}));
}

TEST(ExtensionPaths, PpdFolderEntriesByPrefix) {
    TestSystem system;
    system.writeFile(kPpdFolder + "/TORVA A.ppd.gz");
    system.writeFile(kPpdFolder + "/Other.ppd");
    system.writeFile(kPpdFolder + "/TORVA B.ppd");
    EXPECT_EQ(AnalyzePathManager::getPathList(kPpdFolder, std::string("TORVA"), std::nullopt),
              (Paths{kPpdFolder + "/TORVA A.ppd.gz", kPpdFolder + "/TORVA B.ppd"}));
    EXPECT_EQ(AnalyzePathManager::getPathList(kPpdFolder, std::nullopt, std::string(".gz")),
              (Paths{kPpdFolder + "/TORVA A.ppd.gz"}));
    EXPECT_EQ(AnalyzePathManager::getPathList(kPpdFolder, std::nullopt, std::nullopt)->size(), 3u);
    EXPECT_EQ(AnalyzePathManager::getPathList(std::string("/none"), std::nullopt, std::nullopt), Paths{});
    EXPECT_FALSE(AnalyzePathManager::getPathList(std::nullopt, std::nullopt, std::nullopt));
}

TEST(ExtensionPaths, PpdFilesMatchTheirCupsFilterExactly) {
    TestSystem system;
    const std::string filter = "application/vnd.cups-raster 0 rastertotorvaij";
    system.writeFile(kPpdFolder + "/TORVA Plain.ppd", ppdText(filter));
    system.writeFile(kPpdFolder + "/TORVA Zipped.ppd.gz", SoftwareFixture::gzip(ppdText(filter)));
    system.writeFile(kPpdFolder + "/TORVA Blank.ppd",
                     ppdText("application/vnd.cups-raster  0 rastertotorvaij"));
    system.writeFile(kPpdFolder + "/TORVA Other.ppd", ppdText("application/vnd.cups-raster 0 rastertoother"));
    system.writeFile(kPpdFolder + "/TORVA Broken.ppd", "not a ppd");
    system.writeFile(kPpdFolder + "/TORVA Truncated.gz",
                     SoftwareFixture::gzip(ppdText(filter)).substr(0, 20));
    system.writeFile(kPpdFolder + "/NotTORVA.ppd", ppdText(filter));
    // A name the shell would act on is only ever a name here.
    system.writeFile(kPpdFolder + "/TORVA \"$(touch pwned)\" `touch pwned2`.ppd.gz",
                     SoftwareFixture::gzip(ppdText(filter)));

    AnalyzePathManager analysis;
    analysis.getMUnInstallFilePathArray() = {kPpdFolder + "/TORVA Plain.ppd"}; // listed by a package already
    analysis.mergeExtenstionPath({std::string("Inkjet Printer Driver"), std::nullopt, std::nullopt});
    EXPECT_EQ(analysis.getMUnInstallFilePathArray(),
              (Paths{kPpdFolder + "/TORVA Plain.ppd",
                     kPpdFolder + "/TORVA \"$(touch pwned)\" `touch pwned2`.ppd.gz",
                     kPpdFolder + "/TORVA Zipped.ppd.gz"}));
    EXPECT_FALSE(system.exists("/pwned"));
    EXPECT_FALSE(system.exists(kPpdFolder + "/pwned"));

    // Letter case of the name matters.
    AnalyzePathManager other;
    other.mergeExtenstionPath({std::string("inkjet printer driver"), std::nullopt, std::nullopt});
    EXPECT_TRUE(other.getMUnInstallFilePathArray().empty());
}

TEST(ExtensionPaths, CheckCupsFilterComparesEveryValue) {
    TestSystem system;
    system.writeFile("/two.ppd", "*PPD-Adobe: \"4.3\"\n*cupsFilter: \"a 0 x\"\n*cupsFilter: \"b 0 y\"\n");
    const PpdReader ppd = PpdReader::open("/two.ppd");
    ASSERT_NE(ppd.get(), nullptr);
    EXPECT_TRUE(AnalyzePathManager::checkCupsFilter(ppd.get(), Paths{"z", "b 0 y"}));
    EXPECT_FALSE(AnalyzePathManager::checkCupsFilter(ppd.get(), Paths{"b 0 y "}));
    EXPECT_FALSE(AnalyzePathManager::checkCupsFilter(ppd.get(), std::nullopt));
    EXPECT_FALSE(AnalyzePathManager::checkCupsFilter(nullptr, Paths{"a 0 x"}));
    EXPECT_EQ(PpdReader::open("/missing.ppd").get(), nullptr);
}
