#include "desk/window/ChartView.h"

#include <QHeaderView>
#include <QMenu>

#include "desk/window/DeskServices.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportTableModel.h"
#include "desk/window/TableViewSupport.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"

CChartView::CChartView(CLogvaneDeskDoc& doc, QWidget* parent) : QTableView(parent), m_doc(doc) {
    createWidgets();
    createConnections();
}

CChartView::~CChartView() {
    // The view must let go of the model before the model goes.
    setModel(nullptr);
}

void CChartView::createWidgets() {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setShowGrid(true);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(true);
}

void CChartView::createConnections() {
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { table_view::SortOnHeaderClick(horizontalHeader(), section); });
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { ActivateRow(index.row()); });
    connect(this, &QWidget::customContextMenuRequested, this, &CChartView::ShowContextMenu);
}

void CChartView::OnUpdate() {
    const auto* report = dynamic_cast<const CTableReport*>(m_doc.GetCurrentReport());
    setUpdatesEnabled(false);
    auto model = std::make_unique<CReportTableModel>(report);
    setModel(model.get());
    m_model = std::move(model);
    setMouseTracking(m_model->firstColumnIsUrl());
    setCursor(m_model->firstColumnIsUrl() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    table_view::AdjustColumnWidths(horizontalHeader(), viewport()->width());
    if (report)
        table_view::ApplyDefaultSort(horizontalHeader(), m_model.get(),
                                     report->GetDefaultSortColumn());
    setUpdatesEnabled(true);
}

void CChartView::ActivateRow(int row) {
    if (!m_model || row < 0 || row >= m_model->rowCount()) return;
    if (m_model->firstColumnIsUrl()) {
        const CReportTree* tree = m_doc.GetReportTree();
        OpenUrl(MakeRealAddress(m_model->realUrl(row),
                                tree ? tree->GetSiteDomainName() : std::string()));
        return;
    }
    selectRow(row);
    setCurrentIndex(m_model->index(row, 0));
}

void CChartView::CopyRowToClipboard(int row) {
    if (m_model && row >= 0 && row < m_model->rowCount())
        table_view::CopyText(m_model->rowText(row));
}

void CChartView::CopyTableToClipboard() {
    if (m_model) table_view::CopyText(m_model->tableText());
}

void CChartView::ShowContextMenu(const QPoint& pos) {
    const QModelIndex hit = indexAt(pos);
    QMenu menu(this);
    if (hit.isValid()) {
        selectRow(hit.row());
        const int row = hit.row();
        menu.addAction(QStringLiteral("Copy &row to clipboard"), this,
                       [this, row] { CopyRowToClipboard(row); });
    }
    menu.addAction(QStringLiteral("Copy &entire table to clipboard"), this,
                   &CChartView::CopyTableToClipboard);
    menu.exec(viewport()->mapToGlobal(pos));
}
