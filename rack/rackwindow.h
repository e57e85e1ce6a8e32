#pragma once

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class RackLine;
class RackLinePanel;

namespace Ui {
class RackWindow;
}

// The burn-in rack: up to MaxLines transmitters, each on a port of its own
// with its own session, run and file. The window holds the lines and their
// panels and does to all of them what its buttons say; it never opens a box
// for what a line tells, so one faulty line stops none of the others.
class RackWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 16;

    explicit RackWindow(QWidget *parent = nullptr);
    ~RackWindow() override;

    // The sensing-element kinds as the user sees them, for the runs' records.
    void setKindNames(const QStringList &names);
    // Names to offer besides the ports the system lists.
    void addPortNames(const QStringList &names);
    QList<RackLine *> lines() const;
    int runningCount() const;
    // Asks once whether to end the runs that are on, and ends them, rows kept,
    // on Yes. False when the user keeps them.
    bool mayEndRuns();
    // Every run ends, its rows kept, and every line lets go of its port.
    void endAll();

public slots:
    // False, told on the window, for a port already on the rack, a line too
    // many, or a port another window of ours holds.
    bool addLine(const QString &port);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_rackAdd_clicked();
    void on_rackConnectAll_clicked();
    void on_rackStartAll_clicked();
    void on_rackStopAll_clicked();
    void on_rackReports_clicked();

private:
    void refreshPortList();
    void removeLine(RackLinePanel *panel);
    void tell(const QString &text);

    Ui::RackWindow *ui;
    QList<RackLinePanel *> panels;
    QStringList kindNames;
    QStringList extraPorts;
    QTimer ageTimer;
};
