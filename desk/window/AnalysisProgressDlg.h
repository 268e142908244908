#pragma once

#include <QDialog>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "desk/window/ProgressDocument.h"

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The modal dialog of a window-mode analysis. In progress mode it turns the engine's progress
// documents into a bar, a caption and a list of steps; in error mode it lists the errors of
// the finished run, each opening its help topic on a double click.
class CAnalysisProgressDlg : public QDialog {
    Q_OBJECT
public:
    enum mode_t { PROGRESS_MODE = 0, ERROR_MODE = 1 };
    // Step list images.
    enum { IMAGE_RUNNING = 0, IMAGE_FINISHED = 1, IMAGE_ERROR = 2, IMAGE_CONTINUATION = 3 };
    enum { COLUMN_ICON = 0, COLUMN_STEP = 1, COLUMN_STATUS = 2 };

    // Error mode reads the progress record's errors at once and then clears them.
    CAnalysisProgressDlg(QWidget* owner, mode_t mode);

    // Error mode without errors ends at once without showing anything.
    int exec() override;
    // Escape or the window's close button during a run cancel it, like the Cancel button:
    // the dialog must never go away while the analysis carries on unseen.
    void reject() override;

    // Thread-safe: hands a new progress document to the dialog, which shows it on the
    // user-interface thread.
    void PostProgress(const std::string& document);
    // Thread-safe: ends the dialog; a request made before the dialog is shown ends it as soon
    // as it is.
    void PostCloseRequest();

    // Shows one progress document (user-interface thread).
    void ShowProgress(const std::string& document);

    mode_t GetMode() const { return m_mode; }
    bool HasErrors() const { return m_hasErrors; }
    int GetRowCount() const;
    QString GetRowText(int row, int column) const;
    int GetRowImage(int row) const;
    std::string GetRowHelpTopic(int row) const;
    int GetStatusColumnWidth() const;
    int GetProgressValue() const;
    QString GetProgressText() const;
    const std::vector<std::string>& GetDocumentErrors() const { return m_documentErrors; }
    // Opens the help topic of a row (error mode), as a double click does.
    void OpenRowHelp(int row);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createWidgets();
    void createConnections();
    void OnProgressChanged();
    void OnCloseRequest();
    void OnCancel();
    void LayoutColumns();
    void FillErrorList();
    QTreeWidgetItem* AppendRow(int image, const QString& step, const QString& status,
                               const std::string& helpTopic = {});
    void SetCurrentStatus(const QString& status);
    void RemoveContinuationRow();
    // Splits the current row's status when it is wider than the status column.
    void WrapCurrentRow();
    int TextWidth(const QString& text) const;

    mode_t m_mode;
    QLabel* m_heading = nullptr;
    QPlainTextEdit* m_information = nullptr;
    QLabel* m_progressText = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QTreeWidget* m_stepList = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QPushButton* m_cancel = nullptr;

    std::string m_lastStage;
    std::string m_lastStatus;
    int m_currentRow = -1;
    bool m_wrapped = false;
    bool m_hasErrors = false;
    bool m_columnsLaidOut = false;
    std::vector<std::string> m_documentErrors;

    std::mutex m_mailboxLock;
    std::string m_mailbox;  // latest document from the poller, under m_mailboxLock
    std::atomic<bool> m_closeRequested{false};
};
