// The software table without a window: cell values and sizes, ticking into the catalogue's records, rows
// taken along shown ticked with their reason, the information text, and Arabic alignment and isolation.

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
    out.reserve(records.size());
    for (const SoftwareInformationRecord& full : records) {
        out.push_back(full.isMarkedForUninstall());
    }
    return out;
}

// The grouped printer-driver row (a Software Update record and the inkjet driver's file), the other drivers
// (one of them in capitals), and a utility.
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
                               {"Main.Information.Forced", "Goes with %@."},
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
        const Localization texts = english();
        SoftwareTableModel model(catalogue.selection, texts, TextDirection::LeftToRight);
        QCOMPARE(model.rowCount(), 0);
        model.load();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.index(3, SoftwareTableModel::NameColumn).data().toString(), QString("Scan Utility"));
        QCOMPARE(model.index(3, SoftwareTableModel::VersionColumn).data().toString(), QString("1.0"));
        QCOMPARE(model.index(3, SoftwareTableModel::UninstallColumn).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
        QCOMPARE(model.index(3, SoftwareTableModel::UninstallColumn).data(Qt::AccessibleTextRole).toString(),
                 QString("Scan Utility"));
    }

    // What goes shows ticked: a forced row ticked and greyed, with the reason as its tooltip and its
    // accessible description, whatever its own box says; unticking the forcing row gives it back.
    void forcedRowsShowTickedWithTheirReason() {
        DriverCatalogue catalogue;
        const Localization texts = english();
        SoftwareTableModel model(catalogue.selection, texts, TextDirection::LeftToRight);
        model.load();
        QVERIFY(!model.setData(model.index(2, 1), Qt::Checked, Qt::CheckStateRole)); // only the box ticks
        QVERIFY(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));  // the fax driver itself
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setTicked(0, true); // the Software Update row
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.front().at(1).toModelIndex().row(), 3); // every row may have changed

        const QString reason = "Goes with Printer Driver.";
        for (const int forced : {1, 2}) {
            for (int column = 0; column < SoftwareTableModel::ColumnCount; ++column) {
                const QModelIndex cell = model.index(forced, column);
                QVERIFY(!(model.flags(cell) & Qt::ItemIsEnabled));
                QCOMPARE(cell.data(Qt::ToolTipRole).toString(), reason);
                QCOMPARE(cell.data(Qt::AccessibleDescriptionRole).toString(), reason);
            }
            QCOMPARE(model.index(forced, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
            QVERIFY(!model.setTicked(forced, false));
        }
        QVERIFY(model.flags(model.index(3, 0)) & Qt::ItemIsEnabled);
        QVERIFY(!model.index(3, 1).data(Qt::AccessibleDescriptionRole).isValid());
        QCOMPARE(flags(catalogue.records), (std::vector<bool>{true, true, true, true, false}));

        model.setTicked(0, false);
        QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(model.flags(model.index(1, 0)) & Qt::ItemIsEnabled);
        QCOMPARE(model.index(1, 1).data(Qt::ToolTipRole).toString(),
                 QString("Page Printer Driver & PS Driver"));
        QCOMPARE(flags(catalogue.records), (std::vector<bool>{false, false, false, true, false}));
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

    // In Arabic the text cells are right-aligned, and names, versions and sizes are isolated so that
    // "3.00 MB" does not read "MB 3.00"; the information text isolates the name it holds.
    void arabicRightAlignsAndIsolatesTheTextCells() {
        DriverCatalogue catalogue;
        catalogue.rows[3].installFileSize = int64_t{3} * 1024 * 1024;
        const Localization texts = english();
        const Localization arabic("ar", {{"Main.Information.Uninstall", "يزيل %@."}});
        SoftwareTableModel rightToLeft(catalogue.selection, arabic, TextDirection::RightToLeft);
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

        const QString leftToRightIsolate(QChar(0x2066)), firstStrongIsolate(QChar(0x2068)),
            pop(QChar(0x2069));
        QCOMPARE(rightToLeft.index(3, SoftwareTableModel::SizeColumn).data().toString(),
                 leftToRightIsolate + "3.00 MB" + pop);
        QCOMPARE(rightToLeft.index(1, SoftwareTableModel::NameColumn).data().toString(),
                 firstStrongIsolate + "Page Printer Driver & PS Driver" + pop);
        QCOMPARE(QString::fromStdString(catalogue.selection.informationText(3, arabic)),
                 "يزيل " + firstStrongIsolate + "Scan Utility" + pop + ".");
        QCOMPARE(leftToRight.index(3, SoftwareTableModel::SizeColumn).data().toString(), QString("3.00 MB"));
    }
};

QTEST_MAIN(SoftwareTableTest)
#include "SoftwareTableTest.moc"
