#pragma once

#include "platform/Fonts.h"
#include "platform/Geometry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace platform {

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

    FontFamily TextFont() const { return platform::textFont(this); }
    int TextSize() const { return platform::textSize(this); }
    void setTextFont(FontFamily family) { platform::setTextFont(this, family); }
    void setTextSize(int size) { platform::setTextSize(this, size); }

private:
    void moveTo(int left, int top) { setGeometryInWindow(this, QRect(left, top, this->width(), this->height())); }
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

    int Period() const { return m_clock->interval(); }
    int Mode() const { return m_mode; }
    void setPeriod(int milliseconds);
    void setMode(int mode);
    void stop() { setMode(0); }

Q_SIGNALS:
    void Action();

private:
    QTimer* m_clock; // a child, so a test can see whether it runs
    int m_mode = 0;
};

} // namespace platform
