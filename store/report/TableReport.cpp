#include "store/report/TableReport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "store/format/Format.h"
#include "store/report/NumberText.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

const std::string kEmpty;

constexpr const char* kColumnTypeNames[] = {"NUMBER",   "PERCENTAGE", "BANDWIDTH",
                                            "TEXT",     "URL",        "JUSTDATE",
                                            "JUSTTIME", "DATETIME",   "ELAPSEDTIME"};
constexpr const char* kGraphTypeNames[] = {"AREA", "BAR", "PIE", "LINE", "SIDEBAR"};

// A file may declare any size; beyond this many cells the declared size is trusted only as
// far as elements are present, so a damaged count does not present billions of empty rows.
// (Cells are stored as they are written, so missing ones cost no memory either way.)
constexpr std::uint64_t kTrustedCells = 4u << 20;

std::string Escape(const std::string& text) { return CFormat::htmlescape(text.c_str()); }
std::string Unescape(const std::string& text) { return CFormat::unhtmlescape(text.c_str()); }

unsigned long CountChildren(CMarkup& markup, const char* tag) {
    unsigned long count = 0;
    while (markup.FindChildElem(tag)) ++count;
    markup.ResetChildPos();
    return count;
}

unsigned long ParseCount(const std::string& text) {
    const std::int64_t v = report_text::ParseInt64(text);
    return v < 0 ? 0 : static_cast<unsigned long>(std::min<std::int64_t>(v, 0x7FFFFFFF));
}

std::uint32_t ParseXLimit(const std::string& text) {
    const double v = report_text::ParseDouble(text);
    if (!(v > 0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(v);
}

// Declared rows and columns of the table element at the main position, cut down to the
// elements present when they describe an unreasonably large grid.
void TrustedSize(CMarkup& markup, unsigned long& rows, unsigned long& cols) {
    if (std::uint64_t(rows) * cols <= kTrustedCells) return;
    unsigned long presentRows = 0, presentCols = 0;
    if (markup.FindChildElem("COLTYPES")) {
        markup.IntoElem();
        presentCols = CountChildren(markup, "COLUMN");
        markup.OutOfElem();
    }
    markup.ResetChildPos();
    if (markup.FindChildElem("ROWS")) {
        markup.IntoElem();
        presentRows = CountChildren(markup, "ROW");
        markup.OutOfElem();
    }
    markup.ResetChildPos();
    rows = std::min(rows, presentRows);
    cols = std::min(cols, std::max<unsigned long>(presentCols, 1000));
    if (std::uint64_t(rows) * cols > kTrustedCells * 16) rows = cols = 0;
}

}  // namespace

// ---- Size and items -------------------------------------------------------------------

void CTableReport::Clear() {
    m_numRows = m_numCols = 0;
    std::vector<std::vector<std::string>>().swap(m_rows);
    std::vector<Column>().swap(m_columns);
}

void CTableReport::SetSize(unsigned long columns, unsigned long rows, int defaultSortColumn) {
    Clear();
    m_defaultSortColumn = defaultSortColumn;
    m_numRows = rows;
    m_numCols = columns;
}

void CTableReport::AllocateChart(unsigned long columns, unsigned long rows, int defaultSortColumn) {
    SetSize(columns, rows, defaultSortColumn);
    // Producers fill every cell; give them the whole grid at once.
    if (std::uint64_t(rows) * columns > kTrustedCells) return;
    m_columns.resize(columns);
    m_rows.resize(rows);
    for (std::vector<std::string>& row : m_rows) row.resize(columns);
}

std::string* CTableReport::CellForWrite(unsigned long row, unsigned long col) {
    if (!InRange(row, col)) return nullptr;
    if (row >= m_rows.size()) m_rows.resize(row + 1);
    std::vector<std::string>& cells = m_rows[row];
    if (cells.empty()) cells.reserve(std::min<unsigned long>(m_numCols, 8));
    if (col >= cells.size()) cells.resize(col + 1);
    return &cells[col];
}

CTableReport::Column* CTableReport::ColumnForWrite(unsigned long col) {
    if (col >= m_numCols) return nullptr;
    if (col >= m_columns.size()) m_columns.resize(col + 1);
    return &m_columns[col];
}

void CTableReport::SetItem(unsigned long row, unsigned long col, const char* text) {
    if (std::string* cell = CellForWrite(row, col)) *cell = text ? text : "";
}

void CTableReport::SetItem(unsigned long row, unsigned long col, const std::string& text) {
    if (std::string* cell = CellForWrite(row, col)) *cell = text;
}

void CTableReport::SetItem(unsigned long row, unsigned long col, std::int64_t value) {
    SetItem(row, col, std::to_string(value));
}

void CTableReport::SetItem(unsigned long row, unsigned long col, double value) {
    SetItem(row, col, report_text::FormatFixed2(value));
}

void CTableReport::SetItem(unsigned long row, const std::string& t0) { SetItem(row, 0ul, t0); }

void CTableReport::SetItem(unsigned long row, const std::string& t0, const std::string& t1) {
    SetItem(row, t0);
    SetItem(row, 1ul, t1);
}

void CTableReport::SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                           const std::string& t2) {
    SetItem(row, t0, t1);
    SetItem(row, 2ul, t2);
}

void CTableReport::SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                           const std::string& t2, const std::string& t3) {
    SetItem(row, t0, t1, t2);
    SetItem(row, 3ul, t3);
}

void CTableReport::SetItem(unsigned long row, const std::string& t0, const std::string& t1,
                           const std::string& t2, const std::string& t3, const std::string& t4) {
    SetItem(row, t0, t1, t2, t3);
    SetItem(row, 4ul, t4);
}

void CTableReport::SetItemPercentage(unsigned long row, unsigned long col, std::int64_t part,
                                     std::int64_t whole) {
    SetItem(row, col, CFormat::MakePercentage(part, whole));
}

const std::string& CTableReport::GetItem(unsigned long row, unsigned long col) const {
    if (row >= m_rows.size() || col >= m_rows[row].size()) return kEmpty;
    return m_rows[row][col];
}

std::string CTableReport::GetFormattedItem(unsigned long row, unsigned long col) const {
    return FormatLikeColumn(col, Unescape(GetItem(row, col)));
}

std::string CTableReport::FormatLikeColumn(unsigned long col, const std::string& text) const {
    switch (GetColumnType(col)) {
        case PERCENTAGE:
            return report_text::FormatFixed2(report_text::ParseDouble(text)) + "%";
        case BANDWIDTH:
            return CFormat::GetDriveSizeStr(report_text::ParseInt64(text));
        case JUSTDATE:
            return CFormat::FormatCTime(report_text::ParseInt32(text), "%B %d, %Y");
        case JUSTTIME:
            return CFormat::FormatCTime(report_text::ParseInt32(text), "%I:%M:%S %p");
        case DATETIME:
            return CFormat::FormatCTime(report_text::ParseInt32(text), "%B %d, %Y %I:%M:%S %p");
        case ELAPSEDTIME:
            return CFormat::FormatHHMMSS(report_text::ParseInt32(text));
        default:
            return text;
    }
}

// ---- Columns ----------------------------------------------------------------------------

void CTableReport::SetColumnType(unsigned long col, column_t type) {
    if (Column* column = ColumnForWrite(col)) column->type = type;
}

void CTableReport::SetColumnType(column_t t0) { SetColumnType(0ul, t0); }

void CTableReport::SetColumnType(column_t t0, column_t t1) {
    SetColumnType(t0);
    SetColumnType(1ul, t1);
}

void CTableReport::SetColumnType(column_t t0, column_t t1, column_t t2) {
    SetColumnType(t0, t1);
    SetColumnType(2ul, t2);
}

void CTableReport::SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3) {
    SetColumnType(t0, t1, t2);
    SetColumnType(3ul, t3);
}

void CTableReport::SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3, column_t t4) {
    SetColumnType(t0, t1, t2, t3);
    SetColumnType(4ul, t4);
}

void CTableReport::SetColumnType(column_t t0, column_t t1, column_t t2, column_t t3, column_t t4,
                                 column_t t5) {
    SetColumnType(t0, t1, t2, t3, t4);
    SetColumnType(5ul, t5);
}

void CTableReport::SetColumnTitle(int col, const char* title) {
    if (col < 0) return;
    if (Column* column = ColumnForWrite(static_cast<unsigned long>(col)))
        column->title = title ? title : "";
}

void CTableReport::SetColumnTitle(const char* s0) { SetColumnTitle(0, s0); }

void CTableReport::SetColumnTitle(const char* s0, const char* s1) {
    SetColumnTitle(s0);
    SetColumnTitle(1, s1);
}

void CTableReport::SetColumnTitle(const char* s0, const char* s1, const char* s2) {
    SetColumnTitle(s0, s1);
    SetColumnTitle(2, s2);
}

void CTableReport::SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3) {
    SetColumnTitle(s0, s1, s2);
    SetColumnTitle(3, s3);
}

void CTableReport::SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3,
                                  const char* s4) {
    SetColumnTitle(s0, s1, s2, s3);
    SetColumnTitle(4, s4);
}

void CTableReport::SetColumnTitle(const char* s0, const char* s1, const char* s2, const char* s3,
                                  const char* s4, const char* s5) {
    SetColumnTitle(s0, s1, s2, s3, s4);
    SetColumnTitle(5, s5);
}

CTableReport::column_t CTableReport::GetColumnType(unsigned long col) const {
    const Column* column = ColumnAt(col);
    return column ? column->type : NUMBER;
}

const std::string& CTableReport::GetColumnTitle(unsigned long col) const {
    const Column* column = ColumnAt(col);
    return column ? column->title : kEmpty;
}

// ---- Alternative sort and real URLs -----------------------------------------------------

void CTableReport::SetAlternateSort(unsigned long col) {
    Column* column = ColumnForWrite(col);
    if (!column) return;
    column->altSort = true;
    column->altSortValues.clear();
}

void CTableReport::SetAlternateSortItem(unsigned long row, unsigned long col, std::int64_t value) {
    Column* column = InRange(row, col) ? ColumnForWrite(col) : nullptr;
    if (!column || !column->altSort) return;
    if (row >= column->altSortValues.size()) column->altSortValues.resize(row + 1);
    column->altSortValues[row] = value;
}

std::int64_t CTableReport::GetAlternativeSortItem(unsigned long row, unsigned long col) const {
    const Column* column = ColumnAt(col);
    if (!column || !column->altSort || row >= column->altSortValues.size()) return 0;
    return column->altSortValues[row];
}

bool CTableReport::GetAlternativeSort(unsigned long col) const {
    const Column* column = ColumnAt(col);
    return column && column->altSort;
}

void CTableReport::SetRealUrl(unsigned long row, unsigned long col, const char* url) {
    Column* column = InRange(row, col) ? ColumnForWrite(col) : nullptr;
    if (!column || column->type != URL) return;
    column->hasRealUrls = true;
    if (row >= column->realUrls.size()) column->realUrls.resize(row + 1);
    column->realUrls[row] = url ? url : "";
}

const std::string& CTableReport::GetRealURL(unsigned long row, unsigned long col) const {
    if (!HasRealUrls(col)) return GetItem(row, col);
    const std::vector<std::string>& urls = m_columns[col].realUrls;
    return row < urls.size() ? urls[row] : kEmpty;
}

bool CTableReport::HasRealUrls(unsigned long col) const {
    const Column* column = ColumnAt(col);
    return column && column->type == URL && column->hasRealUrls;
}

// ---- Sorting ----------------------------------------------------------------------------

int CTableReport::CompareTwoRows(unsigned long row1, unsigned long row2, unsigned long col) const {
    if (row1 == row2) return 0;
    if (GetAlternativeSort(col)) {
        const std::int64_t a = GetAlternativeSortItem(row1, col);
        const std::int64_t b = GetAlternativeSortItem(row2, col);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    switch (GetColumnType(col)) {
        case NUMBER:
        case PERCENTAGE:
        case BANDWIDTH:
        case JUSTDATE:
        case JUSTTIME:
        case DATETIME:
        case ELAPSEDTIME: {
            const std::int64_t a = report_text::ParseInt64(GetItem(row1, col));
            const std::int64_t b = report_text::ParseInt64(GetItem(row2, col));
            return a < b ? -1 : (a > b ? 1 : 0);
        }
        case TEXT:
        case URL:
            return std::strcmp(GetItem(row1, col).c_str(), GetItem(row2, col).c_str());
    }
    return 0;
}

void CTableReport::SwapRows(unsigned long row1, unsigned long row2) {
    if (row1 >= m_numRows || row2 >= m_numRows || row1 == row2) return;
    const unsigned long last = std::max(row1, row2);
    if (last >= m_rows.size()) m_rows.resize(last + 1);
    std::swap(m_rows[row1], m_rows[row2]);
    for (Column& column : m_columns) {
        if (!column.altSortValues.empty()) {
            if (last >= column.altSortValues.size()) column.altSortValues.resize(last + 1);
            std::swap(column.altSortValues[row1], column.altSortValues[row2]);
        }
        if (!column.realUrls.empty()) {
            if (last >= column.realUrls.size()) column.realUrls.resize(last + 1);
            std::swap(column.realUrls[row1], column.realUrls[row2]);
        }
    }
}

// ---- CSV ----------------------------------------------------------------------------------

std::string CTableReport::WriteToCSV() const {
    std::string csv;
    for (unsigned long col = 0; col < m_numCols; ++col) {
        if (col) csv += '\t';
        csv += GetColumnTitle(col);
        if (col == 0 && IsNestedTable()) csv += '\t';
    }
    csv += "\r\n";
    for (unsigned long row = 0; row < m_numRows; ++row) {
        if (IsNestedTable()) {
            csv += WriteToNestedCSV(row, GetFormattedItem(row, 0));
            continue;
        }
        for (unsigned long col = 0; col < m_numCols; ++col) {
            if (col) csv += ',';
            AppendCsvField(csv, GetFormattedItem(row, col));
        }
        csv += "\r\n";
    }
    return csv;
}

void CTableReport::AppendCsvField(std::string& csv, const std::string& text) {
    csv += '"';
    for (const char c : text) {
        if (c == '"') csv += '"';
        csv += c;
    }
    csv += '"';
}

std::string CTableReport::WriteToNestedCSV(unsigned long, const std::string&) const { return {}; }

// ---- Text forms ---------------------------------------------------------------------------

std::string CTableReport::ConvertColTypeToString(column_t type) {
    const int i = static_cast<int>(type);
    return i >= 0 && i <= ELAPSEDTIME ? kColumnTypeNames[i] : "NUMBER";
}

CTableReport::column_t CTableReport::ConvertStringToColType(const std::string& text) {
    for (int i = 0; i <= ELAPSEDTIME; ++i)
        if (text == kColumnTypeNames[i]) return static_cast<column_t>(i);
    return NUMBER;
}

std::string CTableReport::ConvertGraphTypeToString(graph_t type) {
    const int i = static_cast<int>(type);
    return i >= 0 && i <= SIDEBAR ? kGraphTypeNames[i] : "BAR";
}

CTableReport::graph_t CTableReport::ConvertStringToGraphType(const std::string& text) {
    for (int i = 0; i <= SIDEBAR; ++i)
        if (text == kGraphTypeNames[i]) return static_cast<graph_t>(i);
    return BAR;
}

// ---- Writing ------------------------------------------------------------------------------

void CTableReport::SaveElement(CSaveXMLProgress& progress, CMarkup& markup, bool) {
    progress.InReport(GetReportName());
    markup.AddElem(IsNestedTable() ? "NESTEDREPORT" : "TABLEREPORT");
    markup.SetAttrib("Name", m_reportName);
    markup.SetAttrib("IconType", GetReportIconType());
    markup.SetAttrib("NumRows", std::to_string(m_numRows));
    markup.SetAttrib("NumCols", std::to_string(m_numCols));
    markup.SetAttrib("DefaultSortCol", m_defaultSortColumn);
    markup.SetAttrib("ReportID", GetReportID());
    markup.SetAttrib("ReportClass", GetReportClass());
    markup.SetAttrib("HelpFile", GetHelpFile());
    markup.SetAttrib("XLimit", std::to_string(m_xLimit));
    markup.AddChildElem("DESCRIPTION", m_description);
    SaveColumns(markup);
    if (m_displayAsGraph) SaveGraph(markup);
    SaveRows(markup);
}

void CTableReport::SaveColumns(CMarkup& markup) const {
    markup.AddChildElem("COLTYPES");
    markup.IntoElem();
    for (unsigned long col = 0; col < m_numCols; ++col) {
        markup.AddChildElem("COLUMN", Escape(GetColumnTitle(col)));
        markup.SetChildAttrib("Type", Escape(ConvertColTypeToString(GetColumnType(col))));
        if (GetAlternativeSort(col)) markup.SetChildAttrib("AlternativeSort", "TRUE");
    }
    markup.OutOfElem();
}

void CTableReport::SaveGraph(CMarkup& markup) const {
    markup.AddChildElem("GRAPH");
    markup.IntoElem();
    markup.AddChildElem("GRAPHTYPE", ConvertGraphTypeToString(m_graphType));
    markup.AddChildElem("GRAPHNUMROWS", m_numGraphCols);
    markup.AddChildElem("AXISTITLES");
    markup.SetChildAttrib("X", m_xAxisTitle);
    markup.SetChildAttrib("Y", m_yAxisTitle);
    markup.OutOfElem();
}

void CTableReport::SaveRows(CMarkup& markup) {
    markup.AddChildElem("ROWS");
    markup.IntoElem();
    for (unsigned long row = 0; row < m_numRows; ++row) {
        markup.AddChildElem("ROW");
        markup.IntoElem();
        for (unsigned long col = 0; col < m_numCols; ++col) {
            markup.AddChildElem("COL", Escape(GetItem(row, col)));
            if (HasRealUrls(col)) markup.SetChildAttrib("RealURL", GetRealURL(row, col));
            if (GetAlternativeSort(col))
                markup.SetChildAttrib("AlternativeSort",
                                      std::to_string(GetAlternativeSortItem(row, col)));
        }
        SaveNestedXML(markup, row);
        markup.OutOfElem();
    }
    markup.OutOfElem();
}

void CTableReport::SaveNestedXML(CMarkup&, unsigned long) {}

// ---- Reading ------------------------------------------------------------------------------

bool CTableReport::LoadXML(CMarkup& markup) {
    Clear();
    m_displayAsGraph = false;
    m_numGraphCols = 1;
    m_description.clear();
    m_reportName = markup.GetAttrib("Name");
    SetReportIconType(markup.GetAttrib("IconType"));
    SetReportID(markup.GetAttrib("ReportID"));
    SetReportClass(markup.GetAttrib("ReportClass"));
    SetHelpFile(markup.GetAttrib("HelpFile"));
    m_xLimit = ParseXLimit(markup.GetAttrib("XLimit"));
    unsigned long rows = ParseCount(markup.GetAttrib("NumRows"));
    unsigned long cols = ParseCount(markup.GetAttrib("NumCols"));
    const int sortColumn = report_text::ParseInt32(markup.GetAttrib("DefaultSortCol"));
    TrustedSize(markup, rows, cols);
    SetSize(cols, rows, sortColumn);
    markup.ResetChildPos();
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "DESCRIPTION") {
            SetDescription(markup.GetChildData());
            continue;
        }
        if (tag != "COLTYPES" && tag != "GRAPH" && tag != "ROWS") continue;
        markup.IntoElem();
        if (tag == "COLTYPES") LoadColumns(markup);
        if (tag == "GRAPH") LoadGraph(markup);
        if (tag == "ROWS") LoadRows(markup);
        markup.OutOfElem();
    }
    return true;
}

void CTableReport::LoadColumns(CMarkup& markup) {
    for (unsigned long col = 0; col < m_numCols && markup.FindChildElem("COLUMN"); ++col) {
        Column* column = ColumnForWrite(col);
        column->title = Unescape(markup.GetChildData());
        column->type = ConvertStringToColType(Unescape(markup.GetChildAttrib("Type")));
        if (markup.GetChildAttrib("AlternativeSort") == "TRUE") SetAlternateSort(col);
    }
}

void CTableReport::LoadGraph(CMarkup& markup) {
    if (markup.FindChildElem("GRAPHTYPE")) {
        m_displayAsGraph = true;
        m_graphType = ConvertStringToGraphType(markup.GetChildData());
    }
    m_numGraphCols = 1;
    if (markup.FindChildElem("GRAPHNUMROWS"))
        m_numGraphCols = report_text::ParseInt32(markup.GetChildData());
    if (markup.FindChildElem("AXISTITLES")) {
        m_xAxisTitle = markup.GetChildAttrib("X");
        m_yAxisTitle = markup.GetChildAttrib("Y");
    }
}

void CTableReport::LoadRows(CMarkup& markup) {
    for (unsigned long row = 0; row < m_numRows && markup.FindChildElem("ROW"); ++row) {
        markup.IntoElem();
        LoadRow(markup, row);
        markup.OutOfElem();
    }
}

void CTableReport::LoadRow(CMarkup& markup, unsigned long row) {
    unsigned long col = 0;
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "NESTED") {
            markup.IntoElem();
            LoadNestedXML(markup, row);
            markup.OutOfElem();
            continue;
        }
        if (tag != "COL" || col >= m_numCols) continue;
        *CellForWrite(row, col) = Unescape(markup.GetChildData());
        if (GetColumnType(col) == URL) {
            const std::string url = markup.GetChildAttrib("RealURL");
            if (!url.empty()) SetRealUrl(row, col, url.c_str());
        }
        if (GetAlternativeSort(col))
            SetAlternateSortItem(row, col,
                                 report_text::ParseInt64(markup.GetChildAttrib("AlternativeSort")));
        ++col;
    }
}

void CTableReport::LoadNestedXML(CMarkup&, unsigned long) {}
