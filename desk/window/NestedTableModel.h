#pragma once

#include <QAbstractItemModel>
#include <vector>

class CNestedTableReport;

// A nested table report as a two-level tree: the outer rows at the top, each with its nested
// rows below it. Sorting orders the outer rows; nested rows keep the order they were stored in.
// The report is not owned and must outlive the model.
class CNestedTableModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int SourceRowRole = Qt::UserRole + 1;  // the outer report row
    static constexpr int NestedRowRole = Qt::UserRole + 3;  // k of a nested row, -1 outer

    explicit CNestedTableModel(const CNestedTableReport* report, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const CNestedTableReport* report() const { return m_report; }
    bool hasUrlColumn() const;
    bool firstColumnIsUrl() const;
    // The stored address behind column 0 of the row at `index` (outer or nested).
    std::string realUrl(const QModelIndex& index) const;
    QString rowText(const QModelIndex& index) const;
    // Header line, "\r\n", then every row in list order (outer rows each followed by their
    // nested rows), separated by "\r\n".
    QString tableText() const;

private:
    // The outer report row of a nested index, from its internal id; -1 for outer indexes.
    long outerOf(const QModelIndex& index) const;

    const CNestedTableReport* m_report;
    std::vector<unsigned long> m_order;  // outer report rows in shown order
    std::vector<int> m_position;         // shown position of each outer report row
};
