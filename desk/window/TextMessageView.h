#pragma once

#include <QWidget>

#include "desk/window/ReportView.h"

// A text page: the banner at the top and the report's message centred below it.
class CTextMessageView : public QWidget, public CReportView {
    Q_OBJECT
public:
    CTextMessageView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);

    view_class_t GetViewClass() const override { return view_class_t::TextMessage; }
    // Takes the message of the current text or folder report; empty for any other.
    void OnUpdate() override;
    QWidget* AsWidget() override { return this; }

    const QString& GetMessage() const { return m_message; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Draws what lies below the banner, starting at `top`, within `area`'s width.
    virtual void PaintMessage(QPainter& painter, const QRect& area);
    CLogvaneDeskDoc& m_doc;
    QString m_message;
};
