#include "FAbout.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {
// The library's version information carries no comments text.
const QString kComments;
} // namespace

F_About::F_About(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_About"));
    setWindowTitle(QStringLiteral("About..."));
    Label10 = new QLabel(QStringLiteral("Vantrel Door 8096 Controller Communication Library"), this);
    Label10->setObjectName(QStringLiteral("Label10"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(10);
    Label10->setFont(arial);
    Lbl_Ver = new QLabel(this);
    Lbl_Ver->setObjectName(QStringLiteral("Lbl_Ver"));
    Cmd_OK = new QPushButton(QStringLiteral("OK"), this);
    Cmd_OK->setObjectName(QStringLiteral("Cmd_OK"));
    Cmd_OK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label10);
    layout->addWidget(Lbl_Ver);
    layout->addWidget(Cmd_OK, 0, Qt::AlignRight);

    connect(Cmd_OK, &QPushButton::clicked, this, &F_About::Cmd_OK_Click);
    Form_Load();
}

void F_About::Form_Load() { Lbl_Ver->setText(kComments + QStringLiteral("Ver 8096(V10)")); }

void F_About::Cmd_OK_Click() { accept(); }

} // namespace vantrel
