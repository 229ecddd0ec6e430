#pragma once
// The stored design of the main window's menu bar: its bands and numbered
// tools, the right that governs each tool, and the window each tool opens.
#include <QList>
#include <QString>

namespace tools {

struct ToolDef {
    int number = 0;
    QString name;      // design name, empty when the design gives none
    QString caption;
    bool enabled = true;   // state stored in the design
};

struct BandDef {
    QString name;
    QString caption;
    int headTool = 0;      // menu-bar tool the band drops down from (0: the menu-bar band)
    QList<int> tools;      // in menu order
};

// Every tool of the bar's tool collection (including 39, which is on no band).
const QList<ToolDef>& allTools();
const ToolDef* findTool(int number);

// The menu-bar band first, then the five popup bands.
const QList<BandDef>& bands();

// Right index (0..24, column r0..r24 of table user) -> tool number.
int toolOfRight(int right);
// Tool number -> right index, -1 when no right governs the tool.
int rightOfTool(int number);
inline constexpr int kRightCount = 25;

// What a tool does when clicked.
enum class Action { None, OpenWindow, Help, About, Exit };
struct Dispatch {
    Action action = Action::None;
    QString windowClass;   // for OpenWindow and About
};
Dispatch dispatchOf(int number);

// Tool numbers that open a function window, in number order.
QList<int> windowTools();

} // namespace tools
