#pragma once

#include <QDockWidget>

class QPlainTextEdit;

// The docked bar that explains the report being shown. It stays out of the way (hidden)
// while there is nothing to explain.
class CExplanationDlgBar : public QDockWidget {
    Q_OBJECT
public:
    explicit CExplanationDlgBar(QWidget* parent = nullptr);

    // A non-empty text is shown, bringing the bar back if it was minimised; an empty one
    // minimises and empties the bar.
    void SetExplanation(const QString& text);
    QString GetExplanation() const;
    bool IsMinimised() const { return m_minimised; }

private:
    QPlainTextEdit* m_text;
    bool m_minimised = true;
};
