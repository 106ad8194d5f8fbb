#include "platform/Design.h"

#include "platform/EditField.h"
#include "platform/FittedText.h"
#include "platform/Window.h"

namespace platform {

namespace {

Qt::Alignment alignment(ControlDesign::Align align)
{
    switch (align) {
    case ControlDesign::Align::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    case ControlDesign::Align::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case ControlDesign::Align::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

template <class C>
C* place(C* control, const ControlDesign& d)
{
    control->setObjectName(QString::fromLatin1(d.name));
    setGeometryInWindow(control, QRect(d.left, d.top, d.width, d.height));
    return control;
}

template <class C>
void setFont(C* control, const ControlDesign& d)
{
    control->setTextFont(d.font);
    control->setTextSize(d.textSize);
}

} // namespace

void buildControls(Window& window, std::span<const ControlDesign> table)
{
    using Kind = ControlDesign::Kind;
    for (const ControlDesign& d : table) {
        QWidget* parent = window.content();
        if (d.parent)
            parent = &window.control<GroupBox>(d.parent);
        const QString text = QString::fromUtf8(d.text);
        QWidget* created = nullptr;
        switch (d.kind) {
        case Kind::GroupBox: {
            auto* box = place(new GroupBox(parent), d);
            box->setTitle(text);
            setFont(box, d);
            created = box;
            break;
        }
        case Kind::EditField: {
            auto* field = place(new EditField(parent), d);
            setFont(field, d);
            field->setText(text);
            field->setMask(QString::fromLatin1(d.mask));
            field->setPassword(d.password);
            created = field;
            break;
        }
        case Kind::PopupMenu: {
            auto* menu = place(new PopupMenu(parent), d);
            setFont(menu, d);
            if (d.rows)
                menu->setRows(d.rows());
            menu->setListIndex(0);
            created = menu;
            break;
        }
        case Kind::StaticText: {
            auto* label = place(new StaticText(parent), d);
            setFont(label, d);
            label->setText(text);
            label->setAlignment(alignment(d.align));
            created = label;
            break;
        }
        case Kind::PushButton: {
            auto* button = place(new PushButton(parent), d);
            setFont(button, d);
            button->setText(text);
            button->setDefault(d.isDefault);
            button->setCancel(d.isCancel);
            created = button;
            break;
        }
        case Kind::Canvas:
            created = place(new Canvas(parent), d);
            break;
        case Kind::CheckBox: {
            auto* box = place(new CheckBox(parent), d);
            setFont(box, d);
            box->setText(text);
            created = box;
            break;
        }
        case Kind::FittedText: {
            auto* label = place(new FittedText(parent), d);
            setFont(label, d);
            label->setText(text);
            created = label;
            break;
        }
        }
        created->show();
    }
}

} // namespace platform
