// Renders the Quillmore logo: a quill mark in a rounded square on the left
// (self-contained in the leftmost 54 x 54 pixels) followed by the wordmark.
//
// Usage: QT_QPA_PLATFORM=offscreen ./make_logo <output.png>

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cstdio>

namespace {

constexpr int kWidth = 218;
constexpr int kHeight = 54;
constexpr int kMarkSize = 54;     // the mark lives in [0, 54) x [0, 54)
constexpr qreal kTextLeft = 64.0;  // wordmark never starts before this x
constexpr qreal kTextRight = 214.0;

const QColor kMarkTop(0x3a, 0x2f, 0x8f);    // deep indigo
const QColor kMarkBottom(0x1f, 0x6f, 0x86); // deep teal
const QColor kFeather(0xff, 0xff, 0xff);
const QColor kRachis(0x2c, 0x4a, 0x8a);
const QColor kInk(0x2b, 0x2f, 0x36);        // dark grey wordmark
const QColor kAccent(0x33, 0x4a, 0x9a);     // indigo for "more"

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

void drawMark(QPainter &p)
{
    const QRectF box(2.0, 2.0, kMarkSize - 4.0, kMarkSize - 4.0);

    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0.0, kMarkTop);
    fill.setColorAt(1.0, kMarkBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(box, 11.0, 11.0);

    QTransform place;
    place.translate(box.center().x() + 1.0, box.center().y() - 1.0);
    place.rotate(38.0);
    place.scale(1.08, 1.08);

    p.save();
    p.setTransform(place, true);

    p.setPen(Qt::NoPen);
    p.setBrush(kFeather);
    p.drawPath(featherVane());

    // Rachis: a fine line in the mark colour splits the vane in two.
    QPen rachis(kRachis, 1.1, Qt::SolidLine, Qt::RoundCap);
    p.setPen(rachis);
    p.setBrush(Qt::NoBrush);
    QPainterPath inner;
    inner.moveTo(1.0, -16.0);
    inner.cubicTo(0.4, -6.0, 0.25, 3.0, 0.05, 10.5);
    p.drawPath(inner);

    // Calamus below the vane, ending in a pointed nib.
    QPen calamus(kFeather, 1.8, Qt::SolidLine, Qt::FlatCap);
    p.setPen(calamus);
    QPainterPath stem;
    stem.moveTo(0.0, 10.0);
    stem.lineTo(0.0, 17.0);
    p.drawPath(stem);
    p.setPen(Qt::NoPen);
    p.setBrush(kFeather);
    p.drawPath(nib());
    p.restore();

    // A short ink stroke where the nib meets the page.
    QPen ink(QColor(255, 255, 255, 170), 1.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(ink);
    p.setBrush(Qt::NoBrush);
    QPainterPath line;
    const QPointF nibTip = place.map(QPointF(0.0, 22.5));
    line.moveTo(nibTip + QPointF(1.0, 2.0));
    line.cubicTo(nibTip + QPointF(5.0, -0.5), nibTip + QPointF(8.0, 4.5),
                 nibTip + QPointF(13.0, 1.5));
    p.drawPath(line);
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

void drawWordmark(QPainter &p)
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

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);

    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
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
    return 0;
}
