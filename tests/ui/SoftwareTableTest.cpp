// The software table without a window: cell values and sizes, ticking into the catalogue's records, the
// forcing of the other drivers by a TRSU row, the information text and the alignment for Arabic.

#include "ui/SoftwareSelection.h"
#include "ui/SoftwareTableModel.h"

#include "catalogue/DisplayRecord.h"
#include "catalogue/SoftwareInformationRecord.h"
#include "platform/Localization.h"

#include <QTableView>
#include <QtTest>

namespace {

SoftwareInformationRecord record(const std::string& name, const std::string& identifier = "com.torva.pkg.x") {
    SoftwareInformationRecord full;
    full.applicationName = name;
    full.packageInfo = {{identifier, "-", "-", "Flat"}};
    return full;
}

DisplayRecord row(const std::string& name, std::vector<int32_t> map, int64_t size = 0) {
    DisplayRecord display;
    display.applicationName = name;
    display.applicationVersion = "1.0";
    display.installFileSize = size;
    display.softInfoMap = std::move(map);
    return display;
}

std::vector<bool> flags(const std::vector<SoftwareInformationRecord>& records) {
    std::vector<bool> out;
    for (const SoftwareInformationRecord& full : records) {
        out.push_back(full.isMarkedForUninstall());
    }
    return out;
}

// The grouped printer-driver row (a TRSU record and the inkjet driver's file), the other drivers (one of
// them in capitals), and a utility.
struct DriverCatalogue {
    std::vector<SoftwareInformationRecord> records{
        record("Printer Driver", "com.apple.pkg.TORVAPrinterDrivers"), record("Inkjet Printer Driver"),
        record("Page Printer Driver & PS Driver"), record("PC-FAX DRIVER"), record("Scan Utility")};
    std::vector<DisplayRecord> rows{row("Printer Driver", {0, 1}),
                                    row("Page Printer Driver & PS Driver", {2}), row("PC-FAX DRIVER", {3}),
                                    row("Scan Utility", {4})};
    SoftwareSelection selection{records, rows};
};

Localization english() {
    return Localization("en", {{"Main.LanguageCode", "en"},
                               {"Main.Information.Uninstall", "Removes %@."},
                               {"Main.TableHeader.Title.Name", "Name"}});
}

} // namespace

class SoftwareTableTest : public QObject {
    Q_OBJECT

private slots:
    void sizeText_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("shown");
        const QLocale c = QLocale::c();
        const QLocale german(QLocale::German, QLocale::Germany);
        QTest::newRow("1.5 MiB") << qint64(3 * 512 * 1024) << c << "1.50 MB";
        QTest::newRow("decimal comma") << qint64(3 * 512 * 1024) << german << "1,50 MB";
        QTest::newRow("5000 bytes") << qint64(5000) << c << "0.00 MB";
        QTest::newRow("missing size") << qint64(0) << c << "0.00 MB";
        QTest::newRow("no grouping") << qint64(1234) * 1024 * 1024 << german << "1234,00 MB";
    }
    void sizeText() {
        QFETCH(qint64, bytes);
        QFETCH(QLocale, locale);
        QFETCH(QString, shown);
        QCOMPARE(SoftwareTableModel::sizeText(bytes, locale), shown);
    }

    void cellsShowTheDisplayRecordsOnceLoaded() {
        DriverCatalogue catalogue;
        catalogue.rows[3].installFileSize = 3 * 512 * 1024;
        const Localization texts = english();
        SoftwareTableModel model(catalogue.selection, texts, TextDirection::LeftToRight);
        QCOMPARE(model.rowCount(), 0);
        model.load();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.index(3, SoftwareTableModel::NameColumn).data().toString(), QString("Scan Utility"));
        QCOMPARE(model.index(3, SoftwareTableModel::VersionColumn).data().toString(), QString("1.0"));
        QCOMPARE(model.index(3, SoftwareTableModel::SizeColumn).data().toString(), QString("1.50 MB"));
        QCOMPARE(model.index(3, SoftwareTableModel::UninstallColumn).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
        QCOMPARE(model.index(3, SoftwareTableModel::UninstallColumn).data(Qt::AccessibleTextRole).toString(),
                 QString("Scan Utility"));
        QCOMPARE(model.headerData(SoftwareTableModel::NameColumn, Qt::Horizontal).toString(),
                 QString("Name"));
        // A key missing from the table shows the key.
        QCOMPARE(model.headerData(SoftwareTableModel::SizeColumn, Qt::Horizontal).toString(),
                 QString("Main.TableHeader.Title.Size"));
    }

    void tickingTheGroupedRowMarksEveryRecordItStandsFor() {
        DriverCatalogue catalogue;
        const Localization texts = english();
        SoftwareTableModel model(catalogue.selection, texts, TextDirection::LeftToRight);
        model.load();
        QSignalSpy ticked(&model, &SoftwareTableModel::tickedChanged);
        QVERIFY(model.setData(model.index(3, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(flags(catalogue.records), (std::vector<bool>{false, false, false, false, true}));
        QVERIFY(catalogue.selection.hasTickedRow());
        QVERIFY(model.setData(model.index(3, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!catalogue.selection.hasTickedRow());
        QCOMPARE(ticked.count(), 2);
        // Only the check box column ticks.
        QVERIFY(!model.setData(model.index(3, 1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!catalogue.selection.hasTickedRow());
    }

    void aTickedTRSURowForcesTheOtherDriversAndReleasesThemWhenUnticked() {
        DriverCatalogue catalogue;
        const Localization texts = english();
        SoftwareTableModel model(catalogue.selection, texts, TextDirection::LeftToRight);
        model.load();
        model.setTicked(2, true); // the fax driver by its own check box
        model.setTicked(0, true); // the TRSU row

        QVERIFY(catalogue.selection.isAppleTRSUSelected());
        QCOMPARE(flags(catalogue.records), (std::vector<bool>{true, true, true, true, false}));
        for (const int forced : {1, 2}) {
            QVERIFY(catalogue.selection.isRowForced(forced));
            QVERIFY(!(model.flags(model.index(forced, 0)) & Qt::ItemIsEnabled));
            QVERIFY(!(model.flags(model.index(forced, 1)) & Qt::ItemIsEnabled));
        }
        QVERIFY(model.flags(model.index(3, 0)) & Qt::ItemIsEnabled);
        // The forced rows keep their own check marks, and cannot be changed while forced.
        QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!model.setTicked(1, true));

        model.setTicked(0, false);
        QVERIFY(!catalogue.selection.isAppleTRSUSelected());
        QCOMPARE(flags(catalogue.records), (std::vector<bool>{false, false, false, true, false}));
        QVERIFY(model.flags(model.index(1, 0)) & Qt::ItemIsEnabled);
    }

    void forcingReachesARowOutOfView() {
        std::vector<SoftwareInformationRecord> records{
            record("Printer Driver", "com.apple.pkg.torvaprinterdrivers")};
        std::vector<DisplayRecord> rows{row("Printer Driver", {0})};
        for (int i = 1; i < 40; ++i) {
            records.push_back(record("Utility " + std::to_string(i)));
            rows.push_back(row("Utility " + std::to_string(i), {i}));
        }
        records.push_back(record("Page Printer Driver"));
        rows.push_back(row("Page Printer Driver", {40}));
        SoftwareSelection selection(records, rows);
        const Localization texts = english();
        SoftwareTableModel model(selection, texts, TextDirection::LeftToRight);
        model.load();
        QTableView view;
        view.setModel(&model);
        view.resize(400, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.rowViewportPosition(40) > view.viewport()->height());

        QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(records[40].isMarkedForUninstall());
        QVERIFY(!records[39].isMarkedForUninstall());
    }

    void informationTextPrefersTheExplanationOfTheLanguage() {
        DriverCatalogue catalogue;
        catalogue.rows[3].localizedExplanationList = LocalizedTexts{{"ja", "スキャン"}, {"en", "Scans."}};
        catalogue.rows[2].localizedExplanationList = LocalizedTexts{{"ja", "ファクス"}};
        const Localization texts = english();
        QCOMPARE(catalogue.selection.informationText(3, texts), std::string("Scans."));
        QCOMPARE(catalogue.selection.informationText(2, texts), std::string("Removes PC-FAX DRIVER."));
        QCOMPARE(catalogue.selection.informationText(0, texts), std::string("Removes Printer Driver."));
        const Localization plain("en", {{"Main.Information.Uninstall", "Removes the software."}});
        QCOMPARE(catalogue.selection.informationText(0, plain), std::string("Removes the software."));
        QCOMPARE(catalogue.selection.informationText(9, texts), std::string());
    }

    void aMapIndexOutsideTheRecordsIsPassedOver() {
        std::vector<SoftwareInformationRecord> records{record("Scan Utility")};
        std::vector<DisplayRecord> rows{row("Scan Utility", {0, 7, -1})};
        SoftwareSelection selection(records, rows);
        selection.setUnInstallFlag(0, true);
        QVERIFY(records[0].isMarkedForUninstall());
        selection.setUnInstallFlag(5, true);
    }

    void arabicRightAlignsTheTextCellsOnly() {
        DriverCatalogue catalogue;
        const Localization texts = english();
        SoftwareTableModel rightToLeft(catalogue.selection, texts, TextDirection::RightToLeft);
        SoftwareTableModel leftToRight(catalogue.selection, texts, TextDirection::LeftToRight);
        rightToLeft.load();
        leftToRight.load();
        for (const int column : {1, 2, 3}) {
            const auto alignment =
                rightToLeft.index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
            QVERIFY(alignment & Qt::AlignRight);
            QVERIFY(alignment & Qt::AlignAbsolute);
            QVERIFY(!leftToRight.index(0, column).data(Qt::TextAlignmentRole).isValid());
        }
        QVERIFY(!rightToLeft.index(0, 0).data(Qt::TextAlignmentRole).isValid());
    }
};

QTEST_MAIN(SoftwareTableTest)
#include "SoftwareTableTest.moc"
