#pragma once

class CLogvaneDeskDoc;
class CReport;
class QWidget;

// The kinds of view the main area shows, one at a time, chosen by the current report.
enum class view_class_t {
    GenericMessage,  // no current report: the banner alone
    Chart,           // a table report as a table
    Graph,           // a table report drawn as a chart
    NestedChart,     // a nested table report
    HyperlinkTree,   // the hyperlink tree report
    FolderMessage,   // a folder page
    TextMessage,     // a text page
};

// Table reports are drawn as graphs only in graph mode, when the report allows it and has rows.
view_class_t ChooseViewClass(const CReport* report, bool graphMode);

// What the main frame asks of every view in its main area.
class CReportView {
public:
    virtual ~CReportView() = default;
    virtual view_class_t GetViewClass() const = 0;
    // Shows the document's current report again.
    virtual void OnUpdate() = 0;
    virtual QWidget* AsWidget() = 0;
};

// A new view of `viewClass` over `doc`, owned by the caller.
CReportView* CreateReportView(view_class_t viewClass, CLogvaneDeskDoc& doc, QWidget* parent);
