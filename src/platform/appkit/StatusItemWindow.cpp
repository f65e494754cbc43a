#include "platform/appkit/StatusItemWindow.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kLineProperty = "statusItemLine";
const char* const kCommandProperty = "statusItemCommand";

QFrame* makeRule(QWidget* parent) {
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

// Menus show "&" as a mnemonic mark; a label or button would show it again.
QString plainText(const QAction* action) {
    QString text = action->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

}  // namespace

StatusItemWindow::StatusItemWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), image_(new QLabel(this)), summary_(new QLabel(this)), layout_(new QVBoxLayout(this)) {
    auto* header = new QHBoxLayout;
    image_->setFixedSize(32, 32);
    image_->setScaledContents(true);
    QFont bold = summary_->font();
    bold.setBold(true);
    summary_->setFont(bold);
    summary_->setWordWrap(true);
    header->addWidget(image_);
    header->addWidget(summary_, 1);
    layout_->addLayout(header);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    rebuild();
}

StatusItemWindow::~StatusItemWindow() {
    for (const auto& connection : watched_) disconnect(connection);
}

void StatusItemWindow::markAsLine(QAction* action) {
    if (action) action->setProperty(kLineProperty, true);
}

bool StatusItemWindow::isLine(const QAction* action) { return action && action->property(kLineProperty).toBool(); }

void StatusItemWindow::setMenu(QMenu* menu) {
    if (menu_ == menu) return;
    for (const auto& connection : watched_) disconnect(connection);
    watched_.clear();
    menu_ = menu;
    if (menu) watch(menu);
    scheduleRebuild();
    // Shown at once, as a menu would be when it opens.
    if (menu && isVisible()) emit willShowMenu(menu);
}

void StatusItemWindow::watch(QMenu* menu) {
    watched_ << connect(menu, &QObject::destroyed, this, &StatusItemWindow::scheduleRebuild);
    for (QAction* action : menu->actions()) {
        watched_ << connect(action, &QAction::changed, this, &StatusItemWindow::scheduleRebuild);
        if (action->menu()) watch(action->menu());
    }
}

void StatusItemWindow::setStatus(const QIcon& image, const QString& summary) {
    image_->setPixmap(image.pixmap(32, 32));
    // The menu's own lines say the state; the summary, a tray's tooltip, adds what is on its way.
    summary_->setToolTip(summary);
    image_->setToolTip(summary);
}

void StatusItemWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowTitleChange) summary_->setText(windowTitle());
    QWidget::changeEvent(event);
}

void StatusItemWindow::setCommandsEnabled(bool enabled) {
    if (commandsEnabled_ == enabled) return;
    commandsEnabled_ = enabled;
    scheduleRebuild();
}

void StatusItemWindow::scheduleRebuild() {
    if (rebuildPending_) return;
    rebuildPending_ = true;
    // A change of state changes many items at once: the window is laid out once for all of them.
    QTimer::singleShot(0, this, [this] {
        if (rebuildPending_) rebuild();
    });
}

void StatusItemWindow::rebuild() {
    rebuildPending_ = false;
    delete body_;
    body_ = new QWidget(this);
    auto* column = new QVBoxLayout(body_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    body_->setMinimumWidth(280);
    layout_->addWidget(body_);
    if (!menu_) return;

    // Rules as a menu draws them: none first, none last, never two in a row.
    bool ruleWanted = false;
    bool anything = false;
    for (QAction* action : menu_->actions()) {
        if (!action->isVisible()) continue;
        if (action->isSeparator()) {
            ruleWanted = anything;
            continue;
        }
        if (ruleWanted) column->addWidget(makeRule(body_));
        ruleWanted = false;
        anything = true;
        if (isLine(action)) {
            auto* line = new QLabel(plainText(action), body_);
            line->setWordWrap(true);
            line->setProperty(kLineProperty, true);
            column->addWidget(line);
            continue;
        }
        auto* button = new QPushButton(plainText(action), body_);
        button->setFlat(true);
        button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 4px 8px; }"));
        button->setProperty(kCommandProperty, true);
        button->setEnabled(commandsEnabled_ && action->isEnabled());
        if (QMenu* submenu = action->menu()) button->setMenu(submenu);
        else connect(button, &QPushButton::clicked, action, [action = QPointer<QAction>(action)] {
                if (action) action->trigger();
            });
        column->addWidget(button);
    }
}

QStringList StatusItemWindow::contents() const {
    if (rebuildPending_) const_cast<StatusItemWindow*>(this)->rebuild();
    QStringList shown;
    for (QWidget* child : body_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->property(kLineProperty).toBool())
            shown << QStringLiteral("line:") + static_cast<QLabel*>(child)->text();
        else if (child->property(kCommandProperty).toBool())
            shown << (child->isEnabled() ? QStringLiteral("command:") : QStringLiteral("disabled:")) +
                         static_cast<QPushButton*>(child)->text();
        else if (qobject_cast<QFrame*>(child))
            shown << QStringLiteral("-");
    }
    return shown;
}

bool StatusItemWindow::click(const QString& text) {
    if (rebuildPending_) rebuild();
    for (auto* button : body_->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button->text() != text || !button->isEnabled() || button->menu()) continue;
        button->click();
        return true;
    }
    return false;
}

bool StatusItemWindow::event(QEvent* event) {
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && menu_) emit willShowMenu(menu_);
    return QWidget::event(event);
}
