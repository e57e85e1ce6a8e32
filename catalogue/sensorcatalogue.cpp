#include "catalogue/sensorcatalogue.h"

namespace {

enum Row { RtdRow = 0, ThermocoupleRow = 1, FixedRow = 2 };

int rowOfKind(int kind)
{
    if (kind >= int(SensorKind::Rtd3Wire))
        return RtdRow;
    if (kind == int(SensorKind::Thermocouple))
        return ThermocoupleRow;
    return FixedRow;
}

} // namespace

SensorCatalogue SensorCatalogue::standard()
{
    SensorCatalogue c;
    // Grade 21 platinum and grade 23 copper thermometers get the working
    // ranges of those grades, so every RTD type has limits of its own.
    c.limitRows = {
        {{-200, 850},
         {-200, 850},
         {-220, 850},
         {-220, 850},
         {-180, 200},
         {-180, 200},
         {-50, 200},
         {-50, 200},
         {-200, 650},
         {-50, 180}},
        {{-200, 800}, {-270, 1372}, {-210, 1200}, {-270, 1300}, {-50, 1768}, {0, 2500}, {0, 1820}},
        {{-60, 85}},
    };
    c.rtd = {{0x0C, 0}, {0x0B, 1}, {0x6B, 2}, {0x6A, 3}, {0x69, 4},
             {0x68, 5}, {0x5C, 6}, {0x67, 7}, {0xF1, 8}, {0xF2, 9}};
    c.thermocouple = {{0x94, 0}, {0x89, 1}, {0x88, 2}, {0x8A, 3}, {0x8C, 4}, {0x87, 5}, {0x83, 6}};
    return c;
}

QStringList SensorCatalogue::typeNames(int kind)
{
    if (rowOfKind(kind) == RtdRow)
        return {QStringLiteral("ТС-100П 385"), QStringLiteral("ТС-50П 385"),
                QStringLiteral("ТС-100П 391"), QStringLiteral("ТС-50П 391"),
                QStringLiteral("ТС-100М 428"), QStringLiteral("ТС-50М 428"),
                QStringLiteral("ТС-100М 426"), QStringLiteral("ТС-50М 426"),
                QStringLiteral("ТС-21П 391"),  QStringLiteral("ТС-23М 426")};
    if (rowOfKind(kind) == ThermocoupleRow)
        return {QStringLiteral("ХК(L)"), QStringLiteral("ХА(K)"), QStringLiteral("ЖК(J)"),
                QStringLiteral("НН(N)"), QStringLiteral("ПП(S)"), QStringLiteral("A-1"),
                QStringLiteral("ПР(B)")};
    return {};
}

std::optional<RangeLimits> SensorCatalogue::limits(int kind, int position) const
{
    if (isEmpty())
        return std::nullopt;
    const QList<RangeLimits> &row = limitRows.at(rowOfKind(kind));
    const int entry = position < 0 ? 0 : position;
    if (entry >= row.size())
        return std::nullopt;
    return row.at(entry);
}

const QList<CodePair> *SensorCatalogue::codeTable(int kind) const
{
    const QList<CodePair> *tables[] = {&rtd, &thermocouple, nullptr};
    return tables[rowOfKind(kind)];
}

std::optional<SensorSelection> SensorCatalogue::encode(int kind, int position) const
{
    if (kind == int(SensorKind::Tmp123))
        return SensorSelection{0, Tmp123Code};
    if (kind < int(SensorKind::Thermocouple) || kind > int(SensorKind::Rtd4Wire))
        return std::nullopt;
    // An index missing from the table goes out as the code itself.
    const quint8 index = quint8(position);
    quint8 code = index;
    for (const CodePair &pair : *codeTable(kind)) {
        if (pair.position == index) {
            code = pair.code;
            break;
        }
    }
    return SensorSelection{quint8(kind), code};
}

int SensorCatalogue::decodePosition(quint8 kindByte, quint8 code) const
{
    const QList<CodePair> *table = codeTable(kindByte);
    if (!table)
        return -1;
    for (const CodePair &pair : *table) {
        if (pair.code == code)
            return pair.position;
    }
    return -1;
}
