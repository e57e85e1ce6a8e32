#pragma once

#include <QString>
#include <QStringList>

namespace StatusStyle {

// The status label's style sheet when the program starts.
inline const QString &initialSheet()
{
    static const QString sheet = QStringLiteral(
        "border-style:solid;border-width:1px;border-color:rgb(0,0,0);background-color:white;");
    return sheet;
}

// Recolours a style sheet by replacing what follows its last ":" with the
// colour name, so the border settings stay and only the background changes.
inline QString withColour(const QString &sheet, const QString &colour)
{
    const int start = sheet.lastIndexOf(QLatin1Char(':')) + 1;
    const int count = qBound(0, sheet.size() - 2, sheet.size() - start);
    return QString(sheet).replace(start, count, colour);
}

// A style list: the complete style sheet, then the status word.
inline QStringList styleList(const QString &sheet, const QString &colour, const QString &word)
{
    return {withColour(sheet, colour), word};
}

} // namespace StatusStyle
