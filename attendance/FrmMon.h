#pragma once
// Monthly summary of one employee: the month as a grid of days with the
// day's punches, late arrivals in blue and early departures in red against
// the working-time rules, and a remarks box that the late, early and absent
// lists are appended to and that can be saved as a rich-text file.
#include "db/Db.h"
#include "ui/Form.h"

#include <QList>
#include <QTime>

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;
class QTextEdit;

class FrmMon : public ui::Form {
    Q_OBJECT
public:
    explicit FrmMon(QWidget* parent = nullptr);
    ~FrmMon() override;

    // Inner widths of the window, narrow and with the remarks shown (the
    // outer 10035 and 12915 twips less the frame, at 15 twips a pixel).
    static constexpr int kNarrowWidth = 661;
    static constexpr int kWideWidth = 853;

    QListWidget* LstDepart = nullptr;
    QListWidget* LstInfo = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label4 = nullptr;
    QDateEdit* DTP = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QLineEdit* Cka = nullptr;
    QLineEdit* Cna = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QTableWidget* MSF = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Clate = nullptr;
    QPushButton* Cle = nullptr;
    QPushButton* Cabs = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Picture2 = nullptr;
    QLabel* Label15 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QTextEdit* RBox = nullptr;
    QStatusBar* stb_Info = nullptr;

    void Form_Load() override;
    void LstDepart_Click();
    void LstInfo_Click();
    void Cka_GotFocus();
    void Cka_Click();
    void Cna_GotFocus();
    void Cna_Click();
    void Command1_Click();
    void Clate_Click();
    void Cle_Click();
    void Cabs_Click();
    void Command3_Click();
    void Command6_Click();
    void Command2_Click();
    void Picture1_Click();
    void Picture2_Click();

    // True while the remarks are shown.
    bool isWide() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void gridHeader();
    QString cellText(int row, int column) const;
    // "\r\n name number \r\n" when an employee was chosen.
    void appendPersonLine();
    void appendRemarks(const QString& text);
    // Characters of the remarks, a line break counting as CR LF.
    int remarksLength() const;
    // "year-month-row号", the time and the list's word.
    QString dayEntry(int row, const QTime& time, const QString& word) const;
    void readCell(int row, int column, QTime& current) const;

    db::Database db_;
    QTime late1_, early1_, late2_, early2_;
    QString year_, month_;
    QString selectedCard_, selectedName_;
    QList<QWidget*> wideOnly_;   // shown only with the remarks
};
