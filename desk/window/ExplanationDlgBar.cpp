#include "desk/window/ExplanationDlgBar.h"

#include <QPlainTextEdit>

CExplanationDlgBar::CExplanationDlgBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Explanation Bar"), parent) {
    setObjectName(QStringLiteral("ExplanationBar"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette white = m_text->palette();
    white.setColor(QPalette::Base, Qt::white);
    m_text->setPalette(white);
    QFont font = m_text->font();
    font.setPointSizeF(9.5);
    m_text->setFont(font);
    m_text->setMinimumHeight(60);
    setWidget(m_text);
    hide();
}

void CExplanationDlgBar::SetExplanation(const QString& text) {
    if (!text.isEmpty()) {
        m_text->setPlainText(text);
        if (m_minimised) show();
        m_minimised = false;
    } else if (!m_minimised) {
        m_text->clear();
        hide();
        m_minimised = true;
    }
}

QString CExplanationDlgBar::GetExplanation() const { return m_text->toPlainText(); }
