#include "platform/FittedText.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

namespace platform {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

// The longest start of `rest` that ends at a word's end and leaves room for the ellipsis; failing a
// whole word, as many characters as fit.
QString elidedAtWord(const QString& rest, const QFontMetrics& metrics, int width)
{
    const auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s + kEllipsis) <= width; };
    QString best;
    for (qsizetype blank = rest.indexOf(u' '); blank > 0; blank = rest.indexOf(u' ', blank + 1)) {
        const QString candidate = rest.left(blank).trimmed();
        if (!fits(candidate))
            break;
        best = candidate;
    }
    if (best.isEmpty()) {
        for (qsizetype n = rest.size(); n > 0 && best.isEmpty(); --n) {
            if (fits(rest.left(n)))
                best = rest.left(n);
        }
    }
    return best + kEllipsis;
}

} // namespace

QStringList fitText(const QString& text, const QFont& font, int width, int height)
{
    const QFontMetrics metrics(font);
    const int maxLines = std::max(1, height / metrics.lineSpacing());
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1 && line.textStart() + line.textLength() < text.size()) {
            lines << elidedAtWord(text.mid(line.textStart()), metrics, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

FittedText::FittedText(QWidget* parent)
    : Control<QWidget>(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void FittedText::setText(const QString& text)
{
    m_text = text;
    setAccessibleName(text);
    update();
}

QStringList FittedText::shownLines() const
{
    return fitText(m_text, font(), width(), height());
}

void FittedText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString& line : shownLines()) {
        painter.drawText(0, y, line);
        y += metrics.lineSpacing();
    }
}

void FittedText::mouseReleaseEvent(QMouseEvent* event)
{
    if (rect().contains(event->position().toPoint()))
        Q_EMIT Action();
}

} // namespace platform
