#pragma once

#include <QString>

class CReport;
class QAbstractItemModel;
class QPrinter;

// What Print Report puts on paper: the shown report under its name, as the viewer shows it.
// A table prints as a table of its rows in their shown order (nested rows indented below
// their row), a graph as its chart fitted to the page, a text or folder page as its text.
struct report_print_t {
    const CReport* report = nullptr;
    // The rows as shown (a table or nested table view's model); null for other reports.
    const QAbstractItemModel* rows = nullptr;
    bool asGraph = false;
};

// The document a table or text report prints as (HTML for QTextDocument).
QString ReportPrintHtml(const report_print_t& what);

// Prints `what` on `printer`; false when there is nothing to print or the printer fails.
bool PrintReport(const report_print_t& what, QPrinter& printer);
