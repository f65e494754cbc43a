#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "platform/appkit/Alert.h"
#include "support/TestEnvironment.h"

namespace {

// Clears the responder and the record around each test.
class AlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::setResponder(nullptr);
        Alert::clearShownAlerts();
    }
    void TearDown() override { Alert::setResponder(nullptr); }
};

// Acts on the message box once it shows; closes any modal dialog left after 5 s so that a broken
// path fails instead of hanging.
void whenBoxShows(std::function<void(QMessageBox*)> act) {
    auto* poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, act, started] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
            poll->stop();
            poll->deleteLater();
            act(box);
        } else if (started->elapsed() > 5000) {
            poll->stop();
            poll->deleteLater();
            if (modal) modal->close();
        }
    });
    poll->start(10);
}

QPushButton* buttonTitled(QMessageBox* box, const QString& title) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == title) return qobject_cast<QPushButton*>(b);
    return nullptr;
}

void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

struct KeyCase {
    const char* name;
    std::vector<std::pair<QString, std::optional<QString>>> buttons;  // title, key set by caller
    int key;        // Qt::Key_Return or Qt::Key_Escape
    int expected;   // -1: no button takes the key
};

class AlertKeys : public AlertTest, public ::testing::WithParamInterface<KeyCase> {
protected:
    Alert make() const {
        Alert alert;
        alert.setMessageText("Message");
        for (const auto& [title, key] : GetParam().buttons) {
            Alert::Button& b = alert.addButton(title);
            if (key) b.setKeyEquivalent(*key);
        }
        return alert;
    }
};

TEST_P(AlertKeys, KeysAnswerTheRightButtonInTheModelAndInTheRealDialog) {
    const KeyCase& c = GetParam();
    const QString key = c.key == Qt::Key_Return ? Alert::ReturnKey : Alert::EscapeKey;
    Alert alert = make();
    const std::optional<int> byModel =
        c.key == Qt::Key_Escape ? std::optional<int>(alert.closeResponse()) : alert.responseForKey(key);
    EXPECT_EQ(byModel.value_or(-1), c.expected);

    // The real dialog; a key no button takes does nothing, so Escape then closes it.
    whenBoxShows([&](QMessageBox* box) {
        pressKey(box, c.key);
        if (c.expected < 0) pressKey(box, Qt::Key_Escape);
    });
    EXPECT_EQ(alert.runModal(), c.expected < 0 ? alert.closeResponse() : c.expected);
}

const auto ret = std::optional<QString>(Alert::ReturnKey);
const auto esc = std::optional<QString>(Alert::EscapeKey);
const auto none = std::optional<QString>();

INSTANTIATE_TEST_SUITE_P(
    Alert, AlertKeys,
    ::testing::Values(
        KeyCase{"single_button_return", {{"OK", none}}, Qt::Key_Return, 1000},
        KeyCase{"single_button_escape", {{"OK", none}}, Qt::Key_Escape, 1000},
        KeyCase{"two_buttons_return_is_first", {{"Quit", none}, {"Cancel", none}}, Qt::Key_Return, 1000},
        KeyCase{"two_buttons_escape_is_last", {{"Quit", none}, {"Cancel", none}}, Qt::Key_Escape, 1001},
        KeyCase{"explicit_return_and_escape_return", {{"Quit", ret}, {"Continue", esc}}, Qt::Key_Return, 1000},
        KeyCase{"explicit_return_and_escape_escape", {{"Quit", ret}, {"Continue", esc}}, Qt::Key_Escape, 1001},
        KeyCase{"return_moved_to_second", {{"A", none}, {"B", ret}, {"C", none}}, Qt::Key_Return, 1001},
        KeyCase{"escape_on_first_of_three", {{"A", esc}, {"B", none}, {"C", none}}, Qt::Key_Escape, 1000},
        KeyCase{"escape_on_first_takes_its_return", {{"A", esc}, {"B", none}}, Qt::Key_Return, -1},
        KeyCase{"escape_on_middle", {{"A", none}, {"B", esc}, {"C", none}}, Qt::Key_Escape, 1001}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlertTest, TheResponderAnswersInsteadOfADialogAndEveryAlertIsRecorded) {
    std::vector<QStringList> seen;
    Alert::setResponder([&](const Alert& a) {
        seen.push_back(a.buttonTitles());
        return Alert::SecondButtonReturn;
    });
    Alert alert;
    alert.setMessageText("Restore still running");
    alert.setInformativeText("Quit anyway?");
    alert.setAlertStyle(Alert::Style::critical);
    alert.addButton("Quit");
    alert.addButton("Cancel");
    EXPECT_EQ(alert.runModal(), Alert::SecondButtonReturn);

    Alert bare;  // no buttons: shown with one default button
    bare.setMessageText("Bare");
    bare.runModal();

    ASSERT_EQ(Alert::shownCount(), 2);
    const auto shown = Alert::shownAlerts();
    EXPECT_EQ(shown[0].messageText(), "Restore still running");
    EXPECT_EQ(shown[0].informativeText(), "Quit anyway?");
    EXPECT_EQ(shown[0].alertStyle(), Alert::Style::critical);
    EXPECT_EQ(shown[0].buttonTitles(), (QStringList{"Quit", "Cancel"}));
    EXPECT_EQ(shown[1].buttonTitles().size(), 1);
    EXPECT_EQ(seen, (std::vector<QStringList>{{"Quit", "Cancel"}, shown[1].buttonTitles()}));
    Alert::clearShownAlerts();
    EXPECT_EQ(Alert::shownCount(), 0);
}

TEST_F(AlertTest, TheTwoButtonQuestionShowsItsTextsAndAnswersTheChosenButton) {
    for (const int answer : {Alert::FirstButtonReturn, Alert::SecondButtonReturn}) {
        Alert::clearShownAlerts();
        Alert::setResponder([answer](const Alert&) { return answer; });
        EXPECT_EQ(Alert::runModal("Reset?", "Everything goes.", "Reset", "Cancel"), answer);
        ASSERT_EQ(Alert::shownCount(), 1);
        const Alert shown = Alert::shownAlerts().front();
        EXPECT_EQ(shown.messageText(), "Reset?");
        EXPECT_EQ(shown.informativeText(), "Everything goes.");
        EXPECT_EQ(shown.buttonTitles(), (QStringList{"Reset", "Cancel"}));
        EXPECT_EQ(shown.closeResponse(), Alert::SecondButtonReturn);
    }
}

TEST_F(AlertTest, SheetsCompleteLaterOnTheMainQueueExactlyOnce) {
    Alert::setResponder([](const Alert&) { return Alert::ThirdButtonReturn; });
    QWidget window;
    std::vector<int> answers;
    Alert alert;
    for (const char* t : {"A", "B", "C"}) alert.addButton(t);
    alert.beginSheetModal(&window, [&](int r) { answers.push_back(r); });
    EXPECT_TRUE(answers.empty()) << "a sheet never completes before it is begun";
    alert.beginSheetModal(nullptr, {});  // no completion is fine
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !answers.empty(); }));
    TestEnvironment::waitUntil([] { return false; }, 30);
    EXPECT_EQ(answers, std::vector<int>{Alert::ThirdButtonReturn});
    EXPECT_EQ(Alert::shownCount(), 2);
}

TEST_F(AlertTest, ARealDialogAnswersTheClickedButton) {
    Alert alert;
    alert.setMessageText("Root folder moved");
    alert.addButton("Quit").setKeyEquivalent(Alert::ReturnKey);
    alert.addButton("Continue Sync").setKeyEquivalent(Alert::EscapeKey);
    QString text;
    whenBoxShows([&](QMessageBox* box) {
        text = box->text();
        ASSERT_NE(buttonTitled(box, "Quit"), nullptr);
        buttonTitled(box, "Quit")->click();
    });
    EXPECT_EQ(alert.runModal(), Alert::FirstButtonReturn);
    EXPECT_EQ(text, "Root folder moved");
    EXPECT_EQ(Alert::shownCount(), 1);
}

TEST_F(AlertTest, ARealSheetCompletesWithItsButtonAndWhenItsWindowGoesAway) {
    auto* window = new QWidget;
    window->show();
    std::vector<int> answers;
    Alert alert;
    alert.addButton("One");
    alert.addButton("Two");
    alert.beginSheetModal(window, [&](int r) { answers.push_back(r); });
    auto* box = window->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return box->isVisible(); }));
    buttonTitled(box, "Two")->click();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !answers.empty(); }));
    EXPECT_EQ(answers, std::vector<int>{Alert::SecondButtonReturn});

    // The window closing under an open sheet answers like closing the sheet would.
    answers.clear();
    alert.beginSheetModal(window, [&](int r) { answers.push_back(r); });
    delete window;
    TestEnvironment::waitUntil([&] { return !answers.empty(); }, 200);
    EXPECT_EQ(answers, std::vector<int>{Alert::SecondButtonReturn});
}

}  // namespace
