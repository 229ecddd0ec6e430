#include "Widths.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QTreeView>

#include <algorithm>

namespace ui {

namespace {

bool inLayout(const QLayout* layout, const QWidget* w)
{
    if (!layout)
        return false;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w || inLayout(item->layout(), w))
            return true;
    }
    return false;
}

// Grows a placed widget to width; a window of fixed size keeps a fixed size.
void setWidth(QWidget* w, int width)
{
    if (w->isWindow() && w->minimumWidth() == w->maximumWidth())
        w->setFixedWidth(width);
    else
        w->resize(width, w->height());
}

// What a control shows of itself.
QString ownText(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    return QString();
}

} // namespace

QSize cellSize(const QAbstractItemView* view, const QString& text, bool withIcon)
{
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    opt.font = view->font();
    opt.fontMetrics = view->fontMetrics();
    opt.text = text;
    opt.features = QStyleOptionViewItem::HasDisplay;
    opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (withIcon) {
        const int small = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
        opt.features |= QStyleOptionViewItem::HasDecoration;
        opt.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(small, small);
    }
    QSize size = view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), view);
    if (auto* table = qobject_cast<const QTableView*>(view); table && table->showGrid())
        size += QSize(1, 1);
    return size;
}

int cellWidth(const QAbstractItemView* view, const QString& text, bool withIcon)
{
    return cellSize(view, text, withIcon).width();
}

int widthToShow(const QWidget* w, const QString& text)
{
    const QFontMetrics fm = w->fontMetrics();
    const QStyle* st = w->style();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        // The box's own size hint holds 17 "x": the rest is frame and margins.
        return e->sizeHint().width() - 17 * fm.horizontalAdvance(QLatin1Char('x')) + fm.horizontalAdvance(text) + 1;
    }
    if (auto* c = qobject_cast<const QComboBox*>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = c->isEditable();
        opt.frame = c->hasFrame();
        opt.currentText = text;
        return st->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(fm.horizontalAdvance(text), fm.height()), c).width();
    }
    if (auto* s = qobject_cast<const QAbstractSpinBox*>(w))
        return std::max(s->sizeHint().width(), s->minimumSizeHint().width());
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->sizeHint().width() - fm.horizontalAdvance(l->text()) + fm.horizontalAdvance(text);
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        const int t = fm.size(Qt::TextShowMnemonic, text).width();
        if (qobject_cast<const QCheckBox*>(b))
            return st->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b)
                 + st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b) + t;
        if (qobject_cast<const QRadioButton*>(b))
            return st->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b)
                 + st->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b) + t;
        return t + st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b)
             + 2 * st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    }
    if (auto* v = qobject_cast<const QAbstractItemView*>(w))
        return cellWidth(v, text, false) + 2 * v->frameWidth() + st->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, v);
    return w->sizeHint().width();
}

namespace {
int needOf(const QWidget* w, const QStringList& samples)
{
    int need = widthToShow(w, ownText(w));
    for (const QString& s : samples)
        need = std::max(need, widthToShow(w, s));
    return need;
}

// Widens w to need (see widenToShow).
int widenTo(QWidget* w, int need)
{
    QWidget* parent = w->parentWidget();
    if (parent && inLayout(parent->layout(), w)) {
        w->setMinimumWidth(std::max(w->minimumWidth(), need));
        return std::max(0, need - w->width());
    }
    const int grow = need - w->width();
    if (grow <= 0)
        return 0;
    QRect before = w->geometry();
    setWidth(w, need);
    for (QWidget* child = w; !child->isWindow() && child->parentWidget(); child = child->parentWidget()) {
        QWidget* p = child->parentWidget();
        const int oldWidth = p->width();
        if (child->geometry().right() < oldWidth)
            break;   // still inside what holds it
        const int margin = std::max(0, oldWidth - (before.right() + 1));
        before = p->geometry();
        setWidth(p, child->geometry().right() + 1 + margin);
        // What spanned the parent to its right edge (a status bar, a frame
        // across the window) keeps spanning it.
        for (QWidget* sibling : p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (sibling != child && !sibling->isWindow() && sibling->geometry().right() + 1 >= oldWidth)
                sibling->resize(sibling->width() + p->width() - oldWidth, sibling->height());
    }
    return grow;
}
} // namespace

int widenToShow(QWidget* w, const QStringList& samples) { return widenTo(w, needOf(w, samples)); }

int widenToShow(const QList<QWidget*>& column, const QStringList& samples)
{
    int need = 0;
    for (const QWidget* w : column)
        need = std::max({need, needOf(w, samples), w->width()});
    for (QWidget* w : column)
        widenTo(w, need);
    return need;
}

int fitColumn(QAbstractItemView* view, int column, int twips, const QStringList& samples, bool withIcon)
{
    auto* table = qobject_cast<QTableView*>(view);
    auto* tree = qobject_cast<QTreeView*>(view);
    QHeaderView* header = table ? table->horizontalHeader() : tree ? tree->header() : nullptr;
    int need = twips > 0 ? twipsToPixels(twips) : header ? header->defaultSectionSize() : 0;
    if (header && !header->isHidden())
        need = std::max(need, header->sectionSizeHint(column));
    int indent = 0;
    if (tree && column == 0 && tree->rootIsDecorated())
        indent = tree->indentation();
    for (const QString& s : samples)
        need = std::max(need, cellWidth(view, s, withIcon) + indent);
    if (header)
        header->resizeSection(column, need);
    return need;
}

void fitPopup(QComboBox* box)
{
    int need = 0;
    for (int i = 0; i < box->count(); ++i)
        need = std::max(need, widthToShow(box->view(), box->itemText(i)));
    if (const QScreen* s = box->screen() ? box->screen() : QGuiApplication::primaryScreen())
        need = std::min(need, s->availableGeometry().width());
    box->view()->setMinimumWidth(need);
}

namespace {
class HeightForWidth : public QObject {
public:
    explicit HeightForWidth(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
            QMetaObject::invokeMethod(this, &HeightForWidth::fit, Qt::QueuedConnection);
        return false;
    }

private:
    void fit()
    {
        QLayout* lay = window_->layout();
        if (!lay || !lay->hasHeightForWidth())
            return;
        const int need = lay->totalMinimumHeightForWidth(window_->width());
        if (need != window_->minimumHeight())
            window_->setMinimumHeight(need);
    }
    QWidget* window_;
};
} // namespace

void keepHeightForWidth(QWidget* window)
{
    window->installEventFilter(new HeightForWidth(window));
}

} // namespace ui
