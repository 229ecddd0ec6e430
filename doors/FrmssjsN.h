#pragma once
// The live lock-state monitor "实时监控门锁状态": one row per lock in use,
// one controller polled per timer tick in turn, the holder of the last card
// read on the row of the reader's lock, and a digital clock.
#include "ui/Form.h"

#include <QIcon>
#include <QList>
#include <cstdint>

class QLCDNumber;
class QListView;
class QMenuBar;
class QStackedWidget;
class QStandardItemModel;
class QTimer;
class QToolBar;
class QTreeView;

class FrmssjsN : public ui::Form {
    Q_OBJECT
public:
    explicit FrmssjsN(QWidget* parent = nullptr);

    enum View { LargeIcons, SmallIcons, List, Details };
    enum Column { Channel, State, Card, Name, Department, Position, InOut, Time, ColumnCount };
    // Icon numbers of a row: 1 closed, 2 open, 3 no valid answer.
    static constexpr int kIconRole = 0x0101;

    QStackedWidget* doorlist = nullptr;   // the rows, in report or icon/list form
    QStandardItemModel* rowsModel = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QMenuBar* menuBar = nullptr;
    QLCDNumber* DgTime2 = nullptr;
    QTimer* Timer1 = nullptr;

    // One controller and its own lock rows (-1: that lock is not in use).
    struct Controller {
        int16_t address = 0;
        int row1 = -1;
        int row2 = -1;
    };
    QList<Controller> controllers;
    int currentIndex = 0;
    int busy = 0;

    View view() const { return view_; }
    QString cell(int row, Column c) const;
    int icon(int row) const;
    int rowCount() const;

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void Timer1_Timer();
    void Toolbar1_ButtonClick(const QString& key);
    void ico_Click() { setView(LargeIcons); }
    void smico_Click() { setView(SmallIcons); }
    void details_Click() { setView(Details); }
    void list_Click() { setView(List); }
    void closew_Click();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fitTimeColumn();
    void setView(View v);
    void showClock();
    int addRow(const QString& text);
    void setRow(int row, int iconNumber, const QString& state, const QString& time);
    QTreeView* report_ = nullptr;
    QListView* iconView_ = nullptr;
    QIcon iconPics_[3];
    QTimer* clock_ = nullptr;
    View view_ = Details;
};
