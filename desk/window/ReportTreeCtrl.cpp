#include "desk/window/ReportTreeCtrl.h"

#include <QHeaderView>
#include <QMenu>

#include "desk/window/Icons.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportText.h"
#include "store/report/Report.h"
#include "store/report/ReportTree.h"

CReportTreeCtrl::CReportTreeCtrl(CLogvaneDeskDoc& doc, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setDragEnabled(false);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    createConnections();
}

void CReportTreeCtrl::createConnections() {
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                if (m_filling || !current || current == previous) return;
                m_doc.SelectReport(ReportOf(current));
            });
    connect(this, &QWidget::customContextMenuRequested, this, &CReportTreeCtrl::ShowContextMenu);
}

CReport* CReportTreeCtrl::ReportOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<CReport*>(item->data(0, ReportRole).value<quintptr>()) : nullptr;
}

void CReportTreeCtrl::FillLevel(CReport* first, QTreeWidgetItem* parent) {
    for (CReport* report = first; report; report = report->GetSibling()) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        const int image = icons::ReportImageIndex(report->GetReportIconType());
        item->setText(0, FromReportBytes(report->GetReportName()));
        item->setIcon(0, icons::ReportIcon(image));
        item->setData(0, ReportRole, QVariant::fromValue(reinterpret_cast<quintptr>(report)));
        item->setData(0, ImageRole, image);
        if (report->GetChild()) {
            FillLevel(report->GetChild(), item);
            item->setExpanded(true);
        }
    }
}

void CReportTreeCtrl::Fill(const CReportTree& tree) {
    setUpdatesEnabled(false);
    m_filling = true;
    clear();
    FillLevel(tree.GetRoot(), nullptr);
    m_filling = false;
    setUpdatesEnabled(true);
    if (QTreeWidgetItem* first = topLevelItem(0)) {
        setFocus();
        // The list was just emptied, so this is a change: it shows the first report.
        setCurrentItem(first);
    }
}

void CReportTreeCtrl::Empty() {
    setUpdatesEnabled(false);
    m_filling = true;
    clearSelection();
    clear();
    m_filling = false;
    setUpdatesEnabled(true);
}

bool CReportTreeCtrl::FindReportByID(const std::string& id) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const CReport* report = ReportOf(*it);
        if (report && report->GetReportID() == id) {
            setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void CReportTreeCtrl::ShowContextMenu(const QPoint& pos) {
    QTreeWidgetItem* item = itemAt(pos);
    if (!item) return;
    setCurrentItem(item);
    const CReport* report = ReportOf(item);
    QMenu menu(this);
    if (report && report->GetReportType() == CReport::FOLDER && item->childCount() > 0) {
        if (item->isExpanded())
            menu.addAction(QStringLiteral("&Collapse Folder"), this,
                           [item] { item->setExpanded(false); });
        else
            menu.addAction(QStringLiteral("&Expand Folder"), this,
                           [item] { item->setExpanded(true); });
    }
    menu.addAction(QStringLiteral("&Select Report"), this, [this, item] { setCurrentItem(item); });
    menu.exec(viewport()->mapToGlobal(pos));
}
