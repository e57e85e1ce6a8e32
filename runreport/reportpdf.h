#pragma once

#include <QDateTime>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;
class QPdfWriter;
class QRectF;
class QTextDocument;

// What the PDF reports share: their tables, their pages with a numbered
// footer, and writing a file that replaces none.
namespace ReportPdf {

QString escaped(const QString &text);
// The time as the log writes it, "—" for none.
QString timeText(const QDateTime &time);
// With its sign, unless it shows as zero: "+0.312 %".
QString percent(double value);

struct GridColumn
{
    int width = 0; // % of the table's, 0: as its texts need
    bool left = false;
};
// A table whose first row and first column are titles, each cell's text
// escaped; all columns but the first right-aligned, unless `columns` says
// otherwise.
QString grid(const QList<QStringList> &rows, const QList<GridColumn> &columns = {});

// A document laid out for the writer's pages, `height` device pixels tall.
void setUp(QTextDocument &document, QPdfWriter &writer, const QString &html, double height);

// Draws `html` on as many pages as it takes, each numbered in its footer with
// the time the document was made ("отчёт создан …" unless `madeWords` says
// otherwise); `lastPage`, when given, draws one more page into the rectangle
// above its footer. False when a page cannot be started.
bool paintPages(QPdfWriter &writer, const QString &html, const QDateTime &made,
                const std::function<void(QPainter &, const QRectF &)> &lastPage = {},
                const QString &madeWords = QStringLiteral("отчёт создан"));

// Writes a report into `directory`, made if missing, under the first of
// fileName(1), fileName(2)… that no file has, `paint` drawing its pages.
// Returns the file's path; on failure nothing is left behind, the path is
// empty and `error` says why.
QString write(const QString &directory, const std::function<QString(int copy)> &fileName,
              const QString &title, QPageLayout::Orientation orientation,
              const std::function<bool(QPdfWriter &)> &paint, QString *error);

} // namespace ReportPdf
