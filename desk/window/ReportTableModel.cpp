#include "desk/window/ReportTableModel.h"

#include <algorithm>
#include <cstdlib>

#include <QColor>

#include "desk/window/ReportText.h"
#include "store/report/TableReport.h"

std::optional<std::pair<int, Qt::SortOrder>> DefaultSortOf(int d, int columns) {
    if (d == 0 || d < -columns || d > columns) return std::nullopt;
    return std::pair{std::abs(d) - 1, d < 0 ? Qt::AscendingOrder : Qt::DescendingOrder};
}

void SortReportRows(const CTableReport& report, std::vector<unsigned long>& rows, int column,
                    Qt::SortOrder order) {
    if (column < 0 || unsigned(column) >= report.GetNumColumns()) return;
    const auto col = static_cast<unsigned long>(column);
    std::stable_sort(rows.begin(), rows.end(), [&](unsigned long a, unsigned long b) {
        const int c = a == b ? 0 : report.CompareTwoRows(a, b, col);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
}

CReportTableModel::CReportTableModel(const CTableReport* report, QObject* parent)
    : QAbstractTableModel(parent), m_report(report) {
    const unsigned long rows = report ? report->GetNumRows() : 0;
    m_order.resize(rows);
    for (unsigned long r = 0; r < rows; ++r) m_order[r] = r;
}

int CReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_order.size());
}

int CReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_report ? 0 : int(m_report->GetNumColumns());
}

QVariant CReportTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const unsigned long row = m_order[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return FromReportBytes(m_report->GetFormattedItem(row, unsigned(index.column())));
        case Qt::ForegroundRole:
            if (m_report->GetColumnType(unsigned(index.column())) == CTableReport::URL)
                return QColor(0x1D, 0x4E, 0xD8);
            return {};
        case SourceRowRole:
            return QVariant::fromValue(qulonglong(row));
        default:
            return {};
    }
}

QVariant CReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole)
        return FromReportBytes(m_report->GetColumnTitle(unsigned(section)));
    if (role == ColumnTypeRole) return int(m_report->GetColumnType(unsigned(section)));
    return {};
}

void CReportTableModel::sort(int column, Qt::SortOrder order) {
    if (!m_report || column < 0 || column >= columnCount()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<unsigned long> sourceRows;
    sourceRows.reserve(size_t(before.size()));
    for (const QModelIndex& index : before) sourceRows.push_back(m_order[size_t(index.row())]);
    SortReportRows(*m_report, m_order, column, order);
    std::vector<int> position(m_order.size());
    for (size_t i = 0; i < m_order.size(); ++i) position[m_order[i]] = int(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(position[sourceRows[size_t(i)]], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::string CReportTableModel::realUrl(int row) const {
    const unsigned long source = m_order.at(size_t(row));
    const std::string& real = m_report->GetRealURL(source, 0);
    return real.empty() ? m_report->GetItem(source, 0) : real;
}

bool CReportTableModel::hasUrlColumn() const {
    for (int c = 0; c < columnCount(); ++c)
        if (m_report->GetColumnType(unsigned(c)) == CTableReport::URL) return true;
    return false;
}

bool CReportTableModel::firstColumnIsUrl() const {
    return columnCount() > 0 && m_report->GetColumnType(0) == CTableReport::URL;
}

QString CReportTableModel::rowText(int row) const {
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c) cells << data(index(row, c)).toString();
    return cells.join('\t');
}

QString CReportTableModel::tableText() const {
    QStringList titles;
    for (int c = 0; c < columnCount(); ++c) titles << headerData(c, Qt::Horizontal).toString();
    QStringList rows;
    for (int r = 0; r < rowCount(); ++r) rows << rowText(r);
    return titles.join('\t') + QStringLiteral("\r\n") + rows.join(QStringLiteral("\r\n"));
}
