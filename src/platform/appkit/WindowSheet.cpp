#include "app/shell/backup/WindowSheet.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Rides on the sheet as a child: where it is attached and what runs when it ends.
class SheetAttachment : public QObject {
public:
    SheetAttachment(QWidget* sheet, QWidget* window, std::function<void()> didEnd)
        : QObject(sheet), window_(window), didEnd_(std::move(didEnd)) {
        sheet->installEventFilter(this);
    }

    QWidget* window() const { return window_; }

    // Runs the completion once; the attachment is gone afterwards.
    void finish() {
        auto didEnd = std::move(didEnd_);
        auto* sheet = static_cast<QWidget*>(parent());
        sheet->removeEventFilter(this);
        sheet->hide();
        deleteLater();
        setParent(nullptr);
        if (didEnd) didEnd();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched == parent()) {
            // The title bar's close button: the sheet ends as if its own button ended it.
            event->ignore();
            WindowSheet::end(static_cast<QWidget*>(watched));
            return true;
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void()> didEnd_;
};

SheetAttachment* attachmentOf(QWidget* sheet) {
    if (!sheet) return nullptr;
    for (QObject* child : sheet->children()) {
        if (auto* attachment = dynamic_cast<SheetAttachment*>(child)) return attachment;
    }
    return nullptr;
}

}  // namespace

namespace WindowSheet {

void begin(QWidget* sheet, QWidget* window, std::function<void()> didEnd) {
    if (!sheet) return;
    if (SheetAttachment* earlier = attachmentOf(sheet)) earlier->finish();
    sheet->setParent(window, Qt::Sheet | Qt::Dialog);
    sheet->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    new SheetAttachment(sheet, window, std::move(didEnd));
    if (window) {
        // A sheet hangs from the top of its window, centred, whatever the window manager does.
        sheet->adjustSize();
        const QRect frame = window->geometry();
        sheet->move(frame.x() + (frame.width() - sheet->width()) / 2, frame.y());
    }
    sheet->show();
    sheet->raise();
    sheet->activateWindow();
}

void end(QWidget* sheet) {
    SheetAttachment* attachment = attachmentOf(sheet);
    if (!attachment) return;
    for (QWidget* own : attachedSheets(sheet)) end(own);
    // The completion may end this sheet again; the attachment answers only once.
    if ((attachment = attachmentOf(sheet))) attachment->finish();
}

QList<QWidget*> attachedSheets(QWidget* window) {
    QList<QWidget*> sheets;
    if (!window) return sheets;
    for (QObject* child : window->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        SheetAttachment* attachment = attachmentOf(widget);
        if (attachment && attachment->window() == window) sheets << widget;
    }
    return sheets;
}

QWidget* sheetParent(QWidget* sheet) {
    SheetAttachment* attachment = attachmentOf(sheet);
    return attachment ? attachment->window() : nullptr;
}

}  // namespace WindowSheet
