#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>
#include <memory>

#include "app/shell/controls/AutoSelectTextField.h"
#include "app/shell/controls/DisableableTextField.h"
#include "app/shell/controls/DisableableToolbarItem.h"
#include "app/shell/controls/FlatButton.h"
#include "app/shell/controls/LinkTextButton.h"
#include "app/shell/controls/SystemColors.h"
#include "platform/appkit/Application.h"
#include "support/TestEnvironment.h"

namespace {

QImage snapshot(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

bool near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= tolerance;
}

// How many pixels of the image are near the colour.
int count(const QImage& image, const QColor& color, int tolerance = 40) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += near(image.pixelColor(x, y), color, tolerance);
    return n;
}

void click(QWidget& widget, QPoint press, QPoint release) {
    QMouseEvent down(QEvent::MouseButtonPress, press, widget.mapToGlobal(press), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &down);
    if (press != release) {
        QMouseEvent move(QEvent::MouseMove, release, widget.mapToGlobal(release), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
    }
    QMouseEvent up(QEvent::MouseButtonRelease, release, widget.mapToGlobal(release), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &up);
}

TEST(FlatButton, DrawsItsBorderBackgroundAndHighlight) {
    FlatButton button(QStringLiteral("Go"));
    button.resize(90, 32);
    const QPoint edge(1, 16), inside(8, 6);
    // The initial look is only stored: nothing is drawn behind the title, no shadow is cast.
    EXPECT_EQ(button.shadowOpacity(), 1.0f);
    EXPECT_EQ(button.graphicsEffect(), nullptr);
    EXPECT_TRUE(near(snapshot(button).pixelColor(edge), button.palette().color(QPalette::Window), 0));

    // A border width set later shows the layer's border, black until a colour is given.
    button.setBorderWidth(3);
    EXPECT_TRUE(near(snapshot(button).pixelColor(edge), Qt::black));
    button.setBorderNSColor(Qt::blue);
    button.setBackgroundNSColor(Qt::green);
    button.setHighlightedBackgroundNSColor(Qt::red);
    QImage image = snapshot(button);
    EXPECT_TRUE(near(image.pixelColor(edge), Qt::blue));
    EXPECT_TRUE(near(image.pixelColor(inside), Qt::green));

    button.setDown(true);
    EXPECT_TRUE(near(snapshot(button).pixelColor(inside), Qt::red));
    EXPECT_EQ(button.layer().backgroundColor, QColor(Qt::red));
    button.setDown(false);
    EXPECT_TRUE(near(snapshot(button).pixelColor(inside), Qt::green));

    // Rounded corners leave the corner pixel to the window.
    button.setCornerRadius(12);
    EXPECT_FALSE(near(snapshot(button).pixelColor(0, 0), Qt::blue));
}

TEST(FlatButton, DrawsItsTitleInItsTextColourAndCastsAShadowOnlyOnceGivenAnOpacity) {
    FlatButton button(QStringLiteral("WWWW"));
    button.resize(100, 32);
    button.setTextColor(Qt::magenta);
    EXPECT_GT(count(snapshot(button), Qt::magenta, 90), 10);

    button.setShadowOpacity(0.5f);
    auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(button.graphicsEffect());
    ASSERT_NE(shadow, nullptr);
    EXPECT_NEAR(shadow->color().alphaF(), 0.5, 0.01);
    button.setShadowNSColor(Qt::blue);
    EXPECT_EQ(shadow->color().blue(), 255);
    button.setShadowOpacity(0);
    EXPECT_EQ(button.graphicsEffect(), nullptr);
}

TEST(LinkTextButton, ShowsAnUnderlinedLinkUnderAPointingHand) {
    LinkTextButton link(QStringLiteral("Privacy Policy"));
    link.resize(link.sizeHint());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link.titleFont().underline());
    EXPECT_EQ(link.titleFont().family(), link.font().family());

    const QColor linkColor = SystemColors::linkColor();
    const QImage image = snapshot(link);
    // The underline is a row of link-coloured pixels across most of the title.
    int longestRun = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = near(image.pixelColor(x, y), linkColor) ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GT(longestRun, image.width() * 3 / 4);

    link.setDown(true);
    EXPECT_EQ(snapshot(link), image);

    link.setEnabled(false);
    EXPECT_EQ(count(snapshot(link), linkColor, 20), 0);
}

TEST(AutoSelectTextField, SelectsTheWholeTextOnAClickOrADrag) {
    struct Row {
        const char* name;
        QPoint press, release;
    } rows[] = {{"click", {20, 8}, {20, 8}}, {"drag", {5, 8}, {40, 8}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AutoSelectTextField field(QStringLiteral("https://orvella.example/s/abc123"));
        field.resize(240, 24);
        field.show();
        click(field, row.press, row.release);
        EXPECT_EQ(field.selectedText(), field.text());

        QLineEdit plain(field.text());
        plain.resize(240, 24);
        plain.show();
        click(plain, row.press, row.release);
        EXPECT_NE(plain.selectedText(), plain.text());
    }
}

TEST(DisableableTextField, GreysItsTextWhileDisabledItselfOrThroughItsParent) {
    QWidget parent;
    auto* field = new DisableableTextField(QStringLiteral("WWWWWW"), &parent);
    field->setFrame(false);
    field->resize(120, 24);
    const QColor label = SystemColors::labelColor();
    const QColor disabled = SystemColors::disabledControlTextColor();
    ASSERT_FALSE(near(label, disabled, 30));

    const struct Step {
        const char* name;
        std::function<void()> apply;
        QColor expected;
    } steps[] = {
        {"initial", [] {}, label},
        {"disabled", [&] { field->setEnabled(false); }, disabled},
        {"enabled", [&] { field->setEnabled(true); }, label},
        {"parent disabled", [&] { parent.setEnabled(false); }, disabled},
        {"parent enabled", [&] { parent.setEnabled(true); }, label},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.apply();
        EXPECT_EQ(field->textColor(), step.expected);
        const QImage image = snapshot(*field);
        EXPECT_GT(count(image, step.expected, 30), 5);
    }
}

// Stand-ins for the objects a toolbar item's action reaches.
class Handler : public QObject {
    Q_OBJECT
public:
    int calls = 0;
    Q_INVOKABLE void refreshShares(QObject*) { ++calls; }
};

class UIValidatingHandler : public Handler {
    Q_OBJECT
public:
    bool answer = false;
    Q_INVOKABLE bool validateUserInterfaceItem(QObject*) { return answer; }
    Q_INVOKABLE bool validateToolbarItem(QObject*) { return !answer; }
};

class ToolbarValidatingHandler : public Handler {
    Q_OBJECT
public:
    bool answer = false;
    Q_INVOKABLE bool validateToolbarItem(QObject*) { return answer; }
};

// Who answers the item's action, and how.
enum class Responder { uiNo, uiYes, toolbarYes, toolbarNo, noValidation, lacksAction, nobody, viewController, application };

struct ValidationCase {
    const char* name;
    Responder responder;
    bool viewIsControl;
    bool hasAction;
    bool startEnabled;
    bool expectEnabled;
};

void PrintTo(const ValidationCase& c, std::ostream* os) { *os << c.name; }

class ToolbarValidation : public ::testing::TestWithParam<ValidationCase> {
protected:
    void TearDown() override { Application::shared().unregisterAction(QStringLiteral("refreshShares:")); }
};

TEST_P(ToolbarValidation, EnablesTheControlAsTheActionsTargetSays) {
    const ValidationCase& c = GetParam();
    QWidget window;
    auto* toolbar = new QToolBar(&window);
    (new QVBoxLayout(&window))->addWidget(toolbar);

    std::unique_ptr<QObject> responder;
    QObject* target = nullptr;
    switch (c.responder) {
    case Responder::uiNo:
    case Responder::uiYes: {
        auto* h = new UIValidatingHandler;
        h->answer = c.responder == Responder::uiYes;
        responder.reset(target = h);
        break;
    }
    case Responder::toolbarYes:
    case Responder::toolbarNo:
    case Responder::viewController: {
        auto* h = new ToolbarValidatingHandler;
        h->answer = c.responder == Responder::toolbarYes;
        responder.reset(h);
        if (c.responder == Responder::viewController) window.setProperty("viewController", QVariant::fromValue<QObject*>(h));
        else target = h;
        break;
    }
    case Responder::noValidation: responder.reset(target = new Handler); break;
    case Responder::lacksAction: responder.reset(target = new QObject); break;
    case Responder::application:
        Application::shared().registerAction(QStringLiteral("refreshShares:"), [](QObject*) {});
        break;
    case Responder::nobody: break;
    }

    auto* item = new DisableableToolbarItem(QStringLiteral("refresh"), toolbar);
    QWidget* view = c.viewIsControl ? static_cast<QWidget*>(new QToolButton) : new QLabel(QStringLiteral("Refresh"));
    view->setEnabled(c.startEnabled);
    item->setView(view);
    if (c.hasAction) item->setActionName("refreshShares");
    item->setTarget(target);
    toolbar->addAction(item);

    ToolbarItem::validateItems(toolbar);
    EXPECT_EQ(view->isEnabled(), c.expectEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolbarValidation,
    ::testing::Values(ValidationCase{"UserInterfaceValidationSaysNo", Responder::uiNo, true, true, true, false},
                      ValidationCase{"UserInterfaceValidationWinsOverToolbarValidation", Responder::uiYes, true, true, false, true},
                      ValidationCase{"ToolbarValidationSaysYes", Responder::toolbarYes, true, true, false, true},
                      ValidationCase{"ToolbarValidationSaysNo", Responder::toolbarNo, true, true, true, false},
                      ValidationCase{"TargetWithoutValidationEnables", Responder::noValidation, true, true, false, true},
                      ValidationCase{"TargetWithoutTheActionLeavesTheControl", Responder::lacksAction, true, true, false, false},
                      ValidationCase{"NobodyHandlesTheActionLeavesTheControl", Responder::nobody, true, true, true, true},
                      ValidationCase{"ViewControllerOnTheChainSaysNo", Responder::viewController, true, true, true, false},
                      ValidationCase{"ApplicationHandlerEnables", Responder::application, true, true, false, true},
                      ValidationCase{"ViewThatIsNoControlIsLeft", Responder::uiNo, false, true, true, true},
                      ValidationCase{"ItemWithoutActionIsLeft", Responder::uiNo, true, false, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToolbarItem, PlainItemFollowsItsTargetAndSendsItsAction) {
    QWidget window;
    auto* toolbar = new QToolBar(&window);
    ToolbarValidatingHandler handler;
    auto* item = new ToolbarItem(QStringLiteral("refresh"), toolbar);
    item->setActionName("refreshShares");
    item->setTarget(&handler);
    toolbar->addAction(item);

    ToolbarItem::validateItems(toolbar);
    EXPECT_FALSE(item->isEnabled());
    handler.answer = true;
    ToolbarItem::validateItems(toolbar);
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_EQ(handler.calls, 1);

    item->setTarget(nullptr);
    ToolbarItem::validateItems(toolbar);
    EXPECT_FALSE(item->isEnabled());
}

TEST(CustomControls, Snapshot) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Controls"));
    auto* layout = new QVBoxLayout(&window);
    auto* buttons = new QHBoxLayout;
    auto* plainFlat = new FlatButton(QStringLiteral("Flat"));
    const auto blue = [](const char* title, bool down) {
        auto* button = new FlatButton(QString::fromUtf8(title));
        button->setBackgroundNSColor(QColor(0x2f, 0x6f, 0xeb));
        button->setHighlightedBackgroundNSColor(QColor(0x1c, 0x4f, 0xb8));
        button->setTextColor(Qt::white);
        button->setCornerRadius(6);
        button->setDown(down);
        return button;
    };
    auto* styled = blue("Continue", false);
    auto* pressed = blue("Pressed", true);
    auto* bordered = new FlatButton(QStringLiteral("Bordered"));
    bordered->setBorderWidth(1.5);
    bordered->setBorderNSColor(QColor(0x88, 0x88, 0x88));
    bordered->setCornerRadius(10);
    bordered->setShadowOpacity(0.3f);
    for (QWidget* w : std::initializer_list<QWidget*>{plainFlat, styled, pressed, bordered}) buttons->addWidget(w);
    layout->addLayout(buttons);
    auto* links = new QHBoxLayout;
    links->addWidget(new LinkTextButton(QStringLiteral("Privacy Policy")));
    auto* disabledLink = new LinkTextButton(QStringLiteral("Legal Notice"));
    disabledLink->setEnabled(false);
    links->addWidget(disabledLink);
    links->addStretch();
    layout->addLayout(links);
    auto* autoSelect = new AutoSelectTextField(QStringLiteral("https://orvella.example/s/abc123"));
    layout->addWidget(autoSelect);
    auto* enabledField = new DisableableTextField(QStringLiteral("Enabled field"));
    auto* disabledField = new DisableableTextField(QStringLiteral("Disabled field"));
    disabledField->setEnabled(false);
    layout->addWidget(enabledField);
    layout->addWidget(disabledField);
    window.resize(460, 200);
    window.show();
    click(*autoSelect, {10, 8}, {10, 8});
    ASSERT_EQ(autoSelect->selectedText(), autoSelect->text());

    const QImage image = window.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(count(image.convertToFormat(QImage::Format_RGB32), QColor(0x1c, 0x4f, 0xb8), 10), 100);
    EXPECT_GT(count(image.convertToFormat(QImage::Format_RGB32), QColor(0x2f, 0x6f, 0xeb), 10), 100);
    EXPECT_TRUE(TestEnvironment::keepSnapshot(image, QStringLiteral("controls")));
}

}  // namespace

#include "CustomControlsTest.moc"
