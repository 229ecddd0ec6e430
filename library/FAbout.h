#pragma once
// The library's about box.
#include <QDialog>

class QLabel;
class QPushButton;

namespace vantrel {

class F_About : public QDialog {
    Q_OBJECT
public:
    explicit F_About(QWidget* parent = nullptr);

    QLabel* Lbl_Ver = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* Cmd_OK = nullptr;

    void Form_Load();
    void Cmd_OK_Click();
};

} // namespace vantrel
