#include "desk/window/HyperlinkPlaceholderView.h"

#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportText.h"
#include "store/report/Report.h"

void CHyperlinkPlaceholderView::OnUpdate() {
    const CReport* report = m_doc.GetCurrentReport();
    const QString name = report ? FromReportBytes(report->GetReportName()) : QString();
    m_message = QStringLiteral(
                    "\"%1\" shows how visitors move between the pages of the site.\n\n"
                    "This version of Logvane cannot draw the hyperlink tree yet; the "
                    "Referring Pages and Site Entry and Exit reports hold the same "
                    "links as tables.")
                    .arg(name);
    update();
}
