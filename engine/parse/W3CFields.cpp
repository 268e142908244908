#include "engine/parse/W3CFields.h"

#include "engine/parse/FieldCursor.h"

namespace {

struct w3c_name_t {
    std::string_view name;
    w3c_role_t role;
};

constexpr w3c_name_t kW3CNames[] = {
    {"date", W3C_DATE},
    {"time", W3C_TIME},
    {"c-ip", W3C_CLIENT},
    {"cs-ip", W3C_CLIENT},
    {"cs-username", W3C_USERNAME},
    {"cs-method", W3C_METHOD},
    {"cs-uri-stem", W3C_URI_STEM},
    {"cs-uri-query", W3C_URI_QUERY},
    {"sc-status", W3C_STATUS},
    {"sc-bytes", W3C_BYTES},
    {"cs(User-Agent)", W3C_AGENT},
    {"cs(Referer)", W3C_REFERER},
    {"cs(Cookie)", W3C_COOKIE},
    {"s-ip", W3C_SERVER_IP},
    {"cs-host", W3C_HOST},
};

constexpr std::string_view kFieldsDirective = "#Fields:";

}  // namespace

int W3CRoleOf(std::string_view name) {
    for (const w3c_name_t& entry : kW3CNames) {
        if (entry.name == name) return entry.role;
    }
    return -1;
}

void ClearW3CFields(w3c_columns_t& columns) {
    for (auto& column : columns.column) column = -1;
    for (auto& role : columns.roleOf) role = -1;
    columns.lastColumn = -1;
    columns.lastMappedColumn = -1;
}

void MapW3CFields(std::string_view fieldsLine, w3c_columns_t& columns) {
    ClearW3CFields(columns);
    if (fieldsLine.size() >= kFieldsDirective.size())
        fieldsLine.remove_prefix(kFieldsDirective.size());
    int index = 0;
    std::size_t pos = 0;
    while (pos < fieldsLine.size()) {
        while (pos < fieldsLine.size() && IsBlank(fieldsLine[pos])) ++pos;
        std::size_t start = pos;
        while (pos < fieldsLine.size() && !IsBlank(fieldsLine[pos])) ++pos;
        if (pos == start) break;
        int role = W3CRoleOf(fieldsLine.substr(start, pos - start));
        if (role >= 0 && index < kW3CMaxColumns) {
            if (columns.column[role] >= 0) columns.roleOf[columns.column[role]] = -1;
            columns.column[role] = static_cast<std::int16_t>(index);
            columns.roleOf[index] = static_cast<std::int8_t>(role);
        }
        ++index;
    }
    columns.lastColumn = index - 1;
    for (int i = 0; i < index && i < kW3CMaxColumns; ++i) {
        if (columns.roleOf[i] >= 0) columns.lastMappedColumn = i;
    }
}
