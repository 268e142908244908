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

void CNestedTableReport::AllocateNestedTable(int row, int count) {
    if (row < 0 || static_cast<unsigned long>(row) >= GetNumRows()) return;
    if (m_nested.size() <= std::size_t(row)) m_nested.resize(std::size_t(row) + 1);
    NestedTable& table = m_nested[std::size_t(row)];
    table = NestedTable();
    table.rows = count > 0 ? static_cast<unsigned long>(count) : 0;
    table.items.resize(std::size_t(table.rows) * GetNumColumns());
    table.realUrls.resize(GetNumColumns());
}

int CNestedTableReport::GetNestedRows(int row) const {
    const NestedTable* table = Nested(row);
    return table ? static_cast<int>(table->rows) : 0;
}

void CNestedTableReport::SetNestedTableItem(int row, int nestedRow, int col, const char* text) {
    if (!InNested(row, nestedRow, col)) return;
    m_nested[std::size_t(row)].items[std::size_t(nestedRow) * GetNumColumns() + std::size_t(col)] =
        text ? text : "";
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
    return m_nested[std::size_t(row)]
        .items[std::size_t(nestedRow) * GetNumColumns() + std::size_t(col)];
}

void CNestedTableReport::SetNestedRealUrl(int row, int nestedRow, int col, const char* url) {
    if (!InNested(row, nestedRow, col) || GetColumnType(std::size_t(col)) != URL) return;
    NestedTable& table = m_nested[std::size_t(row)];
    std::vector<std::string>& urls = table.realUrls[std::size_t(col)];
    if (urls.empty()) urls.resize(table.rows);
    urls[std::size_t(nestedRow)] = url ? url : "";
}

const std::string& CNestedTableReport::GetNestedRealURL(int row, int nestedRow, int col) const {
    if (InNested(row, nestedRow, col) && GetColumnType(std::size_t(col)) == URL) {
        const std::vector<std::string>& urls =
            m_nested[std::size_t(row)].realUrls[std::size_t(col)];
        if (!urls.empty()) return urls[std::size_t(nestedRow)];
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
    const NestedTable* table = Nested(static_cast<int>(std::min<unsigned long>(row, 0x7FFFFFFF)));
    if (!table) return csv;
    const unsigned long cols = GetNumColumns();
    for (unsigned long nestedRow = 0; nestedRow < table->rows; ++nestedRow) {
        AppendCsvField(csv, label);
        csv += ',';
        for (unsigned long col = 0; col < cols; ++col) {
            if (col) csv += ',';
            // Items are held escaped; a spreadsheet should see the text itself.
            AppendCsvField(csv, CFormat::unhtmlescape(
                                    table->items[std::size_t(nestedRow) * cols + col].c_str()));
        }
        csv += "\r\n";
    }
    return csv;
}

void CNestedTableReport::SaveNestedXML(CMarkup& markup, unsigned long row) {
    const NestedTable* table = Nested(static_cast<int>(std::min<unsigned long>(row, 0x7FFFFFFF)));
    const unsigned long rows = table ? table->rows : 0;
    const unsigned long cols = GetNumColumns();
    markup.AddChildElem("NESTED");
    markup.SetChildAttrib("NumRows", std::to_string(rows));
    if (!rows) return;
    markup.IntoElem();
    for (unsigned long nestedRow = 0; nestedRow < rows; ++nestedRow) {
        markup.AddChildElem("ROW");
        markup.IntoElem();
        for (unsigned long col = 0; col < cols; ++col) {
            markup.AddChildElem(
                "COL",
                CFormat::htmlescape(table->items[std::size_t(nestedRow) * cols + col].c_str()));
            const std::vector<std::string>& urls = table->realUrls[col];
            if (GetColumnType(col) == URL && !urls.empty())
                markup.SetChildAttrib("RealURL", urls[nestedRow]);
        }
        markup.OutOfElem();
    }
    markup.OutOfElem();
}

void CNestedTableReport::LoadNestedXML(CMarkup& markup, unsigned long row) {
    if (row >= GetNumRows()) return;
    std::int64_t declared = report_text::ParseInt64(markup.GetAttrib("NumRows"));
    declared = std::clamp<std::int64_t>(declared, 0, 0x7FFFFFFF);
    if (std::uint64_t(declared) * std::max<unsigned long>(GetNumColumns(), 1) > kTrustedCells) {
        std::int64_t present = 0;
        while (markup.FindChildElem("ROW")) ++present;
        markup.ResetChildPos();
        declared = std::min(declared, present);
    }
    AllocateNestedTable(static_cast<int>(row), static_cast<int>(declared));
    NestedTable& table = m_nested[row];
    markup.IntoElem();
    for (unsigned long nestedRow = 0; nestedRow < table.rows && markup.FindElem("ROW"); ++nestedRow)
        ReadNestedRow(markup, table, nestedRow);
    markup.OutOfElem();
}

void CNestedTableReport::ReadNestedRow(CMarkup& markup, NestedTable& table,
                                       unsigned long nestedRow) {
    const unsigned long cols = GetNumColumns();
    for (unsigned long col = 0; col < cols && markup.FindChildElem("COL"); ++col) {
        table.items[std::size_t(nestedRow) * cols + col] =
            CFormat::unhtmlescape(markup.GetChildData().c_str());
        if (GetColumnType(col) != URL) continue;
        const std::string url = markup.GetChildAttrib("RealURL");
        if (url.empty()) continue;
        if (table.realUrls[col].empty()) table.realUrls[col].resize(table.rows);
        table.realUrls[col][nestedRow] = url;
    }
}
