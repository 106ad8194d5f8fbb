#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace platform {

// Font families the designs name. "System" is the platform's user-interface font; "Verdana" is
// Verdana where installed, else whatever the font configuration offers as its closest match.
enum class FontFamily { System, Verdana };

// Text sizes are in points of the 72-dpi screen the designs were drawn for: one point is one pixel.
// Size 0 is the default size: the largest that fits a line of text into a 12-pixel box, the smallest
// text box of any design, so every designed control shows its text unclipped.
QFont designFont(FontFamily family, int size);
int defaultTextSize(FontFamily family);

// Geometry in window content coordinates (below the menu bar), whatever the widget's parent is:
// controls framed by a group box are its children, so moving the box carries them along.
QRect geometryInWindow(const QWidget* widget);
void setGeometryInWindow(QWidget* widget, const QRect& rect);

// Adds the framework's control properties to a Qt widget.
template <class QtWidget>
class Control : public QtWidget
{
public:
    using QtWidget::QtWidget;

    int Left() const { return geometryInWindow(this).x(); }
    int Top() const { return geometryInWindow(this).y(); }
    int Width() const { return this->width(); }
    int Height() const { return this->height(); }
    void setLeft(int left) { moveTo(left, Top()); }
    void setTop(int top) { moveTo(Left(), top); }
    void setWidth(int width) { this->resize(width, this->height()); }
    void setHeight(int height) { this->resize(this->width(), height); }

    FontFamily TextFont() const { return m_family; }
    int TextSize() const { return m_textSize; }
    void setTextFont(FontFamily family) { m_family = family; this->setFont(designFont(m_family, m_textSize)); }
    void setTextSize(int size) { m_textSize = size; this->setFont(designFont(m_family, m_textSize)); }

private:
    void moveTo(int left, int top) { setGeometryInWindow(this, QRect(left, top, this->width(), this->height())); }

    FontFamily m_family = FontFamily::System;
    int m_textSize = 0;
};

class StaticText final : public Control<QLabel>
{
    Q_OBJECT
public:
    explicit StaticText(QWidget* parent);
    QString Text() const { return text(); }
};

class PushButton final : public Control<QPushButton>
{
    Q_OBJECT
public:
    explicit PushButton(QWidget* parent);
    QString Caption() const { return text(); }
    // The default button is pressed by Return, the cancel button by Escape (see Window).
    bool Default() const { return isDefault(); }
    bool Cancel() const { return m_cancel; }
    void setCancel(bool cancel) { m_cancel = cancel; }

Q_SIGNALS:
    void Action();

private:
    bool m_cancel = false;
};

class CheckBox final : public Control<QCheckBox>
{
    Q_OBJECT
public:
    explicit CheckBox(QWidget* parent);
    bool Value() const { return isChecked(); }
    void setValue(bool value) { setChecked(value); }
};

class GroupBox final : public Control<QGroupBox>
{
    Q_OBJECT
public:
    explicit GroupBox(QWidget* parent);
};

// A pop-up menu. Rows count from 0. Change is raised when the visitor picks another row and every time
// code sets ListIndex, even to the row already chosen; an index outside the rows is ignored.
class PopupMenu final : public Control<QComboBox>
{
    Q_OBJECT
public:
    explicit PopupMenu(QWidget* parent);

    void setRows(const QStringList& rows);
    int ListIndex() const { return currentIndex(); }
    void setListIndex(int index);
    QString Text() const { return currentText(); }
    int ListCount() const { return count(); }
    QString List(int row) const { return itemText(row); }

Q_SIGNALS:
    void Change();

private:
    bool m_settingFromCode = false;
};

// A canvas that shows a picture as its backdrop, drawn from its top-left corner and cut at its edges.
class Canvas final : public Control<QWidget>
{
    Q_OBJECT
public:
    explicit Canvas(QWidget* parent);
    void setBackdrop(const QPixmap& picture);
    QPixmap Backdrop() const { return m_backdrop; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_backdrop;
};

// A timer control. Mode 0 is off, 1 fires once, 2 fires every Period milliseconds.
// It belongs to its window and stops when the window closes.
class Timer final : public QObject
{
    Q_OBJECT
public:
    explicit Timer(QObject* parent);

    int Period() const { return m_timer.interval(); }
    int Mode() const { return m_mode; }
    void setPeriod(int milliseconds);
    void setMode(int mode);
    void stop() { setMode(0); }

Q_SIGNALS:
    void Action();

private:
    QTimer m_timer;
    int m_mode = 0;
};

// A picture among the application's resources, loaded on first use and kept for the life of the program.
const QPixmap& pictureResource(int number);

} // namespace platform
