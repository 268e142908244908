#include "store/report/NestedTableReport.h"

#include <algorithm>
#include <utility>

#include "store/format/Format.h"
#include "store/report/NumberText.h"
#include "utility/Markup.h"

namespace {

const std::string kEmpty;

// Beyond this many cells a nested table's declared row count is trusted only as far as its
// ROW elements go.
constexpr std::uint64_t kTrustedCells = 1u << 20;

}  // namespace

void CNestedTableReport::Clear() {
    CTableReport::Clear();
    std::vector<NestedTable>().swap(m_nested);
}

const CNestedTableReport::NestedTable* CNestedTableReport::Nested(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_nested.size()) return nullptr;
    return &m_nested[std::size_t(row)];
}

bool CNestedTableReport::InNested(int row, int nestedRow, int col) const {
    const NestedTable* table = Nested(row);
    return table && nestedRow >= 0 && static_cast<unsigned long>(nestedRow) < table->rows &&
           col >= 0 && static_cast<unsigned long>(col) < GetNumColumns();
}

std::string* CNestedTableReport::NestedCellForWrite(int row, int nestedRow, int col) {
    if (!InNested(row, nestedRow, col)) return nullptr;
    NestedTable& table = m_nested[std::size_t(row)];
    if (std::size_t(nestedRow) >= table.items.size())
        table.items.resize(std::size_t(nestedRow) + 1);
    std::vector<std::string>& cells = table.items[std::size_t(nestedRow)];
    if (std::size_t(col) >= cells.size()) cells.resize(std::size_t(col) + 1);
    return &cells[std::size_t(col)];
}

bool CNestedTableReport::NestedHasRealUrls(const NestedTable& table, int col) const {
    return col >= 0 && std::size_t(col) < table.hasRealUrls.size() &&
           table.hasRealUrls[std::size_t(col)] && GetColumnType(std::size_t(col)) == URL;
}

void CNestedTableReport::SizeNestedTable(int row, int count) {
    if (row < 0 || static_cast<unsigned long>(row) >= GetNumRows()) return;
    if (m_nested.size() <= std::size_t(row)) m_nested.resize(std::size_t(row) + 1);
    NestedTable& table = m_nested[std::size_t(row)];
    table = NestedTable();
    table.rows = count > 0 ? static_cast<unsigned long>(count) : 0;
}

void CNestedTableReport::AllocateNestedTable(int row, int count) {
    SizeNestedTable(row, count);
    const NestedTable* table = Nested(row);
    if (!table || std::uint64_t(table->rows) * GetNumColumns() > kTrustedCells) return;
    // Producers fill every cell; give them the whole table at once.
    NestedTable& filled = m_nested[std::size_t(row)];
    filled.items.resize(filled.rows);
    for (std::vector<std::string>& cells : filled.items) cells.resize(GetNumColumns());
}

int CNestedTableReport::GetNestedRows(int row) const {
    const NestedTable* table = Nested(row);
    return table ? static_cast<int>(table->rows) : 0;
}

void CNestedTableReport::SetNestedTableItem(int row, int nestedRow, int col, const char* text) {
    if (std::string* cell = NestedCellForWrite(row, nestedRow, col)) *cell = text ? text : "";
}

void CNestedTableReport::SetNestedTableItem(int row, int nestedRow, int col, std::int64_t value) {
    SetNestedTableItem(row, nestedRow, col, std::to_string(value).c_str());
}

void CNestedTableReport::SetNestedTableItem(int row, int nestedRow, int col, std::int64_t total,
                                            std::int64_t count) {
    // INT64_MIN / -1 overflows; it cannot be an average of counters anyway.
    const std::int64_t quotient =
        count == 0 || (count == -1 && total == INT64_MIN) ? 0 : total / count;
    SetNestedTableItem(row, nestedRow, col, quotient);
}

const std::string& CNestedTableReport::GetNestedTableItem(int row, int nestedRow, int col) const {
    if (!InNested(row, nestedRow, col)) return kEmpty;
    const NestedTable& table = m_nested[std::size_t(row)];
    if (std::size_t(nestedRow) >= table.items.size()) return kEmpty;
    const std::vector<std::string>& cells = table.items[std::size_t(nestedRow)];
    return std::size_t(col) < cells.size() ? cells[std::size_t(col)] : kEmpty;
}

void CNestedTableReport::SetNestedRealUrl(int row, int nestedRow, int col, const char* url) {
    if (!InNested(row, nestedRow, col) || GetColumnType(std::size_t(col)) != URL) return;
    NestedTable& table = m_nested[std::size_t(row)];
    if (table.hasRealUrls.size() <= std::size_t(col)) {
        table.hasRealUrls.resize(std::size_t(col) + 1);
        table.realUrls.resize(std::size_t(col) + 1);
    }
    table.hasRealUrls[std::size_t(col)] = 1;
    std::vector<std::string>& urls = table.realUrls[std::size_t(col)];
    if (urls.size() <= std::size_t(nestedRow)) urls.resize(std::size_t(nestedRow) + 1);
    urls[std::size_t(nestedRow)] = url ? url : "";
}

const std::string& CNestedTableReport::GetNestedRealURL(int row, int nestedRow, int col) const {
    if (InNested(row, nestedRow, col)) {
        const NestedTable& table = m_nested[std::size_t(row)];
        if (NestedHasRealUrls(table, col)) {
            const std::vector<std::string>& urls = table.realUrls[std::size_t(col)];
            return std::size_t(nestedRow) < urls.size() ? urls[std::size_t(nestedRow)] : kEmpty;
        }
    }
    return GetNestedTableItem(row, nestedRow, col);
}

void CNestedTableReport::SwapRows(unsigned long row1, unsigned long row2) {
    CTableReport::SwapRows(row1, row2);
    if (row1 >= GetNumRows() || row2 >= GetNumRows() || row1 == row2) return;
    const std::size_t needed = std::max(row1, row2) + 1;
    if (m_nested.size() < needed) m_nested.resize(needed);
    std::swap(m_nested[row1], m_nested[row2]);
}

std::string CNestedTableReport::WriteToNestedCSV(unsigned long row,
                                                 const std::string& label) const {
    std::string csv;
    const int outer = static_cast<int>(std::min<unsigned long>(row, 0x7FFFFFFF));
    const int rows = GetNestedRows(outer);
    const int cols = static_cast<int>(std::min<unsigned long>(GetNumColumns(), 0x7FFFFFFF));
    for (int nestedRow = 0; nestedRow < rows; ++nestedRow) {
        AppendCsvField(csv, label);
        csv += ',';
        for (int col = 0; col < cols; ++col) {
            if (col) csv += ',';
            AppendCsvField(csv, GetNestedTableItem(outer, nestedRow, col));
        }
        csv += "\r\n";
    }
    return csv;
}

void CNestedTableReport::SaveNestedXML(CMarkup& markup, unsigned long row) {
    const int outer = static_cast<int>(std::min<unsigned long>(row, 0x7FFFFFFF));
    const NestedTable* table = Nested(outer);
    const int rows = GetNestedRows(outer);
    const int cols = static_cast<int>(std::min<unsigned long>(GetNumColumns(), 0x7FFFFFFF));
    markup.AddChildElem("NESTED");
    markup.SetChildAttrib("NumRows", std::to_string(rows));
    if (!rows) return;
    markup.IntoElem();
    for (int nestedRow = 0; nestedRow < rows; ++nestedRow) {
        markup.AddChildElem("ROW");
        markup.IntoElem();
        for (int col = 0; col < cols; ++col) {
            markup.AddChildElem(
                "COL", CFormat::htmlescape(GetNestedTableItem(outer, nestedRow, col).c_str()));
            if (NestedHasRealUrls(*table, col))
                markup.SetChildAttrib("RealURL", GetNestedRealURL(outer, nestedRow, col));
        }
        markup.OutOfElem();
    }
    markup.OutOfElem();
}

void CNestedTableReport::LoadNestedXML(CMarkup& markup, unsigned long row) {
    if (row >= GetNumRows() || row > 0x7FFFFFFF) return;
    const int outer = static_cast<int>(row);
    std::int64_t declared = report_text::ParseInt64(markup.GetAttrib("NumRows"));
    declared = std::clamp<std::int64_t>(declared, 0, 0x7FFFFFFF);
    if (std::uint64_t(declared) * std::max<unsigned long>(GetNumColumns(), 1) > kTrustedCells) {
        std::int64_t present = 0;
        while (markup.FindChildElem("ROW")) ++present;
        markup.ResetChildPos();
        declared = std::min(declared, present);
    }
    SizeNestedTable(outer, static_cast<int>(declared));
    const int cols = static_cast<int>(std::min<unsigned long>(GetNumColumns(), 0x7FFFFFFF));
    markup.IntoElem();
    for (int nestedRow = 0; nestedRow < declared && markup.FindElem("ROW"); ++nestedRow) {
        for (int col = 0; col < cols && markup.FindChildElem("COL"); ++col) {
            SetNestedTableItem(outer, nestedRow, col,
                               CFormat::unhtmlescape(markup.GetChildData().c_str()).c_str());
            if (GetColumnType(std::size_t(col)) != URL) continue;
            const std::string url = markup.GetChildAttrib("RealURL");
            if (!url.empty()) SetNestedRealUrl(outer, nestedRow, col, url.c_str());
        }
    }
    markup.OutOfElem();
}
