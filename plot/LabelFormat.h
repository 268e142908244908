#pragma once

#include <string>
#include <string_view>

// Label texts of axes, legends and pie sectors. A format is literal text with fields in
// braces: "{value}", "{value|1,.}MB" (one decimal, ',' between thousands, '.' as the decimal
// point), "{value|mmm d, yyyy}" (a date), "{label}" and "{percent|1}".
namespace plot {

// Seconds since 1970-01-01 UTC of midnight at the start of the given calendar day; the time
// unit of date scales.
double ChartTime(int year, int month, int day);

// value with `decimals` digits after `point`, and `thousands` between groups of three
// integer digits (no grouping when thousands is 0). Rounds half away from zero.
std::string FormatNumber(double value, int decimals, char thousands = ',', char point = '.');

// A chart time by a date pattern of yyyy, yy, mmmm (full month name), mmm, mm, m, dd, d and
// literal text; other letters are copied as they are.
std::string FormatDate(double chartTime, std::string_view pattern);

// The fields a label format can refer to.
struct label_fields_t {
    double value = 0;
    std::string_view label;
    double percent = 0;
};

// The format with every field replaced. An unknown field or an unclosed brace is kept as
// literal text; "{value}" without a pattern shows up to two decimals and groups thousands.
std::string ExpandLabelFormat(std::string_view format, const label_fields_t& fields);
inline std::string ExpandLabelFormat(std::string_view format, double value) {
    return ExpandLabelFormat(format, label_fields_t{value, {}, 0});
}

}  // namespace plot
