#include "desk/window/NestedChartView.h"

#include <QHeaderView>
#include <QMenu>

#include "desk/window/DeskServices.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/NestedTableModel.h"
#include "desk/window/TableViewSupport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportTree.h"

CNestedChartView::CNestedChartView(CLogvaneDeskDoc& doc, QWidget* parent)
    : QTreeView(parent), m_doc(doc) {
    createWidgets();
    createConnections();
}

CNestedChartView::~CNestedChartView() { setModel(nullptr); }

void CNestedChartView::createWidgets() {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(true);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CNestedChartView::createConnections() {
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int section) { table_view::SortOnHeaderClick(header(), section); });
    connect(this, &QTreeView::clicked, this, &CNestedChartView::ActivateRow);
    connect(this, &QWidget::customContextMenuRequested, this, &CNestedChartView::ShowContextMenu);
}

void CNestedChartView::OnUpdate() {
    const auto* report = dynamic_cast<const CNestedTableReport*>(m_doc.GetCurrentReport());
    setUpdatesEnabled(false);
    auto model = std::make_unique<CNestedTableModel>(report);
    setModel(model.get());
    m_model = std::move(model);
    if (report)
        table_view::ApplyDefaultSort(header(), m_model.get(), report->GetDefaultSortColumn());
    expandAll();
    table_view::AdjustColumnWidths(header(), viewport()->width());
    setUpdatesEnabled(true);
}

void CNestedChartView::ActivateRow(const QModelIndex& index) {
    if (!m_model || !index.isValid()) return;
    if (m_model->firstColumnIsUrl()) {
        const CReportTree* tree = m_doc.GetReportTree();
        OpenUrl(MakeRealAddress(m_model->realUrl(index.siblingAtColumn(0)),
                                tree ? tree->GetSiteDomainName() : std::string()));
        return;
    }
    setCurrentIndex(index.siblingAtColumn(0));
}

void CNestedChartView::CopyRowToClipboard(const QModelIndex& index) {
    if (m_model && index.isValid()) table_view::CopyText(m_model->rowText(index));
}

void CNestedChartView::CopyTableToClipboard() {
    if (m_model) table_view::CopyText(m_model->tableText());
}

void CNestedChartView::ShowContextMenu(const QPoint& pos) {
    const QModelIndex hit = indexAt(pos);
    QMenu menu(this);
    if (hit.isValid()) {
        setCurrentIndex(hit.siblingAtColumn(0));
        menu.addSeparator();
        const QPersistentModelIndex row(hit.siblingAtColumn(0));
        menu.addAction(QStringLiteral("Copy &row to clipboard"), this,
                       [this, row] { CopyRowToClipboard(row); });
    }
    menu.addAction(QStringLiteral("Copy &entire table to clipboard"), this,
                   &CNestedChartView::CopyTableToClipboard);
    menu.exec(viewport()->mapToGlobal(pos));
}
