#include "desk/window/ReportPrinter.h"

#include <QAbstractItemModel>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

#include "desk/window/ReportText.h"
#include "engine/chart/GraphicsServerGraph.h"
#include "store/report/TableReport.h"
#include "store/report/TextMessageReport.h"

namespace {

// A chart is drawn at a screen-like size and scaled onto the page, so its text keeps the
// proportions it has on screen.
constexpr int kChartWidth = 1000;
constexpr int kChartHeight = 700;

QString Escaped(const QString& text) { return text.toHtmlEscaped(); }

void AppendRows(QString& html, const QAbstractItemModel& model, const QModelIndex& parent,
                int depth) {
    for (int r = 0; r < model.rowCount(parent); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < model.columnCount(parent); ++c) {
            const QString cell = Escaped(model.index(r, c, parent).data().toString());
            const QString indent =
                c == 0 && depth > 0 ? QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;") : QString();
            html += QStringLiteral("<td>") + indent + cell + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
        const QModelIndex row = model.index(r, 0, parent);
        if (model.hasChildren(row)) AppendRows(html, model, row, depth + 1);
    }
}

bool PrintChart(const CTableReport& table, QPrinter& printer) {
    CGraphicsServerGraph graph;
    const plot::image_t chart = graph.DrawOnScreen(&table, {kChartWidth, kChartHeight});
    if (chart.empty()) return false;
    const QImage image(chart.pixels.data(), chart.width, chart.height, chart.stride,
                       QImage::Format_ARGB32_Premultiplied);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRect page = painter.viewport();
    const QSize fitted = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), fitted), image);
    return painter.end();
}

}  // namespace

QString ReportPrintHtml(const report_print_t& what) {
    if (!what.report) return {};
    QString html = QStringLiteral("<h2>") + Escaped(FromReportBytes(what.report->GetReportName())) +
                   QStringLiteral("</h2>");
    const QString description = FromReportBytes(what.report->GetDescription());
    if (!description.isEmpty())
        html += QStringLiteral("<p>") + Escaped(description) + QStringLiteral("</p>");
    if (const auto* text = dynamic_cast<const CTextMessageReport*>(what.report)) {
        html += QStringLiteral("<p>") + Escaped(FromReportBytes(text->GetMessage())) +
                QStringLiteral("</p>");
        return html;
    }
    if (!what.rows) return html;
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (int c = 0; c < what.rows->columnCount(); ++c)
        html += QStringLiteral("<th align=\"left\">") +
                Escaped(what.rows->headerData(c, Qt::Horizontal).toString()) +
                QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    AppendRows(html, *what.rows, {}, 0);
    return html + QStringLiteral("</table>");
}

bool PrintReport(const report_print_t& what, QPrinter& printer) {
    if (!what.report) return false;
    if (what.asGraph)
        if (const auto* table = dynamic_cast<const CTableReport*>(what.report))
            return PrintChart(*table, printer);
    QTextDocument document;
    document.setHtml(ReportPrintHtml(what));
    document.print(&printer);
    return printer.printerState() != QPrinter::Error;
}
