#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/report/TableReport.h"

// A table whose outer rows each carry a nested table with the outer table's columns (for
// example a page and its referrers). Nested items are stored as given and shown unformatted.
class LOGVANE_STORE_API CNestedTableReport : public CTableReport {
public:
    CNestedTableReport() = default;
    ~CNestedTableReport() override = default;

    report_t GetReportType() const override { return NESTED_TABLE; }
    bool IsNestedTable() const override { return true; }
    void Clear() override;
    void LoadNestedXML(CMarkup& markup, unsigned long row) override;
    void SaveNestedXML(CMarkup& markup, unsigned long row) override;
    std::string WriteToNestedCSV(unsigned long row, const std::string& label) const override;
    // Also exchanges the two rows' nested tables, so they stay with their outer rows.
    void SwapRows(unsigned long row1, unsigned long row2) override;

    // Gives outer row `row` a nested table of `count` empty rows (replacing one it had).
    void AllocateNestedTable(int row, int count);
    // 0 when the row has no nested table.
    int GetNestedRows(int row) const;
    void SetNestedTableItem(int row, int nestedRow, int col, const char* text);
    // Decimal text of `value`.
    void SetNestedTableItem(int row, int nestedRow, int col, std::int64_t value);
    template <std::integral T>
    void SetNestedTableItem(int row, int nestedRow, int col, T value) {
        SetNestedTableItem(row, nestedRow, col, static_cast<std::int64_t>(value));
    }
    // Decimal text of the integer quotient total / count; "0" when count is 0.
    void SetNestedTableItem(int row, int nestedRow, int col, std::int64_t total,
                            std::int64_t count);
    // Empty text out of range.
    const std::string& GetNestedTableItem(int row, int nestedRow, int col) const;
    // Ignored unless column `col` is of type URL.
    void SetNestedRealUrl(int row, int nestedRow, int col, const char* url);
    // The real URL when that column holds real URLs, else the nested item text.
    const std::string& GetNestedRealURL(int row, int nestedRow, int col) const;

private:
    // Rows and URL lists are stored as they are written, up to the declared row count.
    struct NestedTable {
        unsigned long rows = 0;                          // declared
        std::vector<std::vector<std::string>> items;     // stored rows, each its leading cells
        std::vector<std::vector<std::string>> realUrls;  // per column, per row
        std::vector<char> hasRealUrls;                   // per column
    };

    const NestedTable* Nested(int row) const;
    bool InNested(int row, int nestedRow, int col) const;
    std::string* NestedCellForWrite(int row, int nestedRow, int col);
    bool NestedHasRealUrls(const NestedTable& table, int col) const;
    // Declares the nested table of `row` without storing its rows.
    void SizeNestedTable(int row, int count);

    std::vector<NestedTable> m_nested;  // per outer row, grown on first use
};
