#include "calibration/certificate.h"

#include "app/userfile.h"
#include "calibration/certificatenumbers.h"
#include "runreport/reportpdf.h"
#include "testlog/csvformat.h"

#include <QLocale>
#include <QPdfWriter>
#include <QStringList>

#ifndef VELTRA_VERSION
#define VELTRA_VERSION ""
#endif

const QString Certificate::DefaultDirectory = QStringLiteral("reports");

namespace {

using ReportPdf::escaped;

const QString NotRead = QStringLiteral("<i>не считано</i>");
const QString None = QStringLiteral("—");
const QString OutMark = QStringLiteral(" *");

QString dateText(const QDate &date)
{
    return date.isValid() ? QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy")) : None;
}

QString value(const std::optional<double> &v)
{
    return v ? CsvFormat::valueText(*v) : None;
}

// A table of names and values, the values HTML already, two pairs a row:
// the first half of `pairs` on the left, the second half on the right.
QString table(const QList<QPair<QString, QString>> &pairs)
{
    QString html =
        QStringLiteral("<table border='1' cellspacing='0' cellpadding='3' width='100%'>");
    const int rows = (pairs.size() + 1) / 2;
    for (int r = 0; r < rows; ++r) {
        const auto left = pairs[r];
        const auto right = pairs.value(r + rows);
        html += QStringLiteral("<tr><td width='20%'>%1</td><td width='28%'>%2</td>"
                               "<td width='24%'>%3</td><td width='28%'>%4</td></tr>")
                    .arg(escaped(left.first), left.second, escaped(right.first), right.second);
    }
    return html + QStringLiteral("</table>");
}

QString within(bool passed)
{
    return passed ? QStringLiteral("в допуске") : QStringLiteral("вне допуска");
}

QString verdictHtml(const QString &text, bool good)
{
    return QStringLiteral("<b><span style='color:%1'>%2</span></b>")
        .arg(good ? QStringLiteral("#1b7a1b") : QStringLiteral("#b01c1c"), escaped(text));
}

QString deviceSection(const DeviceDescription &device)
{
    const auto &id = device.identity;
    const auto &s = device.settings;
    const auto text = [](const QString &t) { return t.isEmpty() ? None : escaped(t); };
    return QStringLiteral("<h3>Прибор</h3>") +
           table({{QStringLiteral("Заводской номер"),
                   id ? QString::number(id->serialNumber) : NotRead},
                  {QStringLiteral("Дата выпуска"), id ? text(id->productionDate) : NotRead},
                  {QStringLiteral("Версия ПО"), id ? text(id->firmware) : NotRead},
                  {QStringLiteral("Чувствительный элемент"), s ? text(s->element) : NotRead},
                  {QStringLiteral("Тип"), s ? text(s->type) : NotRead},
                  {QStringLiteral("Диапазон"), s ? escaped(s->rangeText()) : NotRead}});
}

QString instrumentsSection(const QList<ReferenceInstrument> &instruments)
{
    QString html = QStringLiteral("<h3>Эталоны</h3>");
    if (instruments.isEmpty())
        return html + QStringLiteral("<p>Эталоны не указаны.</p>");
    QList<QStringList> rows{{QStringLiteral("№"), QStringLiteral("Наименование"),
                             QStringLiteral("Заводской №"), QStringLiteral("Действителен до")}};
    for (int i = 0; i < instruments.size(); ++i)
        rows << QStringList{QString::number(i + 1), instruments[i].name,
                            instruments[i].serialNumber.isEmpty() ? None
                                                                  : instruments[i].serialNumber,
                            dateText(instruments[i].dueDate)};
    return html + ReportPdf::grid(rows, {{5, false}, {59, true}, {18, true}, {18, true}});
}

QString finishedText(const QDateTime &finished)
{
    return finished.isValid() ? QStringLiteral("Завершена %1 · ").arg(ReportPdf::timeText(finished))
                              : QString();
}

QString correctionSection(const std::optional<CorrectionResult> &result)
{
    QString html = QStringLiteral("<h3>Калибровка входа (точки коррекции)</h3>");
    if (!result || result->points.isEmpty())
        return html + QStringLiteral("<p>Не проводилась.</p>");
    const CorrectionResult &r = *result;
    html += QStringLiteral("<p>%1допуск ±%2 °C. Значения в °C; погрешность — показание "
                           "прибора минус показание эталона.</p>")
                .arg(escaped(finishedText(r.finished)), CsvFormat::valueText(r.tolerance));
    QList<QStringList> rows{
        {QStringLiteral("№"), QStringLiteral("Эталон"), QStringLiteral("Измерено без коррекции"),
         QStringLiteral("Как найдено"), QStringLiteral("Погрешность как найдено"),
         QStringLiteral("Как оставлено"), QStringLiteral("Погрешность как оставлено")}};
    bool marked = false;
    const auto error = [&](const std::optional<double> &e) {
        if (!e)
            return None;
        const bool out = !CorrectionResult::within(e, r.tolerance);
        marked = marked || out;
        return CsvFormat::signedValueText(*e) + (out ? OutMark : QString());
    };
    for (int i = 0; i < r.points.size(); ++i) {
        const CorrectionPointResult &p = r.points[i];
        rows << QStringList{QString::number(i + 1),
                            CsvFormat::valueText(p.reference),
                            CsvFormat::valueText(p.measured),
                            value(p.asFound),
                            error(p.asFoundError()),
                            value(p.asLeft),
                            error(p.asLeftError())};
    }
    html += ReportPdf::grid(
        rows,
        {{5, false}, {14, false}, {15, false}, {14, false}, {17, false}, {15, false}, {20, false}});
    if (marked)
        html += QStringLiteral("<p>* вне допуска</p>");
    bool allFound = true;
    bool allLeft = true;
    for (const CorrectionPointResult &p : r.points) {
        allFound = allFound && p.asFound;
        allLeft = allLeft && p.asLeft;
    }
    const QString found = allFound ? within(r.asFoundPassed())
                                   : QStringLiteral("не определено: не все точки измерены");
    bool leftWithin = allLeft;
    for (const CorrectionPointResult &p : r.points)
        leftWithin = leftWithin && CorrectionResult::within(p.asLeftError(), r.tolerance);
    const QString left =
        allLeft ? within(leftWithin) : QStringLiteral("не определено: не все точки измерены");
    const QString written =
        r.verified ? QStringLiteral("точки коррекции записаны в прибор и проверены чтением")
                   : QStringLiteral("запись точек коррекции в прибор не подтверждена чтением");
    return html + QStringLiteral("<p>Как найдено: <b>%1</b>; как оставлено: <b>%2</b>; %3.</p>")
                      .arg(escaped(found), escaped(left), escaped(written));
}

QString loopSection(const std::optional<LoopTestResult> &result)
{
    QString html = QStringLiteral("<h3>Проверка токовой петли 4–20 мА</h3>");
    if (!result || result->points.isEmpty())
        return html + QStringLiteral("<p>Не проводилась.</p>");
    const LoopTestResult &r = *result;
    html += QStringLiteral("<p>%1допуск ±%2 % диапазона 16 мА. Отклонение — показание "
                           "миллиамперметра минус заданный ток, в % диапазона.</p>")
                .arg(escaped(finishedText(r.finished)), CsvFormat::valueText(r.tolerancePercent));
    QList<QStringList> rows{{QStringLiteral("№"), QStringLiteral("Задано, мА"),
                             QStringLiteral("Миллиамперметр, мА"),
                             QStringLiteral("Отклонение, % диапазона")}};
    bool marked = false;
    for (int i = 0; i < r.points.size(); ++i) {
        const LoopPointResult &p = r.points[i];
        const std::optional<double> deviation = p.deviationPercent();
        const bool out = deviation && std::fabs(*deviation) > r.tolerancePercent + 1e-9;
        marked = marked || out;
        rows << QStringList{QString::number(i + 1), CsvFormat::valueText(p.setMa), value(p.meterMa),
                            deviation ? CsvFormat::signedValueText(*deviation) +
                                            (out ? OutMark : QString())
                                      : None};
    }
    html += ReportPdf::grid(rows, {{5, false}, {31, false}, {32, false}, {32, false}});
    if (marked)
        html += QStringLiteral("<p>* вне допуска</p>");
    bool measured = true;
    for (const LoopPointResult &p : r.points)
        measured = measured && p.meterMa;
    const QString verdict =
        measured ? within(r.passed()) : QStringLiteral("не определено: не все шаги измерены");
    const QString output =
        r.released ? QStringLiteral("выход возвращён к измерению")
                   : QStringLiteral("выход мог остаться заданным: выключите и включите питание "
                                    "прибора");
    return html + QStringLiteral("<p>Итог: <b>%1</b>; %2.</p>")
                      .arg(escaped(verdict),
                           r.released ? escaped(output)
                                      : QStringLiteral("<b>%1</b>").arg(escaped(output)));
}

QString signatures(const QString &operatorName)
{
    const QString line = QStringLiteral("______________________");
    const auto caption = [](const QString &text) {
        return QStringLiteral("<td align='center'><small>%1</small></td>").arg(text);
    };
    const QString captions = QStringLiteral("<tr><td></td>") +
                             caption(QStringLiteral("фамилия, инициалы")) +
                             caption(QStringLiteral("подпись")) + caption(QStringLiteral("дата")) +
                             QStringLiteral("</tr>");
    const auto row = [&](const QString &who, const QString &name) {
        return QStringLiteral("<tr><td><b>%1</b></td><td align='center'>%2</td>"
                              "<td align='center'>%3</td><td align='center'>%3</td></tr>")
                   .arg(who, name, line) +
               captions;
    };
    return QStringLiteral("<table width='100%' cellspacing='0' cellpadding='2' "
                          "style='margin-top: 18px'>"
                          "<tr><td width='16%'></td><td width='36%'></td><td width='24%'></td>"
                          "<td width='24%'></td></tr>") +
           row(QStringLiteral("Выполнил"),
               operatorName.trimmed().isEmpty()
                   ? line
                   : QStringLiteral("<u>%1</u>").arg(escaped(operatorName.trimmed()))) +
           QStringLiteral("<tr><td colspan='4'>&nbsp;</td></tr>") +
           row(QStringLiteral("Проверил"), line) + QStringLiteral("</table>");
}

QString missing(const QStringList &what)
{
    return what.join(QStringLiteral(" и "));
}

} // namespace

namespace Certificate {

QString programText()
{
    const QString version = QStringLiteral(VELTRA_VERSION);
    return version.isEmpty() ? QStringLiteral("Конфигуратор Veltra")
                             : QStringLiteral("Конфигуратор Veltra %1").arg(version);
}

Outcome correctionOutcome(const CertificateData &data)
{
    if (!data.correction || data.correction->points.isEmpty())
        return Outcome::NotDone;
    for (const CorrectionPointResult &p : data.correction->points)
        if (!p.asLeft)
            return Outcome::Incomplete;
    return data.correction->asLeftPassed() ? Outcome::Passed : Outcome::Failed;
}

Outcome loopOutcome(const CertificateData &data)
{
    if (!data.loop || data.loop->points.isEmpty())
        return Outcome::NotDone;
    for (const LoopPointResult &p : data.loop->points)
        if (!p.meterMa)
            return Outcome::Incomplete;
    return data.loop->passed() ? Outcome::Passed : Outcome::Failed;
}

QString verdict(const CertificateData &data)
{
    const Outcome correction = correctionOutcome(data);
    const Outcome loop = loopOutcome(data);
    if (correction == Outcome::Passed && loop == Outcome::Passed)
        return QStringLiteral("Годен");
    QStringList failed;
    if (correction == Outcome::Failed) {
        bool left = true;
        for (const CorrectionPointResult &p : data.correction->points)
            left = left && CorrectionResult::within(p.asLeftError(), data.correction->tolerance);
        failed << (left ? QStringLiteral("точки коррекции не подтверждены чтением из прибора")
                        : QStringLiteral("погрешность после калибровки вне допуска"));
    }
    if (loop == Outcome::Failed)
        failed << QStringLiteral("отклонение выходного тока вне допуска");
    if (!failed.isEmpty())
        return QStringLiteral("Не годен: ") + failed.join(QStringLiteral("; "));
    QStringList notDone;
    QStringList incomplete;
    const auto sort = [&](Outcome outcome, const QString &name) {
        if (outcome == Outcome::NotDone)
            notDone << name;
        else if (outcome == Outcome::Incomplete)
            incomplete << name;
    };
    sort(correction, QStringLiteral("калибровка входа"));
    sort(loop, QStringLiteral("проверка токовой петли"));
    QStringList why;
    if (!notDone.isEmpty())
        why << (notDone.size() > 1 ? QStringLiteral("не проведены ")
                                   : QStringLiteral("не проведена ")) +
                   missing(notDone);
    if (!incomplete.isEmpty())
        why << (incomplete.size() > 1 ? QStringLiteral("не завершены ")
                                      : QStringLiteral("не завершена ")) +
                   missing(incomplete);
    return QStringLiteral("Не определён: ") + why.join(QStringLiteral("; "));
}

Refusal refusal(const CertificateData &data, const QDate &today)
{
    const QString notMade = QStringLiteral(" Протокол не создан.");
    if (data.operatorName.trimmed().isEmpty())
        return {QStringLiteral("Не указано, кто выполнил калибровку.") + notMade,
                Refusal::Field::Operator};
    if (data.instruments.isEmpty())
        return {QStringLiteral("Не указан ни один эталон.") + notMade, Refusal::Field::Instruments};
    for (int i = 0; i < data.instruments.size(); ++i) {
        const ReferenceInstrument &instrument = data.instruments[i];
        const QString named =
            QStringLiteral("эталона «%1»").arg(instrument.name.trimmed()) +
            (instrument.serialNumber.trimmed().isEmpty()
                 ? QString()
                 : QStringLiteral(" № %1").arg(instrument.serialNumber.trimmed()));
        if (instrument.name.trimmed().isEmpty())
            return {QStringLiteral("У эталона в строке %1 нет наименования.").arg(i + 1) + notMade,
                    Refusal::Field::Instruments, i};
        if (!instrument.dueDate.isValid())
            return {QStringLiteral("Для %1 не указан срок поверки (дд.мм.гггг).").arg(named) +
                        notMade,
                    Refusal::Field::Instruments, i};
        if (instrument.dueDate < today)
            return {QStringLiteral("Срок поверки %1 истёк %2.")
                            .arg(named, dateText(instrument.dueDate)) +
                        notMade,
                    Refusal::Field::Instruments, i};
    }
    if (!data.ambient)
        return {QStringLiteral("Не указана температура окружающего воздуха.") + notMade,
                Refusal::Field::Ambient};
    return {};
}

QString fileName(const QString &number, int copy)
{
    return QStringLiteral("Протокол калибровки ") + number + UserFile::copySuffix(copy) +
           QStringLiteral(".pdf");
}

QString html(const CertificateData &data)
{
    const QString product =
        data.productLine.trimmed().isEmpty() ? None : escaped(data.productLine.trimmed());
    const QString ambient = data.ambient
                                ? QString::number(*data.ambient, 'f', 1) + QStringLiteral(" °C")
                                : QStringLiteral("не указана");
    const QString verdictText = verdict(data);
    const bool fit =
        correctionOutcome(data) == Outcome::Passed && loopOutcome(data) == Outcome::Passed;
    const bool unfit = verdictText.startsWith(QStringLiteral("Не годен"));
    const QString shownVerdict = fit || unfit
                                     ? verdictHtml(verdictText, fit)
                                     : QStringLiteral("<b>%1</b>").arg(escaped(verdictText));
    return QStringLiteral("<h2>Протокол калибровки № %1</h2><p>%2</p>")
               .arg(escaped(data.number), product) +
           table({{QStringLiteral("Дата"), dateText(data.made.date())},
                  {QStringLiteral("Программа"),
                   escaped(data.program.isEmpty() ? programText() : data.program)},
                  {QStringLiteral("Калибровку выполнил"),
                   data.operatorName.trimmed().isEmpty() ? None
                                                         : escaped(data.operatorName.trimmed())},
                  {QStringLiteral("Температура окружающего воздуха"), escaped(ambient)}}) +
           deviceSection(data.device) + instrumentsSection(data.instruments) +
           correctionSection(data.correction) + loopSection(data.loop) +
           QStringLiteral("<p style='font-size:large; margin-top: 14px'><b>Заключение:</b> %1</p>")
               .arg(shownVerdict) +
           signatures(data.operatorName);
}

QString write(const CertificateData &data, const QString &directory, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (data.number.trimmed().isEmpty()) {
        *error = QStringLiteral("Протокол без номера не создаётся");
        return {};
    }
    const QDateTime made = data.made.isValid() ? data.made : QDateTime::currentDateTime();
    const QString text = html(data);
    const auto paint = [&](QPdfWriter &writer) {
        // The number on every page ties a page of signatures to its certificate.
        return ReportPdf::paintPages(writer, text, made, {},
                                     QStringLiteral("протокол № %1 создан").arg(data.number));
    };
    return ReportPdf::write(
        directory, [&data](int copy) { return fileName(data.number, copy); },
        QStringLiteral("Протокол калибровки № %1").arg(data.number), QPageLayout::Portrait, paint,
        error);
}

} // namespace Certificate

QString writeCertificate(CertificateData data, const QString &directory,
                         CertificateNumbers &numbers, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!data.made.isValid())
        data.made = QDateTime::currentDateTime();
    const Certificate::Refusal refused = Certificate::refusal(data, data.made.date());
    if (refused.refused()) {
        *error = refused.text;
        return {};
    }
    QString why;
    const std::optional<QString> number = numbers.next(data.made.date(), &why);
    if (!number) {
        *error = QStringLiteral("Номер протокола не выдан. Протокол не создан.\n") + why;
        return {};
    }
    data.number = *number;
    const QString path = Certificate::write(data, directory, &why);
    if (path.isEmpty())
        *error = QStringLiteral("Протокол № %1 не записан; этот номер пропущен, следующий "
                                "протокол получит следующий.\n%2")
                     .arg(*number, why);
    return path;
}
