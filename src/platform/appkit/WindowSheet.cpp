#include "platform/appkit/WindowSheet.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

class SheetAttachment;

// The running sheets, in the order they began.
std::vector<SheetAttachment*> running;

// Rides on the sheet as a child: where it is attached, the window it shows on and what runs when
// it ends.
class SheetAttachment : public QObject {
public:
    SheetAttachment(QWidget* sheet, QWidget* window, QWidget* host, std::function<void()> didEnd)
        : QObject(sheet), sheet_(sheet), window_(window), host_(host), didEnd_(std::move(didEnd)) {
        sheet->installEventFilter(this);
        running.push_back(this);
    }

    ~SheetAttachment() override {
        // Destroyed with its sheet while running: what it covered is free again.
        if (leave()) reveal(host_);
    }

    QWidget* sheet() const { return sheet_; }
    QWidget* window() const { return window_; }
    QWidget* host() const { return host_; }

    // Covered by a newer sheet: still in view, but nothing on it can be pressed until it is on
    // top again. It is not hidden: hiding ends the life of the views inside (an embedded browser
    // drops its unsaved edits then).
    void cover() {
        if (covered_ || !sheet_) return;
        covered_ = true;
        sheet_->setEnabled(false);
    }

    void uncover() {
        if (!covered_ || !sheet_) return;
        covered_ = false;
        sheet_->setEnabled(true);
        sheet_->raise();
        sheet_->activateWindow();
    }

    // Runs the completion once; the attachment is gone afterwards.
    void finish() {
        leave();
        auto didEnd = std::move(didEnd_);
        uncover();
        if (sheet_) {
            sheet_->removeEventFilter(this);
            sheet_->hide();
        }
        deleteLater();
        setParent(nullptr);
        if (didEnd) didEnd();
    }

    // The newest running sheet on `host`.
    static SheetAttachment* topOn(QWidget* host) {
        if (!host) return nullptr;
        for (auto it = running.rbegin(); it != running.rend(); ++it)
            if ((*it)->host_ == host) return *it;
        return nullptr;
    }

    static void reveal(QWidget* host) {
        if (SheetAttachment* top = topOn(host)) top->uncover();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched == sheet_) {
            // The title bar's close button: the sheet ends as if its own button ended it. The
            // close itself goes on, so that a sheet deleted on close is deleted.
            WindowSheet::end(sheet_);
        }
        return false;
    }

private:
    bool leave() {
        const auto it = std::find(running.begin(), running.end(), this);
        if (it == running.end()) return false;
        running.erase(it);
        return true;
    }

    QPointer<QWidget> sheet_;
    QPointer<QWidget> window_;
    QPointer<QWidget> host_;
    std::function<void()> didEnd_;
    bool covered_ = false;
};

SheetAttachment* attachmentOf(QWidget* sheet) {
    if (!sheet) return nullptr;
    for (SheetAttachment* attachment : running)
        if (attachment->sheet() == sheet) return attachment;
    return nullptr;
}

// The window a sheet on `window` shows on: the window itself, or, for a sheet on a sheet, the
// window the lower sheet shows on.
QWidget* hostOf(QWidget* window) {
    if (!window) return nullptr;
    QWidget* topLevel = window->window();
    if (SheetAttachment* lower = attachmentOf(topLevel); lower && lower->host()) return lower->host();
    return topLevel;
}

}  // namespace

namespace WindowSheet {

void begin(QWidget* sheet, QWidget* window, std::function<void()> didEnd) {
    if (!sheet) return;
    if (SheetAttachment* earlier = attachmentOf(sheet)) earlier->finish();
    QWidget* host = hostOf(window);
    // Out of the sheet it may have been made in first: covering that sheet must not disable it.
    sheet->setParent(host, Qt::Sheet | Qt::Dialog);
    if (SheetAttachment* current = SheetAttachment::topOn(host)) current->cover();
    sheet->setWindowModality(host ? Qt::WindowModal : Qt::ApplicationModal);
    new SheetAttachment(sheet, window, host, std::move(didEnd));
    if (host) {
        // A sheet hangs from the top of its window, centred, whatever the window manager does. A
        // sheet given its size keeps it (a preferences pane's designed width).
        if (sheet->testAttribute(Qt::WA_Resized)) sheet->resize(sheet->size().expandedTo(sheet->sizeHint()));
        else sheet->adjustSize();
        const QRect frame = host->geometry();
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
    if (!(attachment = attachmentOf(sheet))) return;
    const QPointer<QWidget> host = attachment->host();
    attachment->finish();
    // After the completion, which may end the sheet beneath as well.
    SheetAttachment::reveal(host);
}

QList<QWidget*> attachedSheets(QWidget* window) {
    QList<QWidget*> sheets;
    if (!window) return sheets;
    for (SheetAttachment* attachment : running)
        if (attachment->window() == window && attachment->sheet()) sheets << attachment->sheet();
    return sheets;
}

QWidget* sheetParent(QWidget* sheet) {
    SheetAttachment* attachment = attachmentOf(sheet);
    return attachment ? attachment->window() : nullptr;
}

QWidget* shownSheet(QWidget* window) {
    SheetAttachment* top = SheetAttachment::topOn(hostOf(window));
    return top ? top->sheet() : nullptr;
}

}  // namespace WindowSheet
