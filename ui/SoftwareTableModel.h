#pragma once

#include <QAbstractTableModel>
#include <QLocale>

#include <cstdint>

class Localization;
class SoftwareSelection;

/// Which way the window's texts run.
enum class TextDirection { LeftToRight, RightToLeft };

/// The software table: one row per display record, with the check box, name, version and size columns.
/// Ticking goes through the selection, which writes the catalogue's records.
///
/// The model shows no rows until load() is called, so that the table never reads the catalogue while
/// the search thread is still building it.
class SoftwareTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { UninstallColumn, NameColumn, VersionColumn, SizeColumn, ColumnCount };

    /// A model over `selection` with headers from `texts`; both must outlive it.
    SoftwareTableModel(SoftwareSelection& selection, const Localization& texts, TextDirection direction,
                       QObject* parent = nullptr);

    /// Shows the catalogue's rows (on the main thread, once the search has ended).
    void load();
    bool isLoaded() const { return mLoaded; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// Ticks or unticks a row, as a click on its check box does; false for a row that cannot be changed
    /// (out of range, or forced by a ticked Software Update row).
    bool setTicked(int row, bool ticked);
    /// Toggles a row's check box.
    bool toggle(int row);

    /// A size in bytes as the table shows it: mebibytes with two decimals and the locale's decimal
    /// separator, without grouping ("1.50 MB", "1,50 MB").
    static QString sizeText(int64_t bytes, const QLocale& locale = QLocale());

signals:
    /// A check box changed; the Uninstall button follows hasTickedRow().
    void tickedChanged();

private:
    SoftwareSelection& mSelection;
    const Localization& mTexts;
    TextDirection mDirection;
    bool mLoaded = false;
};
