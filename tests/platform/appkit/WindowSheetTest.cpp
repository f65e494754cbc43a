#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <map>
#include <memory>

#include "platform/appkit/Alert.h"
#include "platform/appkit/WindowSheet.h"
#include "support/TestEnvironment.h"

namespace {

// One window, sheets A, B and C, and a script of steps: "A>W" begins A on the window, "B>A" begins
// B on sheet A, "-B" ends B, "xB" destroys B. After the script every sheet is either the one on
// top ("top": shown and usable), beneath it ("under": still shown, nothing on it usable) or gone.
struct Script {
    const char* name;
    std::vector<std::string> steps;
    std::map<char, const char*> expected;
    std::string endings;  // the order the sheets' completions ran
};

TEST(WindowSheetTest, OneSheetIsUsableAtATimeAndWhatItCoveredComesBack) {
    const Script scripts[] = {
        {"a second sheet covers the first", {"A>W", "B>W"}, {{'A', "under"}, {'B', "top"}}, ""},
        {"its end gives the first back", {"A>W", "B>W", "-B"}, {{'A', "top"}, {'B', "gone"}}, "B"},
        {"a sheet on a sheet covers it", {"A>W", "B>A"}, {{'A', "under"}, {'B', "top"}}, ""},
        {"ending the lower ends the upper first", {"A>W", "B>A", "-A"}, {{'A', "gone"}, {'B', "gone"}}, "BA"},
        {"three deep, the middle ends", {"A>W", "B>A", "C>B", "-B"}, {{'A', "top"}, {'B', "gone"}, {'C', "gone"}}, "CB"},
        {"a destroyed sheet frees the one beneath", {"A>W", "B>W", "xB"}, {{'A', "top"}}, ""},
        {"ending the covered one leaves the top", {"A>W", "B>W", "-A"}, {{'A', "gone"}, {'B', "top"}}, "A"},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        QWidget window;
        window.resize(600, 400);
        window.show();
        std::map<char, QPointer<QWidget>> sheets;
        std::string endings;
        for (char name : {'A', 'B', 'C'}) {
            auto* sheet = new QWidget;
            sheet->setObjectName(QString(QChar(name)));
            auto* button = new QPushButton(QStringLiteral("Go"), sheet);
            button->setObjectName(QStringLiteral("button"));
            sheets[name] = sheet;
        }
        for (const std::string& step : script.steps) {
            if (step[0] == '-') {
                WindowSheet::end(sheets[step[1]]);
            } else if (step[0] == 'x') {
                delete sheets[step[1]].data();
            } else {
                QWidget* on = step[2] == 'W' ? &window : sheets[step[2]].data();
                const char name = step[0];
                WindowSheet::begin(sheets[name], on, [&endings, name] { endings += name; });
            }
        }
        for (const auto& [name, state] : script.expected) {
            SCOPED_TRACE(std::string(1, name));
            QWidget* sheet = sheets[name];
            const std::string expected = state;
            if (expected == "gone") {
                EXPECT_TRUE(!sheet || !sheet->isVisible());
                continue;
            }
            ASSERT_TRUE(sheet);
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_EQ(sheet->findChild<QPushButton*>("button")->isEnabled(), expected == "top");
            if (expected == "top") {
                EXPECT_EQ(WindowSheet::shownSheet(&window), sheet);
            }
        }
        EXPECT_EQ(endings, script.endings);
        for (auto& [name, sheet] : sheets) {
            WindowSheet::end(sheet);
            delete sheet.data();
        }
    }
}

// An alert shown as a sheet on a sheet covers it too, and gives it back once answered.
TEST(WindowSheetTest, AnAlertOnASheetLeavesItUnusableUntilAnswered) {
    Alert::setResponder(nullptr);
    QWidget window;
    window.show();
    auto sheet = std::make_unique<QWidget>();
    auto* button = new QPushButton(QStringLiteral("Save"), sheet.get());
    WindowSheet::begin(sheet.get(), &window);
    Alert alert;
    alert.setMessageText(QStringLiteral("Sure?"));
    std::optional<int> answer;
    alert.beginSheetModal(sheet.get(), [&](int response) { answer = response; });
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(WindowSheet::shownSheet(&window), box);
    EXPECT_FALSE(button->isEnabled());

    box->buttons().first()->click();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, Alert::FirstButtonReturn);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(WindowSheet::shownSheet(&window), sheet.get());
    WindowSheet::end(sheet.get());
}

}  // namespace
