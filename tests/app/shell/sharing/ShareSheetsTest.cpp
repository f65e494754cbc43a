#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "app/sharing/ObjCShare.h"
#include "app/sharing/ObjCShareInfo.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareTestSupport.h"
#include "app/shell/sharing/ContactAddresses.h"
#include "app/shell/sharing/ShareInfoPasswordViewController.h"
#include "app/shell/sharing/ShareItemViewController.h"
#include "platform/appkit/Alert.h"

namespace {

class ShareSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    }
    void TearDown() override { Alert::setResponder({}); }

    ScopedSharingFacade scoped;
    ShareController controller{OVShareControllerDependencyProvider{&scoped.facade()}};
    std::shared_ptr<FakeFile> item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), infoAt(QStringLiteral("root/f.txt")));
    std::shared_ptr<ObjCShare> share = ObjCShare::make(item);
};

TEST_F(ShareSheetTest, PasswordsAreCountedAsTheUserSeesThemAndCheckedBeforeTheRepetition) {
    LocalizationController texts;
    const QString invalid = texts.shPasswordLabelPasswordInvalid();
    const QString mismatch = texts.shPasswordLabelPasswordsDoNotMatch();
    struct Row {
        QString password, repeated;
        std::optional<QString> error;  // none: sent
    };
    const Row rows[] = {
        {QStringLiteral("abcde"), QStringLiteral("abcde"), invalid},
        {QStringLiteral("abcdef"), QStringLiteral("abcdef"), std::nullopt},
        {QStringLiteral("Ab1!#$%&()*+,-./;:<>"), QStringLiteral("Ab1!#$%&()*+,-./;:<>"), std::nullopt},
        {QStringLiteral("Ab1!#$%&()*+,-./;:<>="), QStringLiteral("Ab1!#$%&()*+,-./;:<>="), invalid},
        {QStringLiteral("=?@[]^_{}|~"), QStringLiteral("=?@[]^_{}|~"), std::nullopt},
        {QStringLiteral("abc defg"), QStringLiteral("abc defg"), invalid},
        {QStringLiteral("caf\u00e9abcd"), QStringLiteral("caf\u00e9abcd"), invalid},
        {QStringLiteral("cafe\u0301ab"), QStringLiteral("cafe\u0301ab"), invalid},
        // Five letters and an emoji: six characters, one of them not allowed.
        {QStringLiteral("abcde\U0001F600"), QStringLiteral("abcde\U0001F600"), invalid},
        {QStringLiteral("abc\"def"), QStringLiteral("abc\"def"), invalid},
        {QStringLiteral("abcdefg"), QStringLiteral("abcdefh"), mismatch},
        {QStringLiteral("abc"), QStringLiteral("xyz"), invalid},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.password.toStdString());
        ShareInfoPasswordViewController sheet;
        sheet.setShareController(&controller);
        sheet.setRepresentedObject(share);
        sheet.passwordTextField()->setText(row.password);
        sheet.verifyPasswordTextField()->setText(row.repeated);
        const std::size_t before = item->settings.size();
        sheet.updatePassword();
        EXPECT_EQ(sheet.passwordError(), row.error);
        EXPECT_EQ(item->settings.size(), before + (row.error ? 0 : 1));
        if (!row.error) {
            EXPECT_EQ(item->settings.back().password, row.password);
            EXPECT_TRUE(share->shareInfo()->isPasswordProtected());
        }
    }
}

TEST_F(ShareSheetTest, RemovingThePasswordSendsTheEmptyTextAndAFailureKeepsTheLock) {
    share->shareInfo()->setIsPasswordProtected(true);
    item->infoResult = BusinessError::make(BusinessError::Kind::noConnection);
    ShareInfoPasswordViewController sheet;
    sheet.setShareController(&controller);
    sheet.setRepresentedObject(share);
    sheet.removePassword();
    EXPECT_EQ(item->settings.back().password, QString());
    EXPECT_TRUE(share->shareInfo()->isPasswordProtected());
    EXPECT_EQ(Alert::shownCount(), 1);
    item->infoResult = ShareInfo{};
    sheet.removePassword();
    EXPECT_FALSE(share->shareInfo()->isPasswordProtected());
}

TEST_F(ShareSheetTest, MailNeedsAnAddressKeepsItsTextsOnFailureAndStartsEmptyEachTime) {
    ShareItemViewController sheet;
    sheet.setShareController(&controller);
    sheet.setRepresentedObject(share);
    sheet.setEmails({QString(), QString()});
    EXPECT_FALSE(sheet.canSend());
    sheet.send();
    EXPECT_TRUE(item->recipients.empty());

    sheet.setEmails({QStringLiteral("b@x.example")});
    sheet.contactPicked(QStringLiteral("a@x.example"));
    sheet.setMessage(QStringLiteral("Hi"));
    EXPECT_TRUE(sheet.sendButton()->isEnabled());
    item->voidResult = BusinessError::make(BusinessError::Kind::noConnection);
    sheet.send();
    ASSERT_EQ(item->recipients.size(), 2u);
    EXPECT_EQ(item->recipients[1].mailAddress, QStringLiteral("a@x.example"));
    EXPECT_EQ(Alert::shownCount(), 1);
    EXPECT_FALSE(sheet.isSending());
    EXPECT_EQ(sheet.emails().size(), 2);
    EXPECT_EQ(sheet.message(), QStringLiteral("Hi"));

    item->voidResult = Success{};
    sheet.send();
    EXPECT_EQ(item->mailMessage, QStringLiteral("Hi"));
    // The next share's sheet never offers this one's recipients.
    QWidget window;
    sheet.presentAsSheet(&window);
    EXPECT_TRUE(sheet.emails().isEmpty());
    EXPECT_TRUE(sheet.message().isEmpty());
    EXPECT_FALSE(sheet.sendButton()->isEnabled());
    sheet.dismissController();
}

TEST(ContactAddressesTest, ReadsEveryMailAddressOfTheCards) {
    const QString cards = QStringLiteral(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEMAIL;TYPE=work:ann@x.example\r\nitem1.EMAIL;type=INTERNET:ann@y.ex\r\n"
        " ample\r\nEND:VCARD\r\nBEGIN:VCARD\nFN:Bob\nemail:bob@x.example\nNOTE:EMAIL:not@x.example\nEMAIL:ann@x.example\nEND:VCARD\n");
    EXPECT_EQ(ContactAddresses::inVCardText(cards),
              (QStringList{QStringLiteral("ann@x.example"), QStringLiteral("ann@y.example"), QStringLiteral("bob@x.example")}));
}

}  // namespace
