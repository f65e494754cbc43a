#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

// A message with buttons, shown modally or as a window-modal sheet. The first button answers
// FirstButtonReturn (1000), the second 1001, and so on.
//
// Keys: the first button answers Return unless another button was given Return; the button given
// Escape answers Escape. Escape without such a button, and closing the dialog any other way,
// answer the last button, which by convention is the cautious one ("Cancel"). An alert without
// buttons gets one "OK" button when shown.
//
// Tests install a responder: while one is set no dialog is ever shown; the responder answers
// instead, and sheets still complete later on the main queue as real ones do. Every alert shown
// is recorded either way. Main thread only (a call from elsewhere is handed to the main thread
// and waited for).
class Alert {
public:
    static constexpr int FirstButtonReturn = 1000;
    static constexpr int SecondButtonReturn = 1001;
    static constexpr int ThirdButtonReturn = 1002;

    static inline const QString ReturnKey = QStringLiteral("\r");
    static inline const QString EscapeKey = QStringLiteral("\x1b");

    enum class Style { warning, informational, critical };

    class Button {
    public:
        explicit Button(QString title) : title_(std::move(title)) {}
        QString title() const { return title_; }
        void setTitle(const QString& title) { title_ = title; }
        // "\r" for Return, "\x1b" for Escape, empty for none.
        QString keyEquivalent() const { return keyEquivalent_; }
        void setKeyEquivalent(const QString& key) {
            keyEquivalent_ = key;
            chosen_ = true;
        }

    private:
        friend class Alert;
        QString title_;
        QString keyEquivalent_;
        bool chosen_ = false;  // set by the caller rather than by default
    };

    QString messageText() const { return messageText_; }
    void setMessageText(const QString& text) { messageText_ = text; }
    QString informativeText() const { return informativeText_; }
    void setInformativeText(const QString& text) { informativeText_ = text; }
    Style alertStyle() const { return style_; }
    void setAlertStyle(Style style) { style_ = style; }

    // The button stays valid as long as the alert.
    Button& addButton(const QString& title);
    const std::deque<Button>& buttons() const { return buttons_; }
    QStringList buttonTitles() const;

    // What pressing `key` answers, if any button takes it.
    std::optional<int> responseForKey(const QString& key) const;
    // What Escape and closing the dialog answer.
    int closeResponse() const;

    int runModal();
    // The usual question: a message, its informative text and two buttons.
    static Alert question(const QString& message, const QString& informative, const QString& firstButton,
                          const QString& secondButton);
    // The usual question a message, its informative text and two buttons, shown modally;
    // answers FirstButtonReturn or SecondButtonReturn (closing it answers the second).
    static int runModal(const QString& message, const QString& informative, const QString& firstButton,
                        const QString& secondButton);
    // Shows the alert modal to `window` only (application-modal without a window) and returns at
    // once; `completion` (may be empty) receives the answer on the main thread, exactly once,
    // also when the window goes away under the sheet.
    void beginSheetModal(QWidget* window, std::function<void(int)> completion);

    static void setResponder(std::function<int(const Alert&)> responder);
    static bool hasResponder();
    // Alerts shown so far, in order, as they were when shown.
    static std::vector<Alert> shownAlerts();
    static int shownCount();
    static void clearShownAlerts();

private:
    void prepareToShow();
    int runModalOnMainThread();
    void showSheet(QWidget* window, std::function<void(int)> completion) const;

    QString messageText_;
    QString informativeText_;
    Style style_ = Style::warning;
    std::deque<Button> buttons_;
};
