#include "ui/SoftwareTableModel.h"

#include "ui/SoftwareSelection.h"

#include "catalogue/DisplayRecord.h"
#include "platform/Localization.h"

namespace {

constexpr const char* kHeaderKeys[] = {
    "Main.TableHeader.Title.Uninstall",
    "Main.TableHeader.Title.Name",
    "Main.TableHeader.Title.Version",
    "Main.TableHeader.Title.Size",
};

} // namespace

SoftwareTableModel::SoftwareTableModel(SoftwareSelection& selection, const Localization& texts,
                                       TextDirection direction, QObject* parent)
    : QAbstractTableModel(parent), mSelection(selection), mTexts(texts), mDirection(direction) {}

void SoftwareTableModel::load() {
    beginResetModel();
    mLoaded = true;
    endResetModel();
}

int SoftwareTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !mLoaded ? 0 : static_cast<int>(mSelection.rowCount());
}

int SoftwareTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString SoftwareTableModel::sizeText(int64_t bytes, const QLocale& locale) {
    QLocale ungrouped = locale;
    ungrouped.setNumberOptions(QLocale::OmitGroupSeparator);
    const double mebibytes = static_cast<double>(bytes) / 1024.0 / 1024.0;
    return ungrouped.toString(mebibytes, 'f', 2) + QStringLiteral(" MB");
}

QVariant SoftwareTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.row() >= rowCount()) {
        return {};
    }
    const size_t row = static_cast<size_t>(index.row());
    const DisplayRecord& record = mSelection.row(row);
    const bool forced = mSelection.forcedBy(row).has_value();
    if (forced && (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)) {
        // Why a row the user did not choose, or cannot leave, goes.
        return QString::fromStdString(mSelection.forcedReason(row, mTexts));
    }
    if (index.column() == UninstallColumn) {
        if (role == Qt::CheckStateRole) {
            // A forced row goes, so it shows ticked whatever its own box says.
            return record.isMarkedForUninstall() || forced ? Qt::Checked : Qt::Unchecked;
        }
        if (role == Qt::AccessibleTextRole) {
            // A screen reader names the software the box ticks.
            return QString::fromStdString(record.applicationName);
        }
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // Isolated in a right-to-left language, so that a name or size keeps its own order in the cell.
        switch (index.column()) {
        case NameColumn:
            return QString::fromStdString(mTexts.isolated(record.applicationName));
        case VersionColumn:
            return QString::fromStdString(mTexts.isolated(record.applicationVersion));
        case SizeColumn:
            return QString::fromStdString(
                mTexts.isolatedLeftToRight(sizeText(record.installFileSize).toStdString()));
        }
        break;
    case Qt::TextAlignmentRole:
        if (mDirection == TextDirection::RightToLeft) {
            // Right-aligned whichever way the view itself is laid out.
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter));
        }
        break;
    }
    return {};
}

Qt::ItemFlags SoftwareTableModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.row() >= rowCount()) {
        return Qt::NoItemFlags;
    }
    // A row that a ticked Software Update row takes along is greyed: the user cannot change it.
    Qt::ItemFlags flags = Qt::ItemIsSelectable;
    if (!mSelection.forcedBy(static_cast<size_t>(index.row()))) {
        flags |= Qt::ItemIsEnabled;
    }
    if (index.column() == UninstallColumn) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

bool SoftwareTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
        index.column() != UninstallColumn) {
        return false;
    }
    return setTicked(index.row(), value.toInt() == Qt::Checked);
}

bool SoftwareTableModel::setTicked(int row, bool ticked) {
    if (row < 0 || row >= rowCount() || mSelection.forcedBy(static_cast<size_t>(row))) {
        return false;
    }
    const size_t at = static_cast<size_t>(row);
    mSelection.setUnInstallFlag(at, ticked);
    if (mSelection.isSoftwareUpdateRow(at)) {
        // The other-driver rows change with it.
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    } else {
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    emit tickedChanged();
    return true;
}

bool SoftwareTableModel::toggle(int row) {
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    return setTicked(row, !mSelection.row(static_cast<size_t>(row)).isMarkedForUninstall());
}

QVariant SoftwareTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return QString::fromStdString(mTexts.localizedString(kHeaderKeys[section]));
    }
    return {};
}
