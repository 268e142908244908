#include "desk/window/Icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>
#include <map>

namespace icons {
namespace {

using painter_fn = std::function<void(QPainter&)>;

const QColor kBlue(0x35, 0x74, 0xF0);
const QColor kDarkBlue(0x1E, 0x40, 0xAF);
const QColor kGreen(0x2F, 0x9E, 0x44);
const QColor kOrange(0xF5, 0x9E, 0x0B);
const QColor kRed(0xE0, 0x3E, 0x45);
const QColor kPurple(0x8B, 0x5C, 0xF6);
const QColor kGray(0x6B, 0x72, 0x80);
const QColor kPaper(0xFA, 0xFB, 0xFC);
const QColor kFolder(0xF2, 0xBE, 0x3C);
const QColor kFolderDark(0xD9, 0x9A, 0x1A);

// Renders `paint`, which draws on a 16 x 16 grid, at the usual icon sizes.
QIcon MakeIcon(const painter_fn& paint) {
    QIcon icon;
    for (const int size : {16, 20, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        // Selected rows show the same picture, not a tinted one.
        icon.addPixmap(pixmap, QIcon::Normal);
        icon.addPixmap(pixmap, QIcon::Selected);
    }
    return icon;
}

QPen Outline(const QColor& color, qreal width = 1.0) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void Folder(QPainter& p, bool open) {
    p.setPen(Outline(kFolderDark, 0.8));
    p.setBrush(kFolderDark);
    p.drawRoundedRect(QRectF(1.5, 3, 6, 3), 1, 1);
    p.setBrush(kFolder);
    if (!open) {
        p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.2, 1.2);
        return;
    }
    p.drawRoundedRect(QRectF(1.5, 4.5, 12, 9), 1.2, 1.2);
    QPainterPath flap;
    flap.moveTo(3.5, 7.5);
    flap.lineTo(15, 7.5);
    flap.lineTo(13, 13.5);
    flap.lineTo(1.5, 13.5);
    flap.closeSubpath();
    p.setBrush(QColor(0xF9, 0xD7, 0x72));
    p.drawPath(flap);
}

void Page(QPainter& p, const QRectF& r, const QColor& edge = kGray) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(Outline(edge, 0.8));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
    p.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

void TextLines(QPainter& p, qreal left, qreal right, qreal top, int count) {
    p.setPen(Outline(kBlue, 0.9));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + i * 2.2),
                   QPointF(i == count - 1 ? (left + right) / 2 : right, top + i * 2.2));
}

void Bars(QPainter& p) {
    p.setPen(Qt::NoPen);
    const QColor colors[3] = {kBlue, kGreen, kOrange};
    const qreal heights[3] = {5, 9, 12};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colors[i]);
        p.drawRoundedRect(QRectF(2 + i * 4.2, 14 - heights[i], 3.2, heights[i]), 0.6, 0.6);
    }
    p.setPen(Outline(kGray, 0.9));
    p.drawLine(QPointF(1, 14.5), QPointF(15, 14.5));
}

void SideBars(QPainter& p) {
    p.setPen(Qt::NoPen);
    const QColor colors[3] = {kBlue, kGreen, kOrange};
    const qreal widths[3] = {12, 8, 5};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colors[i]);
        p.drawRoundedRect(QRectF(2, 2.2 + i * 4.2, widths[i], 3.2), 0.6, 0.6);
    }
    p.setPen(Outline(kGray, 0.9));
    p.drawLine(QPointF(1.5, 1), QPointF(1.5, 15));
}

void Pie(QPainter& p, bool depth) {
    const QRectF r = depth ? QRectF(1, 3, 14, 9) : QRectF(1.5, 1.5, 13, 13);
    if (depth) {
        p.setPen(Qt::NoPen);
        p.setBrush(kDarkBlue);
        p.drawEllipse(r.translated(0, 2.5));
        p.drawRect(QRectF(r.left(), r.center().y(), r.width(), 2.5));
    }
    p.setPen(Outline(Qt::white, 0.7));
    p.setBrush(kBlue);
    p.drawEllipse(r);
    p.setBrush(kOrange);
    p.drawPie(r, 90 * 16, -110 * 16);
    p.setBrush(kGreen);
    p.drawPie(r, -20 * 16, -70 * 16);
}

void LineGraph(QPainter& p) {
    p.setPen(Outline(kGray, 0.9));
    p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
    p.drawLine(QPointF(1.5, 14.5), QPointF(15, 14.5));
    QPainterPath line;
    line.moveTo(2.5, 11);
    line.lineTo(6, 7);
    line.lineTo(9, 9.5);
    line.lineTo(14.5, 3);
    QPainterPath area = line;
    area.lineTo(14.5, 14);
    area.lineTo(2.5, 14);
    area.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kBlue.red(), kBlue.green(), kBlue.blue(), 70));
    p.drawPath(area);
    p.setPen(Outline(kBlue, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
}

void Books(QPainter& p) {
    const QColor colors[3] = {kRed, kBlue, kGreen};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Outline(colors[i].darker(130), 0.7));
        p.setBrush(colors[i]);
        p.drawRoundedRect(QRectF(2 + i * 4, 2 + (i == 1 ? 1.5 : 0), 3.4, 12.5 - (i == 1 ? 1.5 : 0)),
                          0.5, 0.5);
        p.setPen(Outline(Qt::white, 0.7));
        p.drawLine(QPointF(2.6 + i * 4, 5), QPointF(4.8 + i * 4, 5));
    }
}

void Images(QPainter& p) {
    p.setPen(Outline(kGray, 0.8));
    p.setBrush(QColor(0xE0, 0xF0, 0xFF));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.2, 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(11, 5.8), 1.6, 1.6);
    QPainterPath hills;
    hills.moveTo(2, 13);
    hills.lineTo(6.5, 7);
    hills.lineTo(9.5, 10.5);
    hills.lineTo(11, 9);
    hills.lineTo(14, 13);
    hills.closeSubpath();
    p.setBrush(kGreen);
    p.drawPath(hills);
}

void Network(QPainter& p) {
    const QPointF a(8, 3), b(3, 12.5), c(13, 12.5);
    p.setPen(Outline(kGray, 1.0));
    p.drawLine(a, b);
    p.drawLine(a, c);
    p.drawLine(b, c);
    p.setPen(Outline(Qt::white, 0.8));
    for (const auto& [pt, color] : {std::pair{a, kBlue}, {b, kGreen}, {c, kPurple}}) {
        p.setBrush(color);
        p.drawEllipse(pt, 2.6, 2.6);
    }
}

void MiscPages(QPainter& p) {
    Page(p, QRectF(1.5, 1, 9, 11));
    Page(p, QRectF(5.5, 4, 9, 11), kBlue);
    TextLines(p, 7, 12.5, 9, 3);
}

void Stop(QPainter& p) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = qDegreesToRadians(22.5 + 45.0 * i);
        octagon << QPointF(8 + 7 * qCos(angle), 8 + 7 * qSin(angle));
    }
    p.setPen(Outline(kRed.darker(130), 0.8));
    p.setBrush(kRed);
    p.drawPolygon(octagon);
    p.setPen(Outline(Qt::white, 1.8));
    p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
}

void HyperlinkTree(QPainter& p) {
    const QPointF centre(8, 8);
    p.setPen(Outline(kDarkBlue, 0.9));
    for (const QPointF& end :
         {QPointF(2.5, 3), QPointF(2.5, 13), QPointF(13.5, 3), QPointF(13.5, 8), QPointF(13.5, 13)})
        p.drawLine(centre, end);
    p.setPen(Outline(Qt::white, 0.6));
    p.setBrush(kBlue);
    for (const QPointF& end : {QPointF(2.5, 3), QPointF(2.5, 13)}) p.drawEllipse(end, 1.8, 1.8);
    p.setBrush(kGreen);
    for (const QPointF& end : {QPointF(13.5, 3), QPointF(13.5, 8), QPointF(13.5, 13)})
        p.drawEllipse(end, 1.8, 1.8);
    p.setBrush(kOrange);
    p.drawEllipse(centre, 2.8, 2.8);
}

void Unknown(QPainter& p) {
    Page(p, QRectF(3, 1, 10, 14));
    p.setPen(kGray);
    QFont font;
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(3, 3, 10, 12), Qt::AlignCenter, QStringLiteral("?"));
}

void TextPage(QPainter& p) {
    Page(p, QRectF(2.5, 1, 11, 14));
    TextLines(p, 4.5, 11.5, 5.5, 4);
}

void Grid(QPainter& p) {
    p.setPen(Outline(kGray, 0.8));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 2, 13, 12), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(2, 2.5, 12, 2.8));
    p.setPen(Outline(kGray, 0.6));
    for (const qreal y : {8.0, 11.0}) p.drawLine(QPointF(2, y), QPointF(14, y));
    p.drawLine(QPointF(6.5, 5.3), QPointF(6.5, 13.5));
}

void Gear(QPainter& p) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal angle = qDegreesToRadians(360.0 * i / (teeth * 2));
        const qreal radius = (i % 2 == 0) ? 7.2 : 5.6;
        const QPointF pt(8 + radius * qCos(angle), 8 + radius * qSin(angle));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(8, 8), 2.3, 2.3);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Outline(kGray.darker(120), 0.6));
    p.setBrush(kGray);
    p.drawPath(gear);
}

void Export(QPainter& p) {
    p.setPen(Outline(kGray, 1.0));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 5.5, 10, 9), 1, 1);
    p.setPen(Outline(kGreen, 1.8));
    p.drawLine(QPointF(6, 10), QPointF(13.5, 2.5));
    p.drawLine(QPointF(9, 2.5), QPointF(13.5, 2.5));
    p.drawLine(QPointF(13.5, 2.5), QPointF(13.5, 7));
}

void Chooser(QPainter& p) {
    Folder(p, false);
    p.setPen(Outline(kDarkBlue, 1.6));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(9.5, 9.5), 3, 3);
    p.drawLine(QPointF(11.7, 11.7), QPointF(14.5, 14.5));
}

void Save(QPainter& p) {
    p.setPen(Outline(kDarkBlue, 0.9));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 1.5, 8, 5));
    p.setBrush(QColor(0xDB, 0xE7, 0xFF));
    p.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void Help(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::white);
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
}

void Check(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Outline(Qt::white, 1.8));
    p.drawPolyline(QPolygonF({QPointF(4.5, 8.2), QPointF(7, 10.8), QPointF(11.5, 5.5)}));
}

void Running(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(6, 4.5), QPointF(11.5, 8), QPointF(6, 11.5)}));
}

void Error(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Outline(Qt::white, 1.8));
    p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
    p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
}

void Dot(QPainter& p, const QColor& color, qreal radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(8, 8), radius, radius);
}

// The weather-vane mark of the program: an arrow with a feathered tail on a pole, over the
// compass cross.
void VaneMark(QPainter& p) {
    p.setPen(Outline(QColor(255, 255, 255, 140), 0.8));
    p.drawLine(QPointF(4, 12.5), QPointF(12, 12.5));
    p.setPen(Outline(Qt::white, 1.0));
    p.drawLine(QPointF(8, 5.5), QPointF(8, 14.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 5.5), 1.1, 1.1);
    QPainterPath arrow;
    arrow.moveTo(15, 5.5);
    arrow.lineTo(11.5, 3.2);
    arrow.lineTo(11.5, 5);
    arrow.lineTo(5, 5);
    arrow.lineTo(5, 6);
    arrow.lineTo(11.5, 6);
    arrow.lineTo(11.5, 7.8);
    arrow.closeSubpath();
    p.drawPath(arrow);
    QPainterPath tail;
    tail.moveTo(5.5, 5.5);
    tail.lineTo(2.5, 2.5);
    tail.lineTo(1.2, 2.5);
    tail.lineTo(3.6, 5.5);
    tail.lineTo(1.2, 8.5);
    tail.lineTo(2.5, 8.5);
    tail.closeSubpath();
    p.drawPath(tail);
}

}  // namespace

int ReportImageIndex(const std::string& iconType) {
    static const std::map<std::string, int> kImages = {
        {"FOLDER", 0},     {"STACKEDBOOKS", 1},      {"IMAGES", 2},     {"BARCHART", 3},
        {"OPENFOLDER", 4}, {"PIECHART", 5},          {"LINEGRAPH", 6},  {"TEXTPAGE", 7},
        {"SIDECHART", 8},  {"NETWORK", 9},           {"MISCPAGES", 10}, {"3DPIECHART", 11},
        {"STOP", 12},      {"HYPERLINKTREEVIEW", 13}};
    const auto it = kImages.find(iconType);
    return it == kImages.end() ? kUnknownReportImage : it->second;
}

QIcon ReportIcon(int image) {
    static std::map<int, QIcon> cache;
    const auto found = cache.find(image);
    if (found != cache.end()) return found->second;
    static const std::map<int, painter_fn> kPainters = {
        {0, [](QPainter& p) { Folder(p, false); }},
        {1, Books},
        {2, Images},
        {3, Bars},
        {4, [](QPainter& p) { Folder(p, true); }},
        {5, [](QPainter& p) { Pie(p, false); }},
        {6, LineGraph},
        {7, TextPage},
        {8, SideBars},
        {9, Network},
        {10, MiscPages},
        {11, [](QPainter& p) { Pie(p, true); }},
        {12, Stop},
        {13, HyperlinkTree},
    };
    const auto painter = kPainters.find(image);
    const QIcon icon = MakeIcon(painter == kPainters.end() ? painter_fn(Unknown) : painter->second);
    cache.emplace(image, icon);
    return icon;
}

QIcon CommandIcon(command_icon_t which) {
    switch (which) {
        case command_icon_t::ProjectChooser:
            return MakeIcon(Chooser);
        case command_icon_t::ExportReport:
            return MakeIcon(Export);
        case command_icon_t::GraphView:
            return MakeIcon(Bars);
        case command_icon_t::ChartView:
            return MakeIcon(Grid);
        case command_icon_t::GlobalOptions:
            return MakeIcon(Gear);
        case command_icon_t::Open:
            return MakeIcon([](QPainter& p) { Folder(p, true); });
        case command_icon_t::Save:
            return MakeIcon(Save);
        case command_icon_t::Help:
            return MakeIcon(Help);
    }
    return {};
}

QIcon StepIcon(int image) {
    switch (image) {
        case 0:
            return MakeIcon(Running);
        case 1:
            return MakeIcon(Check);
        case 2:
            return MakeIcon(Error);
        default:
            return MakeIcon([](QPainter&) {});
    }
}

QIcon NestedRowIcon(int image) {
    switch (image) {
        case 0:
            return MakeIcon([](QPainter& p) { Dot(p, kBlue, 4); });
        case 1:
            return MakeIcon([](QPainter& p) { Dot(p, kGray, 2.5); });
        default:
            return MakeIcon([](QPainter& p) { Dot(p, kGreen, 2); });
    }
}

QIcon AppIcon() {
    return MakeIcon([](QPainter& p) {
        QLinearGradient fill(0, 0, 16, 16);
        fill.setColorAt(0, kBlue);
        fill.setColorAt(1, kDarkBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.5, 3.5);
        VaneMark(p);
    });
}

QPixmap Banner(int width, qreal devicePixelRatio) {
    width = std::max(width, 1);
    QPixmap pixmap(int(width * devicePixelRatio), int(kBannerHeight * devicePixelRatio));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, kBannerHeight);
    fill.setColorAt(0, QColor(0x1E, 0x3A, 0x8A));
    fill.setColorAt(1, QColor(0x35, 0x74, 0xF0));
    p.fillRect(QRectF(0, 0, width, kBannerHeight), fill);
    // A faint traffic curve across the banner, the program's subject.
    QPainterPath curve;
    curve.moveTo(0, kBannerHeight * 0.8);
    for (int x = 0; x <= width; x += 24)
        curve.lineTo(x, kBannerHeight * (0.62 + 0.18 * qSin(x / 70.0) * qCos(x / 190.0)));
    p.setPen(QPen(QColor(255, 255, 255, 50), 2));
    p.drawPath(curve);
    p.save();
    p.translate(24, 20);
    p.scale(56 / 16.0, 56 / 16.0);
    VaneMark(p);
    p.restore();
    QFont title;
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(96, 14, width - 96, 44), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Logvane"));
    QFont subtitle;
    subtitle.setPixelSize(14);
    p.setFont(subtitle);
    p.setPen(QColor(255, 255, 255, 210));
    p.drawText(QRectF(98, 56, width - 98, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Web server access log analysis"));
    return pixmap;
}

}  // namespace icons
