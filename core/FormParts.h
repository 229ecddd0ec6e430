#pragma once
// Small builders for the controls many windows place the same way.
#include <QAbstractItemView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

namespace formparts {

// A list where each click adds or removes an item from the selection.
inline QListWidget* multiSelectList(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setSelectionMode(QAbstractItemView::MultiSelection);
    l->setGeometry(geometry);
    return l;
}

inline QPushButton* button(QWidget* parent, const QString& text, const char* name, const QRect& geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    return b;
}

// A status bar along the window's bottom whose one sunken panel carries
// every message; returns the panel.
inline QLabel* statusBarWithPanel(QWidget* parent, QStatusBar*& bar, const char* name, const QRect& geometry)
{
    bar = new QStatusBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setSizeGripEnabled(false);
    bar->setGeometry(geometry);
    auto* panel = new QLabel(bar);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    bar->addWidget(panel, 1);
    return panel;
}

} // namespace formparts
