#include <gtest/gtest.h>

#include <QLabel>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/appkit/Storyboard.h"
#include "platform/appkit/ValueTransformer.h"

namespace {

class UpperTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override {
        return value.typeId() == QMetaType::QString ? QVariant(value.toString().toUpper()) : QVariant();
    }
};

TEST(StoryboardTest, InstantiatesNewScenesByStoryboardAndIdentifier) {
    int made = 0;
    Storyboard::registerScene(Storyboard::main(), "MenuBarExtrasController", [&]() -> QObject* {
        ++made;
        return new QTimer;
    });
    Storyboard::registerScene("Other", "MenuBarExtrasController", [] { return new QLabel; });

    std::unique_ptr<QObject> a(Storyboard::instantiate("Main", "MenuBarExtrasController"));
    std::unique_ptr<QObject> b(Storyboard::instantiate("Main", "MenuBarExtrasController"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get()) << "each instantiation makes a new scene";
    EXPECT_TRUE(qobject_cast<QTimer*>(a.get()));
    EXPECT_EQ(made, 2);

    EXPECT_EQ(Storyboard::instantiate("Main", "Missing"), nullptr);
    EXPECT_EQ(Storyboard::instantiate("Missing", "MenuBarExtrasController"), nullptr);
    EXPECT_EQ(Storyboard::instantiateAs<QLabel>("Main", "MenuBarExtrasController"), nullptr)
        << "a scene of another class is not handed out as this one";
    std::unique_ptr<QLabel> label(Storyboard::instantiateAs<QLabel>("Other", "MenuBarExtrasController"));
    EXPECT_TRUE(label);
    EXPECT_TRUE(Storyboard::identifiers("Main").contains("MenuBarExtrasController"));

    Storyboard::registerScene("Main", "MenuBarExtrasController", nullptr);
    EXPECT_FALSE(Storyboard::hasScene("Main", "MenuBarExtrasController"));
    EXPECT_TRUE(Storyboard::hasScene("Other", "MenuBarExtrasController"));
    Storyboard::registerScene("Other", "MenuBarExtrasController", nullptr);
}

TEST(ValueTransformerTest, OneInstancePerNameInRegistrationOrder) {
    const QStringList before = ValueTransformer::registeredNames();
    auto upper = std::make_shared<UpperTransformer>();
    ValueTransformer::setValueTransformer(upper, "T.Upper");
    ValueTransformer::setValueTransformer(std::make_shared<UpperTransformer>(), "T.Second");
    EXPECT_EQ(ValueTransformer::forName("T.Upper"), upper);
    EXPECT_EQ(ValueTransformer::forName("T.Upper")->transformedValue(QStringLiteral("ab")).toString(), "AB");
    EXPECT_FALSE(ValueTransformer::forName("T.Upper")->allowsReverseTransformation());
    EXPECT_FALSE(ValueTransformer::forName("T.Upper")->reverseTransformedValue(QStringLiteral("AB")).isValid());
    EXPECT_EQ(ValueTransformer::forName("T.Missing"), nullptr);

    // Replacing keeps the name's place; removing frees it.
    auto replacement = std::make_shared<UpperTransformer>();
    ValueTransformer::setValueTransformer(replacement, "T.Upper");
    EXPECT_EQ(ValueTransformer::forName("T.Upper"), replacement);
    EXPECT_EQ(ValueTransformer::registeredNames(), before + QStringList({"T.Upper", "T.Second"}));
    ValueTransformer::setValueTransformer(nullptr, "T.Upper");
    ValueTransformer::setValueTransformer(nullptr, "T.Second");
    EXPECT_EQ(ValueTransformer::forName("T.Upper"), nullptr);
    EXPECT_EQ(ValueTransformer::registeredNames(), before);
}

TEST(ValueTransformerTest, RegistryHoldsUpUnderConcurrentUse) {
    std::atomic<int> lost{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &lost] {
            for (int i = 0; i < 100; ++i) {
                const QString name = QStringLiteral("T.%1.%2").arg(t).arg(i);
                auto mine = std::make_shared<UpperTransformer>();
                ValueTransformer::setValueTransformer(mine, name);
                if (ValueTransformer::forName(name) != mine) lost.fetch_add(1);
                ValueTransformer::setValueTransformer(nullptr, name);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_FALSE(ValueTransformer::registeredNames().join(',').contains("T."));
}

}  // namespace
