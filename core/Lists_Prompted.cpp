// The lists whose row 0 is a prompt that counts as nothing chosen: carriers, genders, birth years.
#include "core/Lists.h"

namespace lists {

const QStringList& carriers()
{
    static const QStringList list{
        QStringLiteral("Select"),
        QStringLiteral("AllTel"),
        QStringLiteral("Boost"),
        QStringLiteral("Cellular South"),
        QStringLiteral("Cincinnati Bell"),
        QStringLiteral("Cingular Blue (AT&T)"),
        QStringLiteral("Cingular"),
        QStringLiteral("Cricket"),
        QStringLiteral("Dobson"),
        QStringLiteral("Helio"),
        QStringLiteral("MetroPCS"),
        QStringLiteral("Nextel"),
        QStringLiteral("Plateau Wireless"),
        QStringLiteral("SprintPCS"),
        QStringLiteral("SunCom"),
        QStringLiteral("SouthernLINC"),
        QStringLiteral("T-Mobile"),
        QStringLiteral("Unicel"),
        QStringLiteral("US Cellular"),
        QStringLiteral("Verizon"),
        QStringLiteral("Virgin Mobile (USA)"),
        QStringLiteral("Bell Mobility (Canada)"),
        QStringLiteral("Fido (Canada)"),
        QStringLiteral("Rogers AT&T (Canada)"),
        QStringLiteral("SaskTel (Canada)"),
        QStringLiteral("Telus (Canada)"),
        QStringLiteral("Virgin Mobile (Canada)"),
        QStringLiteral("Orange (UK)"),
        QStringLiteral("Vodafone (UK)"),
        QStringLiteral("O2 (UK)"),
        QStringLiteral("T-Mobile (UK)"),
        QStringLiteral("Other"),
    };
    return list;
}

const QStringList& genders()
{
    static const QStringList list{QStringLiteral("M/F"), QStringLiteral("Male"), QStringLiteral("Female")};
    return list;
}

const QStringList& years()
{
    static const QStringList list = [] {
        QStringList years{QStringLiteral("Select")};
        for (int year = kNewestBirthYear; year >= kOldestBirthYear; --year)
            years.append(QString::number(year));
        return years;
    }();
    return list;
}

} // namespace lists
