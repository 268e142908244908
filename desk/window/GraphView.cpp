#include "desk/window/GraphView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QTimerEvent>

#include "desk/window/LogvaneDeskDoc.h"
#include "store/report/TableReport.h"

CGraphView::CGraphView(CLogvaneDeskDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    if (m_graph.WantsTimer()) m_timer = startTimer(25);
}

void CGraphView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer) return QWidget::timerEvent(event);
    m_graph.TimerTick();
}

void CGraphView::OnUpdate() {
    m_renderedSize = {};
    update();
}

bool CGraphView::Render() {
    const auto* report = dynamic_cast<const CTableReport*>(m_doc.GetCurrentReport());
    const qreal ratio = devicePixelRatioF();
    const graph_size_t size{int(width() * ratio), int(height() * ratio)};
    m_renderedSize = this->size();
    m_image = QImage();
    if (report && size.cx > 0 && size.cy > 0) {
        const plot::image_t chart = m_graph.DrawOnScreen(report, size);
        if (!chart.empty()) {
            m_image = QImage(chart.pixels.data(), chart.width, chart.height, chart.stride,
                             QImage::Format_ARGB32_Premultiplied)
                          .copy();
            m_image.setDevicePixelRatio(ratio);
        }
    }
    m_failed = m_image.isNull();
    return !m_failed;
}

void CGraphView::paintEvent(QPaintEvent*) {
    if (m_renderedSize != size()) Render();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull()) {
        painter.drawImage(QPointF(0, 0), m_image);
        return;
    }
    // Drawing failed: say so in the view rather than interrupting the paint with a dialog.
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("This report could not be drawn as a graph."));
}

void CGraphView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_graph.UpdateSize({width(), height()});
    update();
}

void CGraphView::CopyGraphToClipboard() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(grab().toImage());
}

void CGraphView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy graph to the clipboard"), this,
                   &CGraphView::CopyGraphToClipboard);
    menu.exec(event->globalPos());
}
