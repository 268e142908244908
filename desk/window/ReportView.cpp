#include "desk/window/ReportView.h"

#include "desk/window/ChartView.h"
#include "desk/window/FolderMessageView.h"
#include "desk/window/GenericMessageView.h"
#include "desk/window/GraphView.h"
#include "desk/window/HyperlinkPlaceholderView.h"
#include "desk/window/NestedChartView.h"
#include "desk/window/TextMessageView.h"
#include "store/report/TableReport.h"

view_class_t ChooseViewClass(const CReport* report, bool graphMode) {
    if (!report) return view_class_t::GenericMessage;
    switch (report->GetReportType()) {
        case CReport::TABLE: {
            const auto* table = dynamic_cast<const CTableReport*>(report);
            const bool graph =
                table && graphMode && table->CanDisplayAsGraph() && table->GetNumRows() > 0;
            return graph ? view_class_t::Graph : view_class_t::Chart;
        }
        case CReport::NESTED_TABLE:
            return view_class_t::NestedChart;
        case CReport::HYPERLINK_TREE:
            return view_class_t::HyperlinkTree;
        case CReport::FOLDER:
            return view_class_t::FolderMessage;
        case CReport::TEXT_MESSAGE:
            return view_class_t::TextMessage;
    }
    return view_class_t::GenericMessage;
}

CReportView* CreateReportView(view_class_t viewClass, CLogvaneDeskDoc& doc, QWidget* parent) {
    switch (viewClass) {
        case view_class_t::Chart:
            return new CChartView(doc, parent);
        case view_class_t::Graph:
            return new CGraphView(doc, parent);
        case view_class_t::NestedChart:
            return new CNestedChartView(doc, parent);
        case view_class_t::HyperlinkTree:
            return new CHyperlinkPlaceholderView(doc, parent);
        case view_class_t::FolderMessage:
            return new CFolderMessageView(doc, parent);
        case view_class_t::TextMessage:
            return new CTextMessageView(doc, parent);
        case view_class_t::GenericMessage:
            break;
    }
    return new CGenericMessageView(doc, parent);
}
