#include "app/mainwindow.h"

#include "discovery/portsearch.h"
#include "link/linesettings.h"
#include "link/portowners.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <QProgressDialog>

#include <algorithm>

// "Найти прибор": every port of the "Порт" list is tried in turn, every one
// that answers a DeviceInfo read is listed, and the first of them is selected
// there. Nothing is connected: the user still presses "Подключиться".

namespace {

const QString SearchTitle = QStringLiteral("Найти прибор");

QString portLine(const PortSearch::PortResult &result)
{
    return QStringLiteral("%1 — %2").arg(result.port, PortSearch::verdictText(result));
}

// The devices found, then the ports that sent something else; or, with no
// device found, what every port did.
QString resultText(const QList<PortSearch::PortResult> &tried,
                   const QList<PortSearch::PortResult> &answered)
{
    QStringList lines;
    if (answered.isEmpty()) {
        lines << QStringLiteral("Прибор не найден. Опрошены порты:");
        for (const PortSearch::PortResult &result : tried)
            lines << portLine(result);
        return lines.join(QLatin1Char('\n'));
    }
    if (answered.size() == 1) {
        lines << QStringLiteral("Прибор найден: %1, %2")
                     .arg(answered.first().port, PortSearch::verdictText(answered.first()));
    } else {
        lines << QStringLiteral("Найдено приборов: %1. В списке «Порт» выбран первый.")
                     .arg(answered.size());
        for (const PortSearch::PortResult &result : answered)
            lines << portLine(result);
    }
    QStringList others;
    for (const PortSearch::PortResult &result : tried) {
        if (result.verdict == PortSearch::Verdict::NotTheDevice ||
            result.verdict == PortSearch::Verdict::Noise)
            others << portLine(result);
    }
    if (!others.isEmpty())
        lines << QStringLiteral("На других портах:") << others;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void MainWindow::on_findDevice_triggered()
{
    if (session->holdsPort() || !ui->comboPort->isEnabled())
        return;
    QStringList names;
    for (int i = 0; i < ui->comboPort->count(); ++i)
        names << LineSettings::portNameOf(ui->comboPort->itemText(i));
    names.removeAll(QString());
    names.removeDuplicates();
    // A port another line of ours holds (the rack's) is that line's, not the search's.
    names.erase(
        std::remove_if(names.begin(), names.end(),
                       [](const QString &name) { return !PortOwners::holder(name).isEmpty(); }),
        names.end());
    if (names.isEmpty()) {
        showInformation(SearchTitle, QStringLiteral("В списке «Порт» нет ни одного порта."));
        return;
    }

    auto *search = new PortSearch(this);
    auto *progress = new QProgressDialog(this);
    progress->setWindowTitle(SearchTitle);
    progress->setCancelButtonText(QStringLiteral("Отмена"));
    progress->setRange(0, names.size());
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setWindowModality(Qt::WindowModal);
    // A modal progress dialog runs the event loop in setValue(): it is called
    // from the event loop, never from inside the search.
    connect(
        search, &PortSearch::probing, progress,
        [progress, total = names.size()](int index, const QString &name) {
            progress->setLabelText(
                QStringLiteral("Опрос порта %1 (%2 из %3)…").arg(name).arg(index + 1).arg(total));
            progress->setValue(index);
        },
        Qt::QueuedConnection);
    connect(progress, &QProgressDialog::canceled, search, [search, progress] {
        search->cancel();
        search->deleteLater();
        progress->deleteLater();
    });
    connect(search, &PortSearch::finished, this, [this, search, progress] {
        disconnect(progress, nullptr, search, nullptr);
        progress->hide();
        progress->deleteLater();
        search->deleteLater();
        const QList<PortSearch::PortResult> tried = search->results();
        const QList<PortSearch::PortResult> answered = search->answered();
        if (!answered.isEmpty()) {
            for (int i = 0; i < ui->comboPort->count(); ++i) {
                if (LineSettings::portNameOf(ui->comboPort->itemText(i)) == answered.first().port)
                    ui->comboPort->setCurrentIndex(i);
            }
        }
        // The box opens from the event loop, not from inside the search's handlers.
        QMetaObject::invokeMethod(
            this,
            [this, text = resultText(tried, answered)] { showInformation(SearchTitle, text); },
            Qt::QueuedConnection);
    });
    progress->show();
    search->start(names);
}
