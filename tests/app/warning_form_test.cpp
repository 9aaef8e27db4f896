#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/forms/warning_form.h"
#include "channels/languages.h"
#include "platform/messages.h"
#include "test_env.h"

namespace {

class WarningDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { SetWarningPresenter(&Presenter); }
    void TearDown() override
    {
        SetWarningPresenter(nullptr);
        SetMessageTranslator(nullptr);
    }

    // Runs code once the dialog's modal loop is up.
    void WhileOpen(std::function<void()> action)
    {
        QTimer::singleShot(0, [this, action] {
            Seen = Presenter.Current() ? Presenter.Current()->Lines() : QStringList();
            action();
            if (Presenter.Current())
                Presenter.Current()->BitBtnOK->click();
        });
    }

    TWarningDialogPresenter Presenter;
    QStringList Seen;
};

TEST_F(WarningDialogTest, LinesOfANumberedMessage)
{
    WhileOpen([] {});
    ShowWarning(1103, 0);
    EXPECT_EQ(Seen, QStringList({"Main setting is corrupted, load default setting...", "(1103)"}));
    EXPECT_FALSE(WarningOpen());
    EXPECT_EQ(Presenter.Current(), nullptr) << "the dialog is freed when it closes";

    WhileOpen([] {});
    ShowWarning(1000, 1010);
    EXPECT_EQ(Seen, QStringList({"Cannot Set capture device...", "Cannot find tuner interface...",
                                 "(1000)"}));

    WhileOpen([] {});
    ShowWarningText("Cannot write config....");
    EXPECT_EQ(Seen, QStringList({"Cannot write config...."}));
}

TEST_F(WarningDialogTest, OneDialogAtATimeAndCloseWarningEndsIt)
{
    QStringList seenSecond;
    WhileOpen([&] {
        EXPECT_TRUE(WarningOpen());
        EXPECT_EQ(OpenWarningText(), "Cannot preview, maybe some program use same interface or "
                                     "something wrong...\n(1002)");
        // Raised while the first is open: dropped, not queued.
        ShowWarning(1003, 0);
        ShowWarningText("another");
        CloseWarning();
    });
    ShowWarning(1002, 0);
    EXPECT_FALSE(WarningOpen());
    // Nothing was queued: the next warning shows its own text only.
    WhileOpen([] {});
    ShowWarning(1105, 0);
    EXPECT_EQ(Seen, QStringList({"No items to playback", "(1105)"}));
}

TEST_F(WarningDialogTest, LanguageTextsReplaceCaptionsAndMessages)
{
    const QString folder = TestEnv::NewFolder("lang");
    TestEnv::WriteFile(folder + "/Lang.cfg", "Test\n");
    TestEnv::WriteFile(folder + "/Test.lng", "[language]=German\nWarning=Warnung\n"
                                             "OK=OK@Schließen\n1103=Einstellungen beschädigt\n");
    TMultiLangInfo lang(folder + "/Lang.cfg");
    TMultiLangInfo *saved = MultiLangInfo;
    MultiLangInfo = &lang;
    SetMessageTranslator([&](const QString &key) { return lang.Translate(key); });

    QString title, label, hint;
    QTimer::singleShot(0, [&] {
        TFormWarning *dialog = Presenter.Current();
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        label = dialog->LabelWarning->text();
        hint = dialog->BitBtnOK->toolTip();
        Seen = dialog->Lines();
        dialog->BitBtnOK->click();
    });
    ShowWarning(1103, 1104);
    MultiLangInfo = saved;
    EXPECT_EQ(title, "Warnung");
    EXPECT_EQ(label, "Warnung");
    EXPECT_EQ(hint, QString::fromUtf8("Schließen"));
    EXPECT_EQ(Seen,
              QStringList({QString::fromUtf8("Einstellungen beschädigt"),
                           "TV Cahnnel setting is corrupted, please re-set your TV channel...",
                           "(1103)"}));
}

TEST(Messages, TableTextsAndUnknownNumbers)
{
    EXPECT_EQ(MessageText(1016), "Cannot find de-interlace filter");
    EXPECT_EQ(MessageText(2010),
              "Since your TV frequency table is modified by different TV "
              "system, you should execute TV-Setup agagin to set new TV system.");
    EXPECT_TRUE(MessageText(1029).isEmpty());
    EXPECT_TRUE(MessageText(0).isEmpty());
    EXPECT_EQ(MessageNumbers().size(), 47);
    // Without a presenter a warning is only logged and nothing stays open.
    ShowWarning(1000, 0);
    EXPECT_FALSE(WarningOpen());
}

} // namespace
