#include "platform/appkit/Alert.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWidget>

#include <memory>
#include <mutex>

#include "platform/appkit/WindowSheet.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/MainQueue.h"

namespace {

std::mutex registryMutex;
std::function<int(const Alert&)> responder;
std::vector<Alert> shown;

std::function<int(const Alert&)> currentResponder() {
    std::lock_guard lock(registryMutex);
    return responder;
}

void record(const Alert& alert) {
    std::lock_guard lock(registryMutex);
    shown.push_back(alert);
}

QMessageBox::Icon iconFor(Alert::Style style) {
    switch (style) {
    case Alert::Style::informational: return QMessageBox::Information;
    case Alert::Style::critical: return QMessageBox::Critical;
    case Alert::Style::warning: break;
    }
    return QMessageBox::Warning;
}

// Fills the box and answers its buttons in our order.
std::vector<QAbstractButton*> configure(QMessageBox& box, const Alert& alert) {
    box.setIcon(iconFor(alert.alertStyle()));
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setText(alert.messageText());
    box.setInformativeText(alert.informativeText());
    const auto& buttons = alert.buttons();
    std::vector<QAbstractButton*> made(buttons.size(), nullptr);
    // One role for all keeps our order (and, unlike the accept role, gets no default button
    // behind our back); added last-first so that the first button, the usual
    // default, sits at the trailing edge where desktop conventions put the affirmative answer.
    for (std::size_t i = buttons.size(); i-- > 0;)
        made[i] = box.addButton(buttons[i].title(), QMessageBox::ActionRole);
    // Return presses the Return button and nothing else: not whichever button has the focus.
    for (QAbstractButton* b : made)
        if (auto* push = qobject_cast<QPushButton*>(b)) push->setAutoDefault(false);
    if (const auto ret = alert.responseForKey(Alert::ReturnKey))
        box.setDefaultButton(qobject_cast<QPushButton*>(made[std::size_t(*ret - Alert::FirstButtonReturn)]));
    if (!made.empty())
        box.setEscapeButton(made[std::size_t(alert.closeResponse() - Alert::FirstButtonReturn)]);
    return made;
}

int responseFor(const QAbstractButton* clicked, const std::vector<QAbstractButton*>& made, int fallback) {
    for (std::size_t i = 0; i < made.size(); ++i)
        if (made[i] == clicked) return Alert::FirstButtonReturn + int(i);
    return fallback;
}

}  // namespace

Alert::Button& Alert::addButton(const QString& title) {
    buttons_.emplace_back(title);
    if (buttons_.size() == 1) buttons_.front().keyEquivalent_ = ReturnKey;
    return buttons_.back();
}

QStringList Alert::buttonTitles() const {
    QStringList titles;
    for (const Button& b : buttons_) titles << b.title();
    return titles;
}

std::optional<int> Alert::responseForKey(const QString& key) const {
    if (key.isEmpty()) return std::nullopt;
    // A key the caller gave a button wins over the first button's default Return.
    std::optional<int> byDefault;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i].keyEquivalent_ != key) continue;
        if (buttons_[i].chosen_) return FirstButtonReturn + int(i);
        if (!byDefault) byDefault = FirstButtonReturn + int(i);
    }
    return byDefault;
}

int Alert::closeResponse() const {
    if (const auto escape = responseForKey(EscapeKey)) return *escape;
    return FirstButtonReturn + std::max(0, int(buttons_.size()) - 1);
}

void Alert::prepareToShow() {
    if (buttons_.empty()) addButton(Bundle::main().localizedString(QStringLiteral("OK"), QStringLiteral("OK")));
    record(*this);
}

int Alert::runModal() {
    prepareToShow();
    if (const auto answer = currentResponder()) return answer(*this);
    if (!MainQueue::isMainThread()) {
        if (!QCoreApplication::instance()) return closeResponse();
        int result = closeResponse();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { result = runModalOnMainThread(); },
                                  Qt::BlockingQueuedConnection);
        return result;
    }
    return runModalOnMainThread();
}

Alert Alert::question(const QString& message, const QString& informative, const QString& firstButton,
                      const QString& secondButton) {
    Alert alert;
    alert.setMessageText(message);
    alert.setInformativeText(informative);
    alert.addButton(firstButton);
    alert.addButton(secondButton);
    return alert;
}

int Alert::runModal(const QString& message, const QString& informative, const QString& firstButton,
                    const QString& secondButton) {
    return question(message, informative, firstButton, secondButton).runModal();
}

int Alert::runModalOnMainThread() {
    QMessageBox box;
    const auto made = configure(box, *this);
    box.exec();
    return responseFor(box.clickedButton(), made, closeResponse());
}

void Alert::beginSheetModal(QWidget* window, std::function<void(int)> completion) {
    prepareToShow();
    if (const auto answer = currentResponder()) {
        const int response = answer(*this);
        MainQueue::async([completion = std::move(completion), response] {
            if (completion) completion(response);
        });
        return;
    }
    if (!MainQueue::isMainThread()) {
        qWarning("Alert: a sheet begun off the main thread is moved to it");
        MainQueue::async([alert = *this, window = QPointer<QWidget>(window),
                          completion = std::move(completion)]() mutable {
            alert.showSheet(window.data(), std::move(completion));
        });
        return;
    }
    showSheet(window, std::move(completion));
}

void Alert::showSheet(QWidget* window, std::function<void(int)> completion) const {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    const auto made = configure(*box, *this);
    const int fallback = closeResponse();
    // Exactly once: when answered, or when the window takes the sheet down with it.
    auto pending = std::make_shared<std::function<void(int)>>(std::move(completion));
    const auto complete = [pending](int response) {
        auto done = std::move(*pending);
        *pending = nullptr;
        if (done) done(response);
    };
    QObject::connect(box, &QMessageBox::finished, box, [box, made, fallback, complete] {
        // The sheet it covered is usable again before the answer acts on it.
        WindowSheet::end(box);
        complete(responseFor(box->clickedButton(), made, fallback));
    });
    QObject::connect(box, &QObject::destroyed, [complete, fallback] { complete(fallback); });
    WindowSheet::begin(box, window);
}

void Alert::setResponder(std::function<int(const Alert&)> newResponder) {
    std::lock_guard lock(registryMutex);
    responder = std::move(newResponder);
}

bool Alert::hasResponder() {
    std::lock_guard lock(registryMutex);
    return bool(responder);
}

std::vector<Alert> Alert::shownAlerts() {
    std::lock_guard lock(registryMutex);
    return shown;
}

int Alert::shownCount() {
    std::lock_guard lock(registryMutex);
    return int(shown.size());
}

void Alert::clearShownAlerts() {
    std::lock_guard lock(registryMutex);
    shown.clear();
}
