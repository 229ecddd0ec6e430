#pragma once
// Widths that show a text whole at the fonts in use. A window's design gives
// each grid column and box a width; on another desktop's fonts that can be
// too small, so the design width is the least a control gets, and it widens
// to its caption and to the longest text it is expected to hold.
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QAbstractItemView;
class QComboBox;
class QWidget;

namespace ui {

// Pixels for a design size in twips (15 to a pixel).
constexpr int twipsToPixels(int twips) { return twips / 15; }

// The width a control needs to show text whole in its own font, with its
// frame, margins, arrow or indicator: line edits, combo boxes, spin and date
// boxes, labels, buttons, check and radio buttons, and list views (one item,
// room for the vertical scroll bar included).
int widthToShow(const QWidget* w, const QString& text);

// The size of a cell of view that holds text, as the view's delegate draws
// one (withIcon: with the view's icon), and its width.
QSize cellSize(const QAbstractItemView* view, const QString& text, bool withIcon = false);
int cellWidth(const QAbstractItemView* view, const QString& text, bool withIcon = false);

// Widens w, keeping its left edge, until it shows its own text and each
// sample whole; it never narrows. A control in a layout gets that as its
// minimum width; a placed one is resized, and each parent it then runs past
// grows by as much (keeping the margin it had), up to the window. Returns
// how many pixels w grew.
int widenToShow(QWidget* w, const QStringList& samples = {});
// Widens a column of controls alike: each to the widest of their widths and
// of what each needs for its own text and the samples. Returns that width.
int widenToShow(const QList<QWidget*>& column, const QStringList& samples);

// Sets a grid column (table, tree or list view with a header) to its design
// width in twips (0: the grid's default width), widened to show its caption and each sample as the grid
// draws a cell; withIcon: the cells carry the view's icon. Returns the width.
int fitColumn(QAbstractItemView* view, int column, int twips, const QStringList& samples = {}, bool withIcon = false);

// Makes a combo box's drop-down list wide enough for its longest item (at
// most the screen's width), the box itself keeping its width.
void fitPopup(QComboBox* box);

// Keeps a window with a layout at least as tall as the layout needs at the
// window's width. A window's least height counts each wrapped text as one
// line; narrowed, or with a text grown or a bar shown, it would push its last
// rows past its bottom edge.
void keepHeightForWidth(QWidget* window);

} // namespace ui
