#pragma once

#include <QTableView>
#include <memory>

#include "desk/window/ReportView.h"

class CReportTableModel;

// A table report as a sortable table. "Chart" is this program's word for the table
// presentation of a report; the drawn chart is the graph view.
class CChartView : public QTableView, public CReportView {
    Q_OBJECT
public:
    CChartView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);
    ~CChartView() override;

    view_class_t GetViewClass() const override { return view_class_t::Chart; }
    void OnUpdate() override;
    QWidget* AsWidget() override { return this; }

    CReportTableModel* GetModel() const { return m_model.get(); }
    // Copy &row / Copy &entire table of the context menu.
    void CopyRowToClipboard(int row);
    void CopyTableToClipboard();
    // A click on `row`: opens its address when column 0 holds addresses.
    void ActivateRow(int row);

private:
    void createWidgets();
    void createConnections();
    void ShowContextMenu(const QPoint& pos);

    CLogvaneDeskDoc& m_doc;
    std::unique_ptr<CReportTableModel> m_model;
};
