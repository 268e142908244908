#pragma once

#include <QIcon>
#include <QPixmap>
#include <string>

// The program's pictures, drawn as vectors so they stay sharp at every screen scale: report
// list images, tool bar and menu icons, progress step icons and the banner.
namespace icons {

// Report list image of a report's icon type ("FOLDER" 0 ... "HYPERLINKTREEVIEW" 13);
// "NOTHING" and every unknown text give 17.
int ReportImageIndex(const std::string& iconType);
constexpr int kUnknownReportImage = 17;
// The picture of a report list image index; an index without its own picture looks like 17.
QIcon ReportIcon(int image);

enum class command_icon_t {
    ProjectChooser,
    ExportReport,
    GraphView,
    ChartView,
    GlobalOptions,
    Open,
    Save,
    Help,
};
QIcon CommandIcon(command_icon_t which);

// Step list images: 0 step in progress, 1 step finished, 2 error; 3 (continuation) is blank.
QIcon StepIcon(int image);
// Nested table rows: 0 outer row with nested rows, 1 outer row without, 2 nested row.
QIcon NestedRowIcon(int image);

QIcon AppIcon();
// The banner drawn at the top of the message views, `width` pixels wide.
QPixmap Banner(int width, qreal devicePixelRatio = 1.0);
constexpr int kBannerHeight = 96;

}  // namespace icons
