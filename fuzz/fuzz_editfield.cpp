// The edit-field rules through a real field: a platform::EditField in an offscreen application, with a
// mask and a limit, gets a run of typed characters, pastes, input method commits, deletions, cursor
// moves, undo and redo. After every step the text holds no line break, no more characters than the
// mask or limit allows, no character the mask refuses and no lone surrogate.
#include "FuzzCheck.h"

#include "core/Text.h"
#include "platform/EditField.h"
#include "platform/InputRules.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// Text as it may come from a keyboard, an input method or another program: any UTF-16 units (lone
// surrogates too), characters outside the Basic Multilingual Plane whole, and line breaks.
QString anyText(FuzzedDataProvider& input, int maxUnits)
{
    QString text;
    const int units = input.ConsumeIntegralInRange(0, maxUnits);
    while (text.size() < units && input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            text += QChar(input.ConsumeIntegralInRange<char16_t>(0x20, 0x7E));
            break;
        case 1:
            text += QChar(input.ConsumeIntegral<char16_t>());
            break;
        case 2:
            text += QString::fromUcs4(std::array{input.ConsumeIntegralInRange<char32_t>(0x10000, 0x10FFFF)}.data(), 1);
            break;
        case 3:
            text += input.PickValueInArray({u'\n', u'\r', u' ', u'\t', u'\u2028', u'\u00A0', u'\u200C', u'0', u'9'});
            break;
        default:
            text += QString::fromStdString(input.ConsumeRandomLengthString(8));
            break;
        }
    }
    return text;
}

void key(platform::EditField& field, int key, Qt::KeyboardModifiers modifiers, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&field, &release);
}

// Characters as a person counts them: a surrogate pair is one.
QList<char32_t> characters(const QString& text)
{
    QList<char32_t> list;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            list << QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        } else {
            list << text[i].unicode();
        }
    }
    return list;
}

void checkText(const QString& text, const QString& mask, int limit, bool takesBlanks)
{
    const QList<char32_t> chars = characters(text);
    if (!mask.isEmpty())
        FUZZ_CHECK(chars.size() <= mask.size());
    if (limit > 0)
        FUZZ_CHECK(chars.size() <= limit);
    for (const char32_t c : chars) {
        FUZZ_CHECK(c != U'\n' && c != U'\r');
        FUZZ_CHECK(!QChar::isSurrogate(c));
        // Every place of the mask is the same, so a character anywhere must suit any place.
        if (!mask.isEmpty())
            FUZZ_CHECK(platform::maskPlaceAccepts(mask[0], c) || (takesBlanks && c == U' '));
    }
}

} // namespace

// Fontconfig's font cache is never freed while the application lives, and the application lives to the
// end; what LeakSanitizer would report of it at exit is not the field's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit, Qt's own statics may already be gone.
    new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);

    // The form's masks: one kind of place repeated ("&" for names, "#" for digits), or none.
    const char16_t place = input.PickValueInArray({u'\0', u'#', u'&', u'x'});
    const QString mask = place == u'\0' ? QString() : QString(input.ConsumeIntegralInRange(1, 30), QChar(place));
    const int limit = input.ConsumeIntegralInRange(0, 30);

    platform::EditField field(nullptr);
    field.setMask(mask);
    field.setLimitText(limit);
    // What the form does with a blank its name mask refused: takes it in, from code, and typing goes on
    // after it.
    const bool takesBlanks = input.ConsumeBool();
    QObject::connect(&field, &platform::EditField::ValidationError, &field, [&](const QString& text, int position) {
        if (!takesBlanks || platform::Mid(text, position, 1) != QStringLiteral(" "))
            return;
        field.setText(text);
        field.setCursorPosition(int(platform::unitIndex(text, position)));
    });

    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 9)) {
        case 0: // one key press, typing whatever text it carries
            key(field, Qt::Key_unknown, Qt::NoModifier, anyText(input, 2));
            break;
        case 1: // paste from the menu
            QApplication::clipboard()->setText(anyText(input, 40));
            field.pasteText();
            break;
        case 2: { // an input method commits text, perhaps replacing some around the cursor
            QInputMethodEvent event(anyText(input, 4), {});
            const int length = input.ConsumeIntegralInRange(0, 4);
            event.setCommitString(anyText(input, 12), input.ConsumeIntegralInRange(-length, 0), length);
            QApplication::sendEvent(&field, &event);
            break;
        }
        case 3: { // an input method's composition, not yet committed
            QInputMethodEvent event(anyText(input, 6), {});
            QApplication::sendEvent(&field, &event);
            break;
        }
        case 4:
            key(field, Qt::Key_Z, Qt::ControlModifier);
            break;
        case 5:
            key(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            break;
        case 6:
            key(field, input.ConsumeBool() ? Qt::Key_Backspace : Qt::Key_Delete, Qt::NoModifier);
            break;
        case 7:
            field.setCursorPosition(input.ConsumeIntegralInRange(0, int(field.text().size())));
            break;
        case 8:
            field.setSelection(input.ConsumeIntegralInRange(0, int(field.text().size())),
                               input.ConsumeIntegralInRange(-4, 4));
            break;
        default: // the keyboard's paste and cut
            QApplication::clipboard()->setText(anyText(input, 40));
            key(field, input.ConsumeBool() ? Qt::Key_V : Qt::Key_X, Qt::ControlModifier);
            break;
        }
        // Refusals raised later, and the rest of a paste after one, come through the event loop.
        QCoreApplication::processEvents();
        checkText(field.text(), mask, limit, takesBlanks);
    }
    return 0;
}
