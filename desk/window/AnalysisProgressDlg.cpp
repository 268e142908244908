#include "desk/window/AnalysisProgressDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desk/window/DeskServices.h"
#include "desk/window/Icons.h"
#include "desk/window/ReportText.h"
#include "utility/Progress.h"

namespace {

constexpr int kIconColumnWidth = 20;
constexpr int kImageRole = Qt::UserRole;
constexpr int kHelpRole = Qt::UserRole + 1;

}  // namespace

CAnalysisProgressDlg::CAnalysisProgressDlg(QWidget* owner, mode_t mode)
    : QDialog(owner), m_mode(mode) {
    createWidgets();
    createConnections();
    if (m_mode == ERROR_MODE) FillErrorList();
}

void CAnalysisProgressDlg::createWidgets() {
    setWindowTitle(m_mode == PROGRESS_MODE ? QStringLiteral("Logvane Progress")
                                           : QStringLiteral("Logvane: Errors"));
    setWindowIcon(icons::AppIcon());
    setModal(true);
    resize(620, 420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(8);

    m_heading = new QLabel(QStringLiteral("Zentrik Logvane"), this);
    QFont bold = m_heading->font();
    bold.setWeight(QFont::Bold);
    bold.setPointSizeF(bold.pointSizeF() + 1);
    m_heading->setFont(bold);
    layout->addWidget(m_heading);

    m_information = new QPlainTextEdit(this);
    m_information->setReadOnly(true);
    m_information->setFrameShape(QFrame::NoFrame);
    m_information->viewport()->setAutoFillBackground(false);
    m_information->setMaximumHeight(m_information->fontMetrics().lineSpacing() * 2 + 10);
    m_information->setPlainText(
        m_mode == ERROR_MODE
            ? QStringLiteral("Double click on an error for more information.")
            : QStringLiteral("Logvane is reading the logs and building the reports. Cancel "
                             "stops the analysis once the current step has noticed it."));
    layout->addWidget(m_information);

    m_progressText = new QLabel(QStringLiteral("Progress:"), this);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    if (m_mode == PROGRESS_MODE) {
        layout->addWidget(m_progressText);
        layout->addWidget(m_progressBar);
    } else {
        m_progressText->hide();
        m_progressBar->hide();
    }

    m_stepList = new QTreeWidget(this);
    m_stepList->setColumnCount(3);
    m_stepList->setHeaderLabels({QString(), QStringLiteral("Step"), QStringLiteral("Status")});
    m_stepList->setRootIsDecorated(false);
    m_stepList->setUniformRowHeights(true);
    m_stepList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stepList->setIconSize(QSize(16, 16));
    m_stepList->header()->setStretchLastSection(false);
    m_stepList->header()->setSectionsMovable(false);
    layout->addWidget(m_stepList, 1);

    m_buttons = new QDialogButtonBox(this);
    m_cancel =
        m_buttons->addButton(m_mode == ERROR_MODE ? QStringLiteral("OK") : QStringLiteral("Cancel"),
                             QDialogButtonBox::RejectRole);
    layout->addWidget(m_buttons);
    // Columns are sized from the list's width, so the layout is settled before rows arrive.
    layout->activate();
    LayoutColumns();
}

void CAnalysisProgressDlg::createConnections() {
    connect(m_cancel, &QPushButton::clicked, this, &CAnalysisProgressDlg::OnCancel);
    connect(m_stepList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenRowHelp(m_stepList->indexOfTopLevelItem(item)); });
}

int CAnalysisProgressDlg::exec() {
    if (m_mode == ERROR_MODE && !m_hasErrors) return QDialog::Rejected;
    return QDialog::exec();
}

void CAnalysisProgressDlg::reject() {
    if (m_mode == PROGRESS_MODE && !m_closeRequested) CProgress::SetCancel();
    QDialog::reject();
}

void CAnalysisProgressDlg::PostProgress(const std::string& document) {
    {
        const std::lock_guard lock(m_mailboxLock);
        m_mailbox = document;
    }
    QMetaObject::invokeMethod(this, &CAnalysisProgressDlg::OnProgressChanged, Qt::QueuedConnection);
}

void CAnalysisProgressDlg::PostCloseRequest() {
    m_closeRequested = true;
    QMetaObject::invokeMethod(this, &CAnalysisProgressDlg::OnCloseRequest, Qt::QueuedConnection);
}

void CAnalysisProgressDlg::OnProgressChanged() {
    std::string document;
    {
        const std::lock_guard lock(m_mailboxLock);
        document = m_mailbox;
    }
    ShowProgress(document);
}

void CAnalysisProgressDlg::OnCloseRequest() {
    if (isVisible()) done(QDialog::Rejected);
}

void CAnalysisProgressDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    LayoutColumns();
    // A close request that came before the dialog was shown still ends it.
    if (m_closeRequested) QTimer::singleShot(0, this, &CAnalysisProgressDlg::OnCloseRequest);
}

void CAnalysisProgressDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutColumns();
}

void CAnalysisProgressDlg::OnCancel() {
    if (m_mode == PROGRESS_MODE) {
        CProgress::SetCancel();
        PostCloseRequest();
        return;
    }
    done(QDialog::Rejected);
}

void CAnalysisProgressDlg::LayoutColumns() {
    const int w = m_stepList->width();
    m_stepList->setColumnWidth(COLUMN_ICON, kIconColumnWidth);
    if (m_mode == PROGRESS_MODE) {
        m_stepList->setColumnWidth(COLUMN_STEP, int((w - 20) * 0.49) - 5);
        m_stepList->setColumnWidth(COLUMN_STATUS, int((w - 20) * 0.49) - 8);
    } else {
        m_stepList->setColumnWidth(COLUMN_STEP, 50);
        m_stepList->setColumnWidth(COLUMN_STATUS, w - 125);
    }
}

int CAnalysisProgressDlg::TextWidth(const QString& text) const {
    // Cells are drawn with a small margin on each side.
    return m_stepList->fontMetrics().horizontalAdvance(text) + 8;
}

QTreeWidgetItem* CAnalysisProgressDlg::AppendRow(int image, const QString& step,
                                                 const QString& status,
                                                 const std::string& helpTopic) {
    auto* item = new QTreeWidgetItem(m_stepList);
    item->setIcon(COLUMN_ICON, icons::StepIcon(image));
    item->setData(COLUMN_ICON, kImageRole, image);
    item->setData(COLUMN_ICON, kHelpRole, FromLocalPath(helpTopic));
    item->setText(COLUMN_STEP, step);
    item->setText(COLUMN_STATUS, status);
    item->setToolTip(COLUMN_STATUS, status);
    return item;
}

void CAnalysisProgressDlg::RemoveContinuationRow() {
    if (!m_wrapped) return;
    delete m_stepList->takeTopLevelItem(m_currentRow + 1);
    m_wrapped = false;
}

void CAnalysisProgressDlg::ShowProgress(const std::string& document) {
    const progress_document_t doc = ParseProgressDocument(document);
    if (doc.errors) {
        m_documentErrors.clear();
        for (const progress_error_t& e : *doc.errors) m_documentErrors.push_back(e.message);
    }
    m_progressBar->setValue(doc.percentage);
    const QString percent = QStringLiteral("%1%").arg(doc.percentage);
    setWindowTitle(QStringLiteral("Logvane Progress: ") + percent);
    m_progressText->setText(doc.percentage <= 0
                                ? QStringLiteral("Progress:")
                                : QStringLiteral("Progress: ") + percent +
                                      QStringLiteral(" percent finished with current task."));
    const std::string status = doc.text.value_or(m_lastStatus);
    if (doc.stage && *doc.stage != m_lastStage) {
        if (m_currentRow >= 0) {
            RemoveContinuationRow();
            QTreeWidgetItem* current = m_stepList->topLevelItem(m_currentRow);
            current->setIcon(COLUMN_ICON, icons::StepIcon(IMAGE_FINISHED));
            current->setData(COLUMN_ICON, kImageRole, int(IMAGE_FINISHED));
        }
        AppendRow(IMAGE_RUNNING, FromReportBytes(*doc.stage), FromReportBytes(status));
        m_currentRow = m_stepList->topLevelItemCount() - 1;
        m_lastStage = *doc.stage;
        m_lastStatus = status;
    } else if (status != m_lastStatus && m_currentRow >= 0) {
        RemoveContinuationRow();
        m_stepList->topLevelItem(m_currentRow)->setText(COLUMN_STATUS, FromReportBytes(status));
        m_lastStatus = status;
    }
    WrapCurrentRow();
    if (m_currentRow >= 0) m_stepList->scrollToItem(m_stepList->topLevelItem(m_currentRow));
}

void CAnalysisProgressDlg::WrapCurrentRow() {
    if (m_currentRow < 0 || m_wrapped) return;
    const auto parts = SplitStatusText(FromReportBytes(m_lastStatus), GetStatusColumnWidth(),
                                       [this](const QString& t) { return TextWidth(t); });
    if (!parts) return;
    QTreeWidgetItem* current = m_stepList->topLevelItem(m_currentRow);
    current->setText(COLUMN_STATUS, parts->first);
    auto* continuation = new QTreeWidgetItem();
    continuation->setData(COLUMN_ICON, kImageRole, int(IMAGE_CONTINUATION));
    continuation->setText(COLUMN_STATUS, parts->second);
    m_stepList->insertTopLevelItem(m_currentRow + 1, continuation);
    m_wrapped = true;
}

void CAnalysisProgressDlg::FillErrorList() {
    const progress_document_t doc = ParseProgressDocument(CProgress::GetXML());
    m_hasErrors = doc.errors && !doc.errors->empty();
    m_stepList->clear();
    if (!m_hasErrors) return;
    for (const progress_error_t& error : *doc.errors) {
        const QString message = FromReportBytes(error.message);
        const auto parts = SplitStatusText(message, GetStatusColumnWidth(),
                                           [this](const QString& t) { return TextWidth(t); });
        AppendRow(IMAGE_ERROR, QStringLiteral("Error:"), parts ? parts->first : message,
                  error.helpTopic);
        if (parts) AppendRow(IMAGE_CONTINUATION, QString(), parts->second, error.helpTopic);
    }
    CProgress::ClearErrors();
}

void CAnalysisProgressDlg::OpenRowHelp(int row) {
    if (m_mode != ERROR_MODE) return;
    const std::string topic = GetRowHelpTopic(row);
    if (!topic.empty()) OpenHelpTopic(topic);
}

int CAnalysisProgressDlg::GetRowCount() const { return m_stepList->topLevelItemCount(); }

QString CAnalysisProgressDlg::GetRowText(int row, int column) const {
    const QTreeWidgetItem* item = m_stepList->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int CAnalysisProgressDlg::GetRowImage(int row) const {
    const QTreeWidgetItem* item = m_stepList->topLevelItem(row);
    return item ? item->data(COLUMN_ICON, kImageRole).toInt() : -1;
}

std::string CAnalysisProgressDlg::GetRowHelpTopic(int row) const {
    const QTreeWidgetItem* item = m_stepList->topLevelItem(row);
    return item ? ToLocalPath(item->data(COLUMN_ICON, kHelpRole).toString()) : std::string();
}

int CAnalysisProgressDlg::GetStatusColumnWidth() const {
    return m_stepList->columnWidth(COLUMN_STATUS);
}

int CAnalysisProgressDlg::GetProgressValue() const { return m_progressBar->value(); }

QString CAnalysisProgressDlg::GetProgressText() const { return m_progressText->text(); }
