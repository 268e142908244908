#pragma once

#include <QTreeWidget>
#include <string>

class CLogvaneDeskDoc;
class CReport;
class CReportTree;

// The report list: the loaded report tree with an image per report's icon type. Selecting an
// entry shows its report.
class CReportTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int ReportRole = Qt::UserRole;     // the CReport*, as quintptr
    static constexpr int ImageRole = Qt::UserRole + 1;  // the report list image index

    CReportTreeCtrl(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);

    // Lists `tree` (in file order, folders expanded) and selects its first report.
    void Fill(const CReportTree& tree);
    // Empties the list without selecting anything.
    void Empty();
    // Selects (and so shows) the first report, depth first, whose id is `id`; false when none.
    bool FindReportByID(const std::string& id);

    static CReport* ReportOf(const QTreeWidgetItem* item);

private:
    void createConnections();
    void FillLevel(CReport* first, QTreeWidgetItem* parent);
    void ShowContextMenu(const QPoint& pos);

    CLogvaneDeskDoc& m_doc;
    bool m_filling = false;
};
