#include "desk/window/NestedTableModel.h"

#include <QColor>

#include "desk/window/Icons.h"
#include "desk/window/ReportTableModel.h"
#include "desk/window/ReportText.h"
#include "store/report/NestedTableReport.h"

CNestedTableModel::CNestedTableModel(const CNestedTableReport* report, QObject* parent)
    : QAbstractItemModel(parent), m_report(report) {
    const unsigned long rows = report ? report->GetNumRows() : 0;
    m_order.resize(rows);
    m_position.resize(rows);
    for (unsigned long r = 0; r < rows; ++r) m_order[r] = r, m_position[r] = int(r);
}

long CNestedTableModel::outerOf(const QModelIndex& index) const {
    return index.isValid() && index.internalId() != 0 ? long(index.internalId()) - 1 : -1;
}

QModelIndex CNestedTableModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    if (!parent.isValid()) return createIndex(row, column, quintptr(0));
    return createIndex(row, column, quintptr(m_order[size_t(parent.row())] + 1));
}

QModelIndex CNestedTableModel::parent(const QModelIndex& child) const {
    const long outer = outerOf(child);
    if (outer < 0) return {};
    return createIndex(m_position[size_t(outer)], 0, quintptr(0));
}

int CNestedTableModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(m_order.size());
    if (parent.column() != 0 || outerOf(parent) >= 0) return 0;
    return std::max(0, m_report->GetNestedRows(int(m_order[size_t(parent.row())])));
}

int CNestedTableModel::columnCount(const QModelIndex&) const {
    return m_report ? int(m_report->GetNumColumns()) : 0;
}

QVariant CNestedTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const long outer = outerOf(index);
    const bool nested = outer >= 0;
    const unsigned long row = nested ? unsigned(outer) : m_order[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return nested
                       ? FromReportBytes(
                             m_report->GetNestedTableItem(int(row), index.row(), index.column()))
                       : FromReportBytes(m_report->GetFormattedItem(row, unsigned(index.column())));
        case Qt::DecorationRole:
            if (index.column() != 0) return {};
            return icons::NestedRowIcon(nested ? 2 : m_report->GetNestedRows(int(row)) > 0 ? 0 : 1);
        case SourceRowRole:
            return QVariant::fromValue(qulonglong(row));
        case NestedRowRole:
            return nested ? index.row() : -1;
        default:
            return {};
    }
}

QVariant CNestedTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole)
        return FromReportBytes(m_report->GetColumnTitle(unsigned(section)));
    if (role == CReportTableModel::ColumnTypeRole)
        return int(m_report->GetColumnType(unsigned(section)));
    return {};
}

void CNestedTableModel::sort(int column, Qt::SortOrder order) {
    if (!m_report || column < 0 || column >= columnCount()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<unsigned long> outerRows;
    for (const QModelIndex& index : before)
        outerRows.push_back(outerOf(index) >= 0 ? 0 : m_order[size_t(index.row())]);
    SortReportRows(*m_report, m_order, column, order);
    for (size_t i = 0; i < m_order.size(); ++i) m_position[m_order[i]] = int(i);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QModelIndex& old = before[i];
        // Nested indexes are tied to their outer report row, not its position: they stay valid.
        after.push_back(outerOf(old) >= 0 ? old
                                          : createIndex(m_position[outerRows[size_t(i)]],
                                                        old.column(), quintptr(0)));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool CNestedTableModel::hasUrlColumn() const {
    for (int c = 0; c < columnCount(); ++c)
        if (m_report->GetColumnType(unsigned(c)) == CTableReport::URL) return true;
    return false;
}

bool CNestedTableModel::firstColumnIsUrl() const {
    return columnCount() > 0 && m_report->GetColumnType(0) == CTableReport::URL;
}

std::string CNestedTableModel::realUrl(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    // A row without a real address of its own stands for the address it shows.
    const long outer = outerOf(index);
    if (outer >= 0) {
        const std::string& real = m_report->GetNestedRealURL(int(outer), index.row(), 0);
        return real.empty() ? m_report->GetNestedTableItem(int(outer), index.row(), 0) : real;
    }
    const unsigned long row = m_order[size_t(index.row())];
    const std::string& real = m_report->GetRealURL(row, 0);
    return real.empty() ? m_report->GetItem(row, 0) : real;
}

QString CNestedTableModel::rowText(const QModelIndex& index) const {
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c) cells << data(index.siblingAtColumn(c)).toString();
    return cells.join('\t');
}

QString CNestedTableModel::tableText() const {
    QStringList titles;
    for (int c = 0; c < columnCount(); ++c) titles << headerData(c, Qt::Horizontal).toString();
    QStringList rows;
    for (int r = 0; r < rowCount(); ++r) {
        const QModelIndex outer = index(r, 0);
        rows << rowText(outer);
        for (int k = 0; k < rowCount(outer); ++k) rows << rowText(index(k, 0, outer));
    }
    return titles.join('\t') + QStringLiteral("\r\n") + rows.join(QStringLiteral("\r\n"));
}
