#pragma once

#include "form/Window1.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "settings/PreferencesWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

// Helpers for the suites that drive the kiosk's own windows.

// A visitor's whole entry: Ann Lee of Toronto, CANADA, with a cell number and carrier, both user names,
// a birth year and a gender.
inline void fill(Window1& form)
{
    form.EmailField->setText(QStringLiteral("ann@example.org"));
    form.FirstNameField->setText(QStringLiteral("Ann"));
    form.LastNameField->setText(QStringLiteral("Lee"));
    form.CountryField->setListIndex(1); // CANADA
    form.CityField->setText(QStringLiteral("Toronto"));
    form.PostCodeField->setText(QStringLiteral("M5V 2T6"));
    form.CellField->setText(QStringLiteral("4165550199"));
    form.CellCarrierPopUp->setListIndex(19); // Verizon
    form.AOLScreenNameField->setText(QStringLiteral("annlee"));
    form.MySpaceURLField->setText(QStringLiteral("annl"));
    form.YearBornPopUp->setListIndex(1); // 1994
    form.GenderPopUp->setListIndex(2);   // Female
}

// Counts the Preferences windows that open while it lives. With Then::Cancel it presses Cancel in each
// once it shows, so nothing waits for it.
class PreferencesWatch final : public QObject
{
public:
    enum class Then { Leave, Cancel };

    explicit PreferencesWatch(Then then = Then::Leave)
        : m_then(then)
    {
        qApp->installEventFilter(this);
    }
    ~PreferencesWatch() override { qApp->removeEventFilter(this); }

    int opened = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* prefs = qobject_cast<PreferencesWindow*>(watched)) {
            ++opened;
            if (m_then == Then::Cancel)
                QTimer::singleShot(0, prefs, [prefs] { prefs->CancelBtn->click(); });
        }
        return false;
    }

private:
    Then m_then;
};
