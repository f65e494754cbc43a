#include "app/shell/preferences/EncryptionViewController.h"

#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/UserController.h"
#include "app/shell/preferences/EncryptionQRCodeController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Storyboard.h"
#include "platform/foundation/MainQueue.h"

void importCryptoKey(const QString& key, const QString& password, std::function<void(bool)> completion) {
    const auto finish = [completion = std::move(completion)](bool imported) {
        MainQueue::async([completion, imported] {
            if (completion) completion(imported);
        });
    };
    const std::shared_ptr<const BusinessUser> user = BusinessFacadeHolder::facade().currentUser();
    if (!user) return finish(false);
    user->importCryptoKey(key, password, [finish](VoidResult result) { finish(result.isSuccess()); });
}

EncryptionViewController::EncryptionViewController(QObject* parent)
    // The bundle carries no debug keys.
    : PreferencesPane(parent), keysResource_([] { return QVariant(); }) {}

void EncryptionViewController::setUserController(UserController* controller) {
    if (userController_ == controller) return;
    userController_ = controller;
    emit userControllerChanged();
}

QWidget* EncryptionViewController::loadView() {
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    auto* description = new QLabel(localizationController_.crLabelCreateKeyDescription(), view);
    description->setWordWrap(true);
    layout->addWidget(description);
    auto* buttons = new QHBoxLayout;
    auto* create = new QPushButton(localizationController_.crButtonCreateKey(), view);
    connect(create, &QPushButton::clicked, this, [this, create] { createKey(create); });
    buttons->addWidget(create);
    auto* showKey = new QPushButton(QStringLiteral("QR"), view);
    connect(showKey, &QPushButton::clicked, this, [this] { performSegue(qrCodeSegue); });
    buttons->addWidget(showKey);
    importDebugKeysButton_ = new QPushButton(QStringLiteral("Import Debug Keys"), view);
    connect(importDebugKeysButton_, &QPushButton::clicked, this, [this] { importDebugKeys(importDebugKeysButton_); });
    buttons->addWidget(importDebugKeysButton_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return view;
}

void EncryptionViewController::viewDidLoad() {
    importDebugKeysButton_->hide();
}

void EncryptionViewController::createKey(QObject*) {}

void EncryptionViewController::importKey(QObject*) {}

void EncryptionViewController::prepareForSegue(const QString& identifier, QObject* destination) {
    if (identifier != qrCodeSegue) return;
    if (auto* sheet = qobject_cast<EncryptionQRCodeController*>(destination)) sheet->setUserController(userController_);
}

void EncryptionViewController::performSegue(const QString& identifier) {
    static const QHash<QString, QString> scenes = {
        {qrCodeSegue, QStringLiteral("EncryptionQRCodeController")},
        {createKeySegue, QStringLiteral("CreateEncryptionKeyViewController")},
        {importKeySegue, QStringLiteral("ImportEncryptionKeyViewController")},
    };
    auto* sheet = Storyboard::instantiateAs<PreferencesPane>(Storyboard::main(), scenes.value(identifier));
    if (!sheet) return;
    sheet->setParent(this);
    prepareForSegue(identifier, sheet);
    connect(sheet, &PreferencesPane::dismissed, sheet, &QObject::deleteLater);
    sheet->presentAsSheet(isViewLoaded() ? view()->window() : nullptr);
}

void EncryptionViewController::importDebugKeys(QObject*) {
    if (!isViewLoaded() || !userController_) return;
    QWidget* window = view()->parentWidget() ? view()->window() : nullptr;
    const std::shared_ptr<ObjCUser> user = userController_->user();
    if (!window || !user) return;

    const QVariant resource = keysResource_ ? keysResource_() : QVariant();
    if (resource.typeId() != QMetaType::QVariantList) return;
    const QVariantList entries = resource.toList();
    if (entries.isEmpty() || entries.first().typeId() != QMetaType::QVariantMap) return;
    const QVariantMap entry = entries.first().toMap();
    QStringList texts;
    for (const char* key : {"name", "key", "password"}) {
        const QVariant value = entry.value(QLatin1String(key));
        if (value.typeId() != QMetaType::QString) return;
        texts.append(value.toString());
    }

    QStringList names;
    for (const QVariant& each : entries) names.append(each.toMap().value(QStringLiteral("name")).toString());
    const QPointer<QWidget> sheetWindow(window);
    const QString userName = user->name();
    importCryptoKey(texts[1], texts[2], [sheetWindow, userName, names](bool imported) {
        if (!sheetWindow) return;
        const LocalizationController t;
        Alert alert;
        alert.setMessageText((imported ? t.crAlertDebugKeySuccessMessage() : t.crAlertDebugKeyFailedMessage())
                                 .replace(QStringLiteral("%1"), userName));
        alert.setInformativeText(imported ? t.crAlertDebugKeySuccessInformative()
                                          : t.crAlertDebugKeyFailedInformative().replace(
                                                QStringLiteral("%1"), names.join(QLatin1Char('\n'))));
        alert.addButton(t.crAlertButtonDebugKeyOK());
        alert.beginSheetModal(sheetWindow, {});
    });
}
