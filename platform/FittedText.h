#pragma once

#include "platform/Controls.h"

#include <QFont>
#include <QStringList>

namespace platform {

// The lines a text takes in a box of the given width and height, wrapped at blanks: as many as fit,
// the last of them ending in an ellipsis at a word's end when the text goes on. A word wider than the
// box is wrapped inside it rather than cut off at the edge.
QStringList fitText(const QString& text, const QFont& font, int width, int height);

// A static text that shows as much of its text as its box holds (see fitText), never a line or a
// word cut in half, and raises Action when it is clicked or touched.
class FittedText final : public Control<QWidget>
{
    Q_OBJECT
public:
    explicit FittedText(QWidget* parent);

    QString Text() const { return m_text; }
    void setText(const QString& text);
    // What the box shows, line by line.
    QStringList shownLines() const;

Q_SIGNALS:
    void Action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_text;
};

} // namespace platform
