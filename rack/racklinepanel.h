#pragma once

#include <QFrame>

class RackLine;

namespace Ui {
class RackLinePanel;
}

// What the rack shows of one line, and its buttons. The line does the work;
// the panel only shows what the line tells and passes the clicks on.
class RackLinePanel : public QFrame
{
    Q_OBJECT
public:
    explicit RackLinePanel(RackLine *line, QWidget *parent = nullptr);
    ~RackLinePanel() override;

    RackLine *line() const { return rackLine; }
    // The age of the last reply changes without the line saying so.
    void showAge();

signals:
    void removeAsked(RackLinePanel *panel);

private slots:
    void on_rackConnect_clicked();
    void on_rackStart_clicked();
    void on_rackStop_clicked();
    void on_rackRemove_clicked();

private:
    void showLine();

    Ui::RackLinePanel *ui;
    RackLine *rackLine;
};
