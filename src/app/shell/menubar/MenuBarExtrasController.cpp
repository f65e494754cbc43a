#include "app/shell/menubar/MenuBarExtrasController.h"

#include <QMenu>

#include "app/common/LocalizationController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/Storyboard.h"

MenuBarExtrasController::MenuBarExtrasController(QObject* parent) : QObject(parent) {}

MenuBarExtrasController::~MenuBarExtrasController() = default;

void MenuBarExtrasController::loadView() {
    if (statusItem_) return;
    LocalizationController texts;
    menu_ = std::make_unique<QMenu>();
    QAction* quit = menu_->addAction(texts.mbMenuItemQuit());
    QObject::connect(quit, &QAction::triggered, [] { Application::shared().terminate(); });
    statusItem_ = std::make_unique<StatusItem>();
    statusItem_->setMenu(menu_.get());
    statusItem_->setVisible(true);
}

void MenuBarExtrasController::setIsEnabled(bool value) {
    if (isEnabled_ == value) return;
    isEnabled_ = value;
    emit isEnabledChanged();
}

void registerMenuBarExtrasScene() {
    Storyboard::registerScene(Storyboard::main(), QStringLiteral("MenuBarExtrasController"),
                              [] { return new MenuBarExtrasController; });
}
