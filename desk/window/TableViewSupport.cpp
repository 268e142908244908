#include "desk/window/TableViewSupport.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>

#include "desk/window/ReportTableModel.h"

namespace table_view {

void AdjustColumnWidths(QHeaderView* header, int clientWidth) {
    header->resizeSections(QHeaderView::ResizeToContents);
    for (int c = 0; c < header->count(); ++c) {
        int width = std::max(header->sectionSize(c), header->sectionSizeHint(c));
        if (width < 100) width += 30;
        if (clientWidth > 0 && width > clientWidth * 8 / 10) width = clientWidth * 8 / 10;
        header->resizeSection(c, width);
    }
}

void ApplyDefaultSort(QHeaderView* header, QAbstractItemModel* model, int defaultSortColumn) {
    const auto sort = DefaultSortOf(defaultSortColumn, model->columnCount());
    if (!sort) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    model->sort(sort->first, sort->second);
    header->setSortIndicator(sort->first, sort->second);
}

void SortOnHeaderClick(QHeaderView* header, int section) {
    QAbstractItemModel* model = header->model();
    if (!model || section < 0 || section >= model->columnCount()) return;
    Qt::SortOrder order = Qt::AscendingOrder;
    if (header->sortIndicatorSection() == section)
        order = header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder;
    model->sort(section, order);
    header->setSortIndicator(section, order);
}

void CopyText(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

}  // namespace table_view
