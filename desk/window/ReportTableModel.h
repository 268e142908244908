#pragma once

#include <QAbstractTableModel>
#include <optional>
#include <utility>
#include <vector>

class CTableReport;

// The column and direction a table opens with, from GetDefaultSortColumn `d` (1-based,
// negative for ascending, positive for descending): none for 0 or when |d| exceeds `columns`.
std::optional<std::pair<int, Qt::SortOrder>> DefaultSortOf(int d, int columns);

// Orders `rows` (row numbers of `report`) by `column` through CompareTwoRows; equal rows keep
// their order.
void SortReportRows(const CTableReport& report, std::vector<unsigned long>& rows, int column,
                    Qt::SortOrder order);

// A table report as a flat table: one row per report row, in the order the user sorted them.
// The report is not owned and must outlive the model (the document replaces the model first).
class CReportTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The report row that a view row shows.
    static constexpr int SourceRowRole = Qt::UserRole + 1;
    // The column's type (CTableReport::column_t) on the header.
    static constexpr int ColumnTypeRole = Qt::UserRole + 2;

    explicit CReportTableModel(const CTableReport* report, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const CTableReport* report() const { return m_report; }
    unsigned long sourceRow(int row) const { return m_order.at(size_t(row)); }
    // The address behind column 0 of view row `row`: its real URL, else the shown address.
    std::string realUrl(int row) const;
    // Whether any column holds addresses.
    bool hasUrlColumn() const;
    // Whether column 0 holds addresses, so that a click on a row opens it.
    bool firstColumnIsUrl() const;

    // The shown texts of view row `row`, joined by tabs.
    QString rowText(int row) const;
    // The header titles joined by tabs, "\r\n", then every row as rowText, rows separated by
    // "\r\n" with no line end after the last one.
    QString tableText() const;

private:
    const CTableReport* m_report;
    std::vector<unsigned long> m_order;
};
