#include "platform/Notice.h"

#include "platform/Controls.h"
#include "platform/Window.h"

#include <QVBoxLayout>

namespace platform {

Notice::Notice(QWidget* window)
    : QFrame(qobject_cast<Window*>(window) ? qobject_cast<Window*>(window)->content() : window)
    , Headline(new StaticText(this))
    , Line(new StaticText(this))
{
    setObjectName(QStringLiteral("Notice"));
    Headline->setObjectName(QStringLiteral("Headline"));
    Line->setObjectName(QStringLiteral("Line"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, Qt::white);
    look.setColor(QPalette::WindowText, Qt::black);
    setPalette(look);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(6);
    for (StaticText* text : {Headline, Line}) {
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        layout->addWidget(text);
    }
    hide();
}

void Notice::display(const QString& headline, const QString& line, int size)
{
    Headline->setText(headline);
    Line->setText(line);
    for (StaticText* text : {Headline, Line}) {
        text->setTextFont(FontFamily::Verdana);
        text->setTextSize(size);
    }
    QFont bold = Headline->font();
    bold.setBold(true);
    Headline->setFont(bold);

    // As wide as the headline needs, within the window.
    const QWidget* area = parentWidget();
    const int widest = area->width() - 16;
    const int wanted = Headline->fontMetrics().horizontalAdvance(headline) + 2 * 16 + 8;
    const int width = std::min(wanted, widest);
    const int height = layout()->heightForWidth(width) > 0 ? layout()->heightForWidth(width) : sizeHint().height();
    QRect frame(0, 0, width, height);
    frame.moveCenter(area->rect().center());
    setGeometry(frame);
    raise();
    show();
}

} // namespace platform
