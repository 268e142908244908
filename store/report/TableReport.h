#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/report/Report.h"

// A table of texts with typed columns, optionally shown as a chart. Rows and columns are
// 0-based. Items are held HTML-escaped as producers store them; GetFormattedItem gives the
// text a user sees. Out-of-range rows or columns are ignored by setters and read as empty
// text (or 0) by getters.
class LOGVANE_STORE_API CTableReport : public CReport {
public:
    enum column_t {
        NUMBER = 0,
        PERCENTAGE = 1,
        BANDWIDTH = 2,
        TEXT = 3,
        URL = 4,
        JUSTDATE = 5,
        JUSTTIME = 6,
        DATETIME = 7,
        ELAPSEDTIME = 8,
    };
    enum graph_t {
        AREA = 0,
        BAR = 1,
        PIE = 2,
        LINE = 3,
        SIDEBAR = 4,
    };

    CTableReport() = default;
    ~CTableReport() override = default;

    report_t GetReportType() const override { return TABLE; }
    const std::string& GetReportName() const override { return m_reportName; }
    std::string GetDescription() const override { return m_description; }
    bool LoadXML(CMarkup& markup) override;

    virtual void SetDescription(const std::string& description) { m_description = description; }
    // Reads the NESTED element at the main position into outer row `row`; a plain table
    // ignores it.
    virtual void LoadNestedXML(CMarkup& markup, unsigned long row);
    // Adds the NESTED element of outer row `row` as the last child of the main position; a
    // plain table writes nothing.
    virtual void SaveNestedXML(CMarkup& markup, unsigned long row);
    virtual bool IsNestedTable() const { return false; }
    // The table as text: a tab-separated title line, then one line of quoted, comma-separated
    // formatted items per row (nested tables: per nested row), each line ending in CR LF.
    // Quotes inside a field are doubled.
    virtual std::string WriteToCSV() const;
    // The CSV lines of the nested rows of outer row `row`, each led by `label`, with the nested
    // items as stored (as the viewer shows them); empty in a plain table.
    virtual std::string WriteToNestedCSV(unsigned long row, const std::string& label) const;

    // Clears, then sets the size and creates an empty grid, with no alternative sorts, real
    // URLs or titles.
    // Column types start as NUMBER. `defaultSortColumn`: 1-based column, negative for
    // ascending, positive for descending, 0 for none.
    void AllocateChart(unsigned long columns, unsigned long rows, int defaultSortColumn);
    // Releases the grid and every per-column (and per-row) list; the table then has no rows or
    // columns.
    virtual void Clear();

    // Items.
    void SetItem(unsigned long row, unsigned long col, const char* text);
    void SetItem(unsigned long row, unsigned long col, const std::string& text);
    // Decimal text of `value`.
    void SetItem(unsigned long row, unsigned long col, std::int64_t value);
    template <std::integral T>
    void SetItem(unsigned long row, unsigned long col, T value) {
        SetItem(row, col, static_cast<std::int64_t>(value));
    }
    // "%0.2f" of `value`.
    void SetItem(unsigned long row, unsigned long col, double value);
    // Columns 0 to n-1 of `row` from one to five texts.
    void SetItem(unsigned long row, const std::string& t0);
    void SetItem(unsigned long row, const std::string& t0, const std::string& t1);
    void SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                 const std::string& t2);
    void SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                 const std::string& t2, const std::string& t3);
    void SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                 const std::string& t2, const std::string& t3, const std::string& t4);
    // CFormat::MakePercentage(part, whole).
    void SetItemPercentage(unsigned long row, unsigned long col, std::int64_t part,
                           std::int64_t whole);
    // The stored (escaped) text; empty out of range.
    const std::string& GetItem(unsigned long row, unsigned long col) const;
    // FormatLikeColumn(col, unhtmlescape(GetItem(row, col))).
    std::string GetFormattedItem(unsigned long row, unsigned long col) const;
    // `text` as the user sees it in a column of `col`'s type (percentages, byte sizes, dates,
    // times and durations formatted; other types unchanged).
    std::string FormatLikeColumn(unsigned long col, const std::string& text) const;

    // Columns.
    void SetColumnType(unsigned long col, column_t type);
    void SetColumnType(column_t t0);
    void SetColumnType(column_t t0, column_t t1);
    void SetColumnType(column_t t0, column_t t1, column_t t2);
    void SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3);
    void SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3, column_t t4);
    void SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3, column_t t4,
                       column_t t5);
    void SetColumnTitle(int col, const char* title);
    void SetColumnTitle(const char* s0);
    void SetColumnTitle(const char* s0, const char* s1);
    void SetColumnTitle(const char* s0, const char* s1, const char* s2);
    void SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3);
    void SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3,
                        const char* s4);
    void SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3,
                        const char* s4, const char* s5);
    // NUMBER out of range.
    column_t GetColumnType(unsigned long col) const;
    const std::string& GetColumnTitle(unsigned long col) const;
    unsigned long GetNumColumns() const { return m_numCols; }
    unsigned long GetNumRows() const { return m_numRows; }

    // Alternative sort: a 64-bit value per row that sorting uses instead of the item text.
    // SetAlternateSort marks the column and zeroes its values (call after AllocateChart).
    void SetAlternateSort(unsigned long col);
    void SetAlternateSortItem(unsigned long row, unsigned long col, std::int64_t value);
    // 0 when the column has no alternative sort.
    std::int64_t GetAlternativeSortItem(unsigned long row, unsigned long col) const;
    bool GetAlternativeSort(unsigned long col) const;

    // Real URLs: the link target behind the shown text of a URL column. Ignored unless the
    // column is of type URL.
    void SetRealUrl(unsigned long row, unsigned long col, const char* url);
    // The real URL when the column is of type URL and holds a list, else the item text.
    const std::string& GetRealURL(unsigned long row, unsigned long col) const;
    // Whether column `col` keeps a real-URL list.
    bool HasRealUrls(unsigned long col) const;

    // Chart.
    void SetDisplayAsGraph(bool display) { m_displayAsGraph = display; }
    bool CanDisplayAsGraph() const { return m_displayAsGraph; }
    void SetGraphType(graph_t type) { m_graphType = type; }
    graph_t GetGraphType() const { return m_graphType; }
    void SetNumGraphCols(int columns) { m_numGraphCols = columns; }
    int GetNumGraphCols() const { return m_numGraphCols; }
    void SetXAxisTitle(const std::string& title) { m_xAxisTitle = title; }
    const std::string& GetXAxisTitle() const { return m_xAxisTitle; }
    void SetYAxisTitle(const std::string& title) { m_yAxisTitle = title; }
    const std::string& GetYAxisTitle() const { return m_yAxisTitle; }
    void SetXLimit(std::uint32_t limit) { m_xLimit = limit; }
    std::uint32_t GetXLimit() const { return m_xLimit; }

    void SetReportName(const char* name) { m_reportName = name ? name : ""; }
    void SetDefaultSortColumn(int column) { m_defaultSortColumn = column; }
    int GetDefaultSortColumn() const { return m_defaultSortColumn; }

    // Sort order of two rows by column `col`: -1, 0 or 1 for numeric columns and alternative
    // sorts, the sign-carrying byte comparison for TEXT and URL, 0 for the same row.
    int CompareTwoRows(unsigned long row1, unsigned long row2, unsigned long col) const;
    // Exchanges the rows' items, alternative-sort values, real URLs (and nested tables).
    virtual void SwapRows(unsigned long row1, unsigned long row2);

    // Text forms: "NUMBER" ... "ELAPSEDTIME" (unknown text reads as NUMBER, an unknown value is
    // written as "NUMBER"); "AREA" ... "SIDEBAR" (unknown both ways: BAR).
    static std::string ConvertColTypeToString(column_t type);
    static column_t ConvertStringToColType(const std::string& text);
    static std::string ConvertGraphTypeToString(graph_t type);
    static graph_t ConvertStringToGraphType(const std::string& text);

protected:
    void SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool withChildren) override;
    // Appends `text` in double quotes, doubling the quotes inside it so that a spreadsheet
    // reads the field back whole.
    static void AppendCsvField(std::string& csv, const std::string& text);
    bool InRange(unsigned long row, unsigned long col) const {
        return row < m_numRows && col < m_numCols;
    }

private:
    // What the table knows about one column. Lists are grown on first use, so a file that
    // declares more rows than it holds costs nothing for the missing ones.
    struct Column {
        column_t type = NUMBER;
        std::string title;
        bool altSort = false;
        bool hasRealUrls = false;
        std::vector<std::int64_t> altSortValues;  // per row; missing rows are 0
        std::vector<std::string> realUrls;        // per row; missing rows are empty
    };

    // Declared size without storage: rows and columns are stored when first written.
    void SetSize(unsigned long columns, unsigned long rows, int defaultSortColumn);
    std::string* CellForWrite(unsigned long row, unsigned long col);
    Column* ColumnForWrite(unsigned long col);
    const Column* ColumnAt(unsigned long col) const {
        return col < m_columns.size() ? &m_columns[col] : nullptr;
    }
    void LoadColumns(CMarkup& markup);
    void LoadGraph(CMarkup& markup);
    void LoadRows(CMarkup& markup);
    void LoadRow(CMarkup& markup, unsigned long row);
    void SaveColumns(CMarkup& markup) const;
    void SaveGraph(CMarkup& markup) const;
    void SaveRows(CMarkup& markup);

    std::string m_description;
    bool m_displayAsGraph = false;
    graph_t m_graphType = BAR;
    std::string m_xAxisTitle;
    std::string m_yAxisTitle;
    std::uint32_t m_xLimit = 0;
    std::string m_reportName;
    int m_defaultSortColumn = -1;
    unsigned long m_numRows = 0;
    unsigned long m_numCols = 0;
    std::vector<std::vector<std::string>> m_rows;  // stored rows, each its leading cells
    std::vector<Column> m_columns;                 // stored (leading) columns
    int m_numGraphCols = 1;
};
