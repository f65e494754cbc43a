#include "app/selectivesync/CheckboxBrowserCell.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextOption>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/selectivesync/ObjCDirectoryNode.h"

namespace {

constexpr qreal titleKern = 0.27;

QFont textFont(const QWidget* view) {
    QFont font = view ? view->font() : QApplication::font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, titleKern);
    return font;
}

// The folder image at the row's icon size, rendered once for the life of the process.
const QPixmap& folderImage(int side) {
    static const QPixmap image = [side] {
        const QIcon icon = QFileIconProvider().icon(QFileIconProvider::Folder);
        QPixmap pixmap = icon.pixmap(QSize(side, side));
        if (pixmap.isNull()) pixmap = QApplication::style()->standardIcon(QStyle::SP_DirIcon).pixmap(side, side);
        return pixmap;
    }();
    return image;
}

// Middle truncation, so that both the start and the end of a long name stay readable.
void drawText(QPainter& painter, const QString& text, const QRectF& frame, const QColor& color, const QFont& font) {
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideMiddle, frame.width());
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::NoWrap);
    painter.drawText(frame, shown, option);
    painter.restore();
}

}  // namespace

CheckboxBrowserCell::Geometry CheckboxBrowserCell::geometry(const QRectF& frame, qreal textHeight, bool modern) {
    const qreal checkboxSide = modern ? 18 : 14;
    const qreal iconSide = modern ? 18 : 16;
    Geometry g;
    g.checkbox = QRectF(modern ? frame.x() : frame.x() + 6, frame.y() + (frame.height() - checkboxSide) * 0.5,
                        checkboxSide, checkboxSide);
    g.icon = QRectF(g.checkbox.right() + (modern ? 3 : 6), frame.y() + (frame.height() - iconSide) * 0.5, iconSide,
                    iconSide);
    const qreal titleLeft = g.icon.right() + (modern ? 3 : 5);
    // 8 points stay free at the trailing edge, counted from the cell's own left.
    g.title = QRectF(titleLeft, frame.y() + (frame.height() - textHeight) * 0.5,
                     std::max<qreal>(0, frame.width() - (8 + titleLeft - frame.x())), textHeight);
    return g;
}

QRectF CheckboxBrowserCell::loadingLabelFrame(const QRectF& frame, qreal textHeight) {
    return QRectF(frame.x() + 8, frame.y() + (frame.height() - textHeight) * 0.5, std::max<qreal>(0, frame.width() - 16),
                  textHeight);
}

CheckboxBrowserCell::CheckboxBrowserCell(QObject* parent) : ColumnBrowserCell(parent) { setAllowsMixedState(true); }

CheckboxBrowserCell::~CheckboxBrowserCell() = default;

std::unique_ptr<ColumnBrowserCell> CheckboxBrowserCell::copy() const {
    auto cell = std::make_unique<CheckboxBrowserCell>();
    copyStateTo(*cell);
    return cell;
}

std::shared_ptr<ObjCDirectoryNode> CheckboxBrowserCell::directoryNode() const {
    if (const auto* node = std::any_cast<std::shared_ptr<ObjCDirectoryNode>>(&objectValue())) return *node;
    return nullptr;
}

void CheckboxBrowserCell::setObjectValue(std::any value) {
    ColumnBrowserCell::setObjectValue(std::move(value));
    if (const auto node = directoryNode()) setState(node->state());
}

QString CheckboxBrowserCell::accessibleText() const {
    if (const auto node = directoryNode()) return node->title();
    return LocalizationController().ssLabelLoading();
}

void CheckboxBrowserCell::drawInterior(QPainter& painter, const QRectF& frame, QWidget* view) const {
    const QPalette palette = view ? view->palette() : QApplication::palette();
    const QFont font = textFont(view);
    const qreal textHeight = QFontMetricsF(font).height();
    const auto node = directoryNode();
    if (!node) {
        drawText(painter, LocalizationController().ssLabelLoading(), loadingLabelFrame(frame, textHeight),
                 palette.color(QPalette::Text), font);
        return;
    }
    const int shownState = node->state();
    const Geometry g = geometry(frame, textHeight);

    QStyleOptionButton box;
    box.rect = g.checkbox.toRect();
    box.palette = palette;
    box.state = QStyle::State_Enabled | (shownState > 0   ? QStyle::State_On
                                               : shownState < 0 ? QStyle::State_NoChange
                                                                : QStyle::State_Off);
    if (isHighlighted()) box.state |= QStyle::State_Selected;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, &painter, view);

    bool drewIcon = false;
    if (node->isPackage()) {
        // A package shows the icon of its local copy, when that copy's place can be named.
        if (const auto local = ObjCDirectoryNode::localPath(node->path())) {
            const QIcon icon = QFileIconProvider().icon(QFileInfo(*local));
            if (!icon.isNull()) {
                icon.paint(&painter, g.icon.toRect());
                drewIcon = true;
            }
        }
    }
    if (!drewIcon) painter.drawPixmap(g.icon.toRect(), folderImage(int(g.icon.width())));

    drawText(painter, node->title(), g.title,
             palette.color(isHighlighted() ? QPalette::HighlightedText : QPalette::Text), font);
}

int CheckboxBrowserCell::hitTest(const QPointF& point, const QRectF& frame, QWidget* view) {
    int result = ColumnBrowserCell::hitTest(point, frame, view);
    if (!directoryNode()) return result;
    const qreal textHeight = QFontMetricsF(textFont(view)).height();
    if (geometry(frame, textHeight).checkbox.contains(point)) {
        hitTestCellFrame_ = frame;
        result |= TrackableArea;
    }
    return result;
}

bool CheckboxBrowserCell::startTracking(const QPointF&, QWidget*) { return true; }

bool CheckboxBrowserCell::continueTracking(const QPointF&, const QPointF&, QWidget*) { return true; }

void CheckboxBrowserCell::stopTracking(const QPointF&, const QPointF& stop, QWidget* view, bool mouseIsUp) {
    const std::optional<QRectF> frame = hitTestCellFrame_;
    hitTestCellFrame_.reset();
    if (!mouseIsUp || !frame) return;
    const qreal textHeight = QFontMetricsF(textFont(view)).height();
    if (geometry(*frame, textHeight).checkbox.contains(stop))
        ResponderChain::sendAction("didClickCheckbox", this, view);
}

QRectF CheckboxBrowserCell::expansionFrame(const QRectF&, QWidget*) const { return {}; }
