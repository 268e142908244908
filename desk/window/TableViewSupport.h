#pragma once

#include <QObject>
#include <QString>

class QAbstractItemModel;
class QHeaderView;
class QWidget;

// What the table and nested table views share: sizing columns, sorting by header clicks,
// putting text on the clipboard.
namespace table_view {

// Fits each column to its header and contents, then adds 30 pixels to a column narrower than
// 100 and cuts one wider than 8/10 of `clientWidth` to that.
void AdjustColumnWidths(QHeaderView* header, int clientWidth);

// Sorts `model` by the report's default sort column (see DefaultSortOf) and marks the header;
// with no default sort the file order stays and no mark shows.
void ApplyDefaultSort(QHeaderView* header, QAbstractItemModel* model, int defaultSortColumn);

// Sorts the model on header clicks: ascending on a new column, reversed on each further click
// on the same one.
void SortOnHeaderClick(QHeaderView* header, int section);

// Puts `text` on the clipboard as plain text; nothing happens without a clipboard.
void CopyText(const QString& text);

}  // namespace table_view
