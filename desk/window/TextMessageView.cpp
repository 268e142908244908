#include "desk/window/TextMessageView.h"

#include <QPainter>

#include "desk/window/Icons.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportText.h"
#include "store/report/TextMessageReport.h"

CTextMessageView::CTextMessageView(CLogvaneDeskDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTextMessageView::OnUpdate() {
    const auto* text = dynamic_cast<const CTextMessageReport*>(m_doc.GetCurrentReport());
    m_message = text ? FromReportBytes(text->GetMessage()) : QString();
    update();
}

void CTextMessageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    painter.drawPixmap(0, 0, icons::Banner(width(), devicePixelRatioF()));
    const int top = icons::kBannerHeight + height() / 15;
    const int margin = width() / 10;
    PaintMessage(painter, QRect(margin, top, width() - 2 * margin, height() - top));
}

void CTextMessageView::PaintMessage(QPainter& painter, const QRect& area) {
    QFont font = this->font();
    font.setPointSizeF(12);
    painter.setFont(font);
    painter.setPen(QColor(0x1F, 0x29, 0x37));
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_message);
}
