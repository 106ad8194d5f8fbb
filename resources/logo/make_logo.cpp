// Renders the Quillmore logo: a quill mark in a rounded square on the left
// (self-contained in the leftmost 54 x 54 pixels) followed by the wordmark;
// and, from the same shapes, the application icon: the mark alone as PNGs of
// the sizes a desktop looks for and as SVG.
//
// Usage: QT_QPA_PLATFORM=offscreen ./make_logo <logo.png> [<icon folder>]

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 218;
constexpr int kHeight = 54;
constexpr int kMarkSize = 54;     // the mark lives in [0, 54) x [0, 54)
constexpr qreal kTextLeft = 64.0; // wordmark never starts before this x
constexpr qreal kTextRight = 214.0;

const QColor kMarkTop(0x3a, 0x2f, 0x8f);    // deep indigo
const QColor kMarkBottom(0x1f, 0x6f, 0x86); // deep teal
const QColor kFeather(0xff, 0xff, 0xff);
const QColor kRachis(0x2c, 0x4a, 0x8a);
const QColor kInk(0x2b, 0x2f, 0x36);    // dark grey wordmark
const QColor kAccent(0x33, 0x4a, 0x9a); // indigo for "more"

// The feather is designed upright in a local frame: the tip at (0, -22),
// the quill's nib at (0, 22), then rotated and placed inside the square.
QPainterPath featherVane()
{
    QPainterPath vane;
    vane.moveTo(1.5, -22.0);
    // Right-hand side: broad, gently curved.
    vane.cubicTo(9.5, -15.0, 10.0, -4.0, 5.0, 6.0);
    vane.cubicTo(3.5, 9.0, 1.5, 11.0, 0.6, 12.0);
    // Left-hand side: narrower, back up to the slightly curled tip.
    vane.lineTo(-0.6, 10.0);
    vane.cubicTo(-6.0, 4.0, -7.0, -12.0, 1.5, -22.0);
    vane.closeSubpath();

    // Two small notches cut into the vane give it a feathery edge.
    QPainterPath notches;
    notches.moveTo(9.5, -6.5);
    notches.lineTo(3.2, -4.2);
    notches.lineTo(9.0, -3.0);
    notches.closeSubpath();
    notches.moveTo(-7.5, -1.0);
    notches.lineTo(-2.4, 1.0);
    notches.lineTo(-7.0, 2.6);
    notches.closeSubpath();
    return vane.subtracted(notches);
}

QPainterPath nib()
{
    QPainterPath tip;
    tip.moveTo(-1.5, 16.5);
    tip.lineTo(1.5, 16.5);
    tip.lineTo(0.0, 22.5);
    tip.closeSubpath();
    return tip;
}

// One filled or stroked outline of the mark. The feather's shapes are drawn in
// the feather's upright frame, turned and scaled into the square.
struct Shape
{
    QPainterPath path;
    QBrush brush = Qt::NoBrush;
    QPen pen = Qt::NoPen;
    bool inFeatherFrame = false;
};

QRectF markBox()
{
    return QRectF(2.0, 2.0, kMarkSize - 4.0, kMarkSize - 4.0);
}

QTransform featherPlacement()
{
    const QRectF box = markBox();
    QTransform place;
    place.translate(box.center().x() + 1.0, box.center().y() - 1.0);
    place.rotate(38.0);
    place.scale(1.08, 1.08);
    return place;
}

// The mark, back to front. Both the PNGs and the SVG are drawn from this list,
// so the icon and the logo cannot drift apart.
std::vector<Shape> markShapes()
{
    std::vector<Shape> shapes;
    const QRectF box = markBox();

    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0.0, kMarkTop);
    fill.setColorAt(1.0, kMarkBottom);
    QPainterPath square;
    square.addRoundedRect(box, 11.0, 11.0);
    shapes.push_back({square, QBrush(fill), Qt::NoPen, false});

    shapes.push_back({featherVane(), QBrush(kFeather), Qt::NoPen, true});

    // Rachis: a fine line in the mark colour splits the vane in two.
    QPainterPath inner;
    inner.moveTo(1.0, -16.0);
    inner.cubicTo(0.4, -6.0, 0.25, 3.0, 0.05, 10.5);
    shapes.push_back({inner, Qt::NoBrush, QPen(kRachis, 1.1, Qt::SolidLine, Qt::RoundCap), true});

    // Calamus below the vane, ending in a pointed nib.
    QPainterPath stem;
    stem.moveTo(0.0, 10.0);
    stem.lineTo(0.0, 17.0);
    shapes.push_back({stem, Qt::NoBrush, QPen(kFeather, 1.8, Qt::SolidLine, Qt::FlatCap), true});
    shapes.push_back({nib(), QBrush(kFeather), Qt::NoPen, true});

    // A short ink stroke where the nib meets the page.
    QPainterPath line;
    const QPointF nibTip = featherPlacement().map(QPointF(0.0, 22.5));
    line.moveTo(nibTip + QPointF(1.0, 2.0));
    line.cubicTo(nibTip + QPointF(5.0, -0.5), nibTip + QPointF(8.0, 4.5), nibTip + QPointF(13.0, 1.5));
    shapes.push_back({line, Qt::NoBrush, QPen(QColor(255, 255, 255, 170), 1.6, Qt::SolidLine, Qt::RoundCap), false});
    return shapes;
}

void drawMark(QPainter& p)
{
    const QTransform place = featherPlacement();
    for (const Shape& shape : markShapes()) {
        p.save();
        if (shape.inFeatherFrame)
            p.setTransform(place, true);
        p.setPen(shape.pen);
        p.setBrush(shape.brush);
        p.drawPath(shape.path);
        p.restore();
    }
}

QString number(qreal value)
{
    return QString::number(value, 'g', 6);
}

QString svgColour(const QColor& colour)
{
    return colour.name(QColor::HexRgb);
}

QString svgPathData(const QPainterPath& path)
{
    QStringList data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            data << QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
            break;
        case QPainterPath::LineToElement:
            data << QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
            break;
        case QPainterPath::CurveToElement: {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            data << QStringLiteral("C%1 %2 %3 %4 %5 %6")
                        .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(end.x), number(end.y));
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break; // consumed with its curve
        }
    }
    return data.join(u' ');
}

QString svgPaint(const Shape& shape, QStringList& definitions)
{
    QString attributes;
    if (shape.brush.style() == Qt::LinearGradientPattern) {
        const auto* gradient = static_cast<const QLinearGradient*>(shape.brush.gradient());
        QString stops;
        for (const QGradientStop& stop : gradient->stops())
            stops += QStringLiteral("<stop offset=\"%1\" stop-color=\"%2\"/>")
                         .arg(number(stop.first), svgColour(stop.second));
        const QString id = QStringLiteral("fill%1").arg(definitions.size());
        definitions << QStringLiteral("<linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                                      "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">%6</linearGradient>")
                           .arg(id, number(gradient->start().x()), number(gradient->start().y()),
                                number(gradient->finalStop().x()), number(gradient->finalStop().y()), stops);
        attributes += QStringLiteral(" fill=\"url(#%1)\"").arg(id);
    } else if (shape.brush.style() == Qt::SolidPattern) {
        attributes += QStringLiteral(" fill=\"%1\"").arg(svgColour(shape.brush.color()));
    } else {
        attributes += QStringLiteral(" fill=\"none\"");
    }
    if (shape.brush.style() != Qt::NoBrush)
        attributes +=
            QStringLiteral(" fill-rule=\"%1\"").arg(shape.path.fillRule() == Qt::WindingFill ? u"nonzero" : u"evenodd");

    if (shape.pen.style() != Qt::NoPen) {
        const QColor colour = shape.pen.color();
        const char* cap = shape.pen.capStyle() == Qt::RoundCap ? "round"
            : shape.pen.capStyle() == Qt::SquareCap            ? "square"
                                                               : "butt";
        attributes += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"%3\" "
                                     "stroke-linejoin=\"bevel\"")
                          .arg(svgColour(colour), number(shape.pen.widthF()), QLatin1String(cap));
        if (colour.alpha() != 255)
            attributes += QStringLiteral(" stroke-opacity=\"%1\"").arg(number(colour.alphaF()));
    }
    return attributes;
}

// The mark as SVG, for desktops that scale the icon to any size.
QByteArray markSvg()
{
    const QTransform place = featherPlacement();
    const QString featherFrame = QStringLiteral("matrix(%1 %2 %3 %4 %5 %6)")
                                     .arg(number(place.m11()), number(place.m12()), number(place.m21()),
                                          number(place.m22()), number(place.dx()), number(place.dy()));
    QStringList definitions;
    QStringList body;
    for (const Shape& shape : markShapes()) {
        const QString element =
            QStringLiteral("<path d=\"%1\"%2/>").arg(svgPathData(shape.path), svgPaint(shape, definitions));
        body << (shape.inFeatherFrame ? QStringLiteral("<g transform=\"%1\">%2</g>").arg(featherFrame, element)
                                      : element);
    }
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(kMarkSize);
    if (!definitions.isEmpty())
        svg += QStringLiteral("<defs>%1</defs>\n").arg(definitions.join(QString()));
    svg += body.join(u'\n') + QStringLiteral("\n</svg>\n");
    return svg.toUtf8();
}

QFont wordmarkFont(qreal maxWidth)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setWeight(QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
    // Largest pixel size that still fits; deterministic for a given font file.
    for (int px = 30; px > 10; --px) {
        font.setPixelSize(px);
        if (QFontMetricsF(font).horizontalAdvance(QStringLiteral("quillmore")) <= maxWidth)
            break;
    }
    return font;
}

void drawWordmark(QPainter& p)
{
    const QFont font = wordmarkFont(kTextRight - kTextLeft);
    const QFontMetricsF fm(font);
    const QString first = QStringLiteral("quill");
    const QString second = QStringLiteral("more");

    // Centre the x-height band vertically on the mark; descenders hang below.
    const qreal baseline = kHeight / 2.0 + fm.xHeight() / 2.0;

    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QPointF(kTextLeft, baseline), first);
    p.setPen(kAccent);
    p.drawText(QPointF(kTextLeft + fm.horizontalAdvance(first), baseline), second);
}

bool writeIcons(const QString& folder)
{
    // The sizes a desktop's icon theme looks for; each is drawn at its size, not scaled down.
    for (const int size : {48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        {
            QPainter p(&icon);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.scale(qreal(size) / kMarkSize, qreal(size) / kMarkSize);
            drawMark(p);
        }
        const QString out = QStringLiteral("%1/quillmore-%2.png").arg(folder).arg(size);
        if (!icon.convertToFormat(QImage::Format_ARGB32).save(out, "PNG")) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(out));
            return false;
        }
    }
    QFile svg(folder + QStringLiteral("/quillmore.svg"));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(markSvg()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(svg.fileName()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);

    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <logo.png> [<icon folder>]\n", argv[0]);
        return 2;
    }

    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent); // the form and the thank-you window show it on their own background

    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        drawMark(p);
        drawWordmark(p);
    }

    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(out, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    if (argc > 2 && !writeIcons(QString::fromLocal8Bit(argv[2])))
        return 1;
    return 0;
}
