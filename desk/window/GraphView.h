#pragma once

#include <QImage>
#include <QWidget>

#include "desk/window/ReportView.h"
#include "engine/chart/GraphicsServerGraph.h"

// A table report drawn as its chart, filling the view; drawn again whenever the view's size
// changes.
class CGraphView : public QWidget, public CReportView {
    Q_OBJECT
public:
    CGraphView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);

    view_class_t GetViewClass() const override { return view_class_t::Graph; }
    void OnUpdate() override;
    QWidget* AsWidget() override { return this; }

    // Draws the current report at the view's size; false when no chart came back.
    bool Render();
    // The last chart drawn; null when drawing failed.
    const QImage& GetImage() const { return m_image; }
    // "Copy graph to the clipboard": the view's contents as a bitmap.
    void CopyGraphToClipboard();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    CLogvaneDeskDoc& m_doc;
    CGraphicsServerGraph m_graph;
    QImage m_image;
    QSize m_renderedSize;
    bool m_failed = false;
    int m_timer = 0;  // ticks for charts that animate; 0 when none runs
};
