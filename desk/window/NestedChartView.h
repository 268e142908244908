#pragma once

#include <QTreeView>
#include <memory>

#include "desk/window/ReportView.h"

class CNestedTableModel;

// A nested table report: each outer row followed by its nested rows, indented one level.
class CNestedChartView : public QTreeView, public CReportView {
    Q_OBJECT
public:
    CNestedChartView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);
    ~CNestedChartView() override;

    view_class_t GetViewClass() const override { return view_class_t::NestedChart; }
    void OnUpdate() override;
    QWidget* AsWidget() override { return this; }

    CNestedTableModel* GetModel() const { return m_model.get(); }
    void CopyRowToClipboard(const QModelIndex& index);
    void CopyTableToClipboard();
    // A click on a row: opens its address (outer or nested) when column 0 holds addresses.
    void ActivateRow(const QModelIndex& index);

private:
    void createWidgets();
    void createConnections();
    void ShowContextMenu(const QPoint& pos);

    CLogvaneDeskDoc& m_doc;
    std::unique_ptr<CNestedTableModel> m_model;
};
