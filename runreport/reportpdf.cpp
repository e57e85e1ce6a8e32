#include "runreport/reportpdf.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace {

constexpr int Dpi = 300;
constexpr double PointSize = 9.5;

QString style()
{
    return QStringLiteral("<style>h2 { margin-bottom: 2px; } h3 { margin-top: 14px; "
                          "margin-bottom: 4px; } td { vertical-align: top; }</style>");
}

void drawPage(QPainter &painter, QTextDocument &document, int page)
{
    const QSizeF size = document.pageSize();
    painter.save();
    painter.translate(0, -page * size.height());
    document.drawContents(&painter, QRectF(QPointF(0, page * size.height()), size));
    painter.restore();
}

// Numbers each page in its footer as it ends it.
class Pages
{
public:
    Pages(QPdfWriter &writer, QPainter &painter, int total, const QDateTime &made,
          const QString &madeWords)
        : writer(writer), painter(painter), total(total),
          created(madeWords + QLatin1Char(' ') + CsvFormat::timeText(made))
    {
    }
    static double footerHeight(const QPainter &painter)
    {
        return painter.fontMetrics().height() * 2.0;
    }
    // False when the next page cannot be started.
    bool finish()
    {
        ++number;
        const double height = footerHeight(painter);
        const QRectF footer(0, writer.height() - height, writer.width(), height);
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom,
                         QStringLiteral("Конфигуратор Veltra · %1").arg(created));
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("стр. %1 из %2").arg(number).arg(total));
        return number == total || writer.newPage();
    }

private:
    QPdfWriter &writer;
    QPainter &painter;
    int total;
    QString created;
    int number = 0;
};

} // namespace

namespace ReportPdf {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? CsvFormat::timeText(time) : QStringLiteral("—");
}

QString percent(double value)
{
    const QString text = CsvFormat::valueText(value);
    const bool plus = value > 0 && text != QLatin1String("0.000");
    return (plus ? QStringLiteral("+") : QString()) + text + QStringLiteral(" %");
}

QString grid(const QList<QStringList> &rows, const QList<GridColumn> &columns)
{
    QString html =
        QStringLiteral("<table border='1' cellspacing='0' cellpadding='3' width='100%'>");
    for (int r = 0; r < rows.size(); ++r) {
        // The title row again on every page the table takes.
        html += r == 0 ? QStringLiteral("<thead><tr>") : QStringLiteral("<tr>");
        for (int c = 0; c < rows[r].size(); ++c) {
            const bool title = r == 0 || c == 0;
            const GridColumn column = columns.value(c, GridColumn{0, c == 0});
            const QString width = r == 0 && column.width > 0
                                      ? QStringLiteral(" width='%1%'").arg(column.width)
                                      : QString();
            html += QStringLiteral("<td align='%1'%2>%3%4%5</td>")
                        .arg(column.left ? QStringLiteral("left") : QStringLiteral("right"), width,
                             title ? QStringLiteral("<b>") : QString(), escaped(rows[r][c]),
                             title ? QStringLiteral("</b>") : QString());
        }
        html += r == 0 ? QStringLiteral("</tr></thead>") : QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void setUp(QTextDocument &document, QPdfWriter &writer, const QString &html, double height)
{
    document.documentLayout()->setPaintDevice(&writer);
    QFont font = QApplication::font();
    font.setPointSizeF(PointSize);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    // A narrow column takes its longest word whole rather than break it.
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(option);
    document.setPageSize(QSizeF(writer.width(), height));
    document.setHtml(style() + html);
}

bool paintPages(QPdfWriter &writer, const QString &html, const QDateTime &made,
                const std::function<void(QPainter &, const QRectF &)> &lastPage,
                const QString &madeWords)
{
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    QFont font = QApplication::font();
    font.setPointSizeF(PointSize * 0.85);
    painter.setFont(font);
    const double bodyHeight = writer.height() - Pages::footerHeight(painter) * 1.5;
    QTextDocument text;
    setUp(text, writer, html, bodyHeight);
    const int textPages = text.pageCount();
    Pages pages(writer, painter, textPages + (lastPage ? 1 : 0), made, madeWords);
    for (int page = 0; page < textPages; ++page) {
        drawPage(painter, text, page);
        if (!pages.finish())
            return false;
    }
    if (lastPage) {
        lastPage(painter, QRectF(0, 0, writer.width(), bodyHeight));
        painter.resetTransform();
        pages.finish();
    }
    return painter.end();
}

QString write(const QString &directory, const std::function<QString(int)> &fileName,
              const QString &title, QPageLayout::Orientation orientation,
              const std::function<bool(QPdfWriter &)> &paint, QString *error)
{
    const QDir dir(directory);
    QFile file;
    const auto pathOf = [&](int copy) { return dir.filePath(fileName(copy)); };
    if (!dir.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("Не удалось создать папку отчётов\n%1")
                     .arg(UserFile::shownPath(directory));
        return {};
    }
    if (!UserFile::createNew(file, pathOf, QIODevice::WriteOnly)) {
        *error = QStringLiteral("Не удалось создать файл отчёта\n%1\n%2")
                     .arg(UserFile::shownPath(file.fileName()), file.errorString());
        return {};
    }
    const QString path = file.fileName();
    bool written = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(Dpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation,
                                         QMarginsF(18, 15, 15, 12), QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Конфигуратор Veltra"));
        written = paint(writer);
    }
    if (!written || file.error() != QFileDevice::NoError || !file.flush()) {
        *error = QStringLiteral("Не удалось записать файл отчёта\n%1\n%2")
                     .arg(UserFile::shownPath(path), file.errorString());
        file.close();
        file.remove();
        return {};
    }
    file.close();
    return path;
}

} // namespace ReportPdf
