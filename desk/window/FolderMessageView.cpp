#include "desk/window/FolderMessageView.h"

#include <QPainter>

#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportText.h"
#include "store/report/FolderReport.h"

CFolderMessageView::CFolderMessageView(CLogvaneDeskDoc& doc, QWidget* parent)
    : CTextMessageView(doc, parent) {}

void CFolderMessageView::OnUpdate() {
    CTextMessageView::OnUpdate();
    const auto* folder = dynamic_cast<const CFolderReport*>(m_doc.GetCurrentReport());
    m_title =
        folder ? FromReportBytes(folder->GetReportName()) + QStringLiteral(" Folder") : QString();
    update();
}

void CFolderMessageView::PaintMessage(QPainter& painter, const QRect& area) {
    QFont titleFont = font();
    titleFont.setPointSizeF(16);
    titleFont.setWeight(QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(QColor(0x1E, 0x3A, 0x8A));
    const QRect used =
        painter.boundingRect(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
    CTextMessageView::PaintMessage(painter, area.adjusted(0, used.height() + 28, 0, 0));
}
