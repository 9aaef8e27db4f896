// The about box: the OEM record's texts and the links it opens.
#include <QLabel>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/forms/about_box.h"
#include "app/oem_info.h"
#include "test_env.h"

TEST(AboutBox, ShowsTheOEMRecordAndOpensItsLinks)
{
    const QString folder = TestEnv::NewFolder("oem");
    TestEnv::WriteFile(folder + "/PInfo.cfg", "Vega TV\nVega Labs\nAll rights reserved.\nV 3.1 \n"
                                              "https://vega.example/\nhelp@vega.example\n");
    TOEMInfo oem;
    oem.LoadOEMInfo(folder + "/PInfo.cfg");
    OEMInfo = &oem;
    QList<QUrl> opened;
    SetUrlOpener([&](const QUrl &url) {
        opened << url;
        return true;
    });
    {
        TFormAbout box;
        EXPECT_TRUE(box.windowTitle().endsWith("Vega TV"));
        EXPECT_EQ(box.LabelProduct->text(), "Vega TV");
        EXPECT_EQ(box.LabelCompany->text(), "Vega Labs");
        EXPECT_TRUE(box.LabelVersion->text().startsWith("V 3.1"));
        EXPECT_TRUE(box.LabelVersion->text().contains(LYRA_VERSION));
        // The links carry the record's addresses, escaped as text.
        emit box.LabelWeb->linkActivated("https://vega.example/");
        emit box.LabelMail->linkActivated("mailto:help@vega.example");
    }
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl("https://vega.example/"));
    EXPECT_EQ(opened[1], QUrl("mailto:help@vega.example"));

    // Markup in the record stays text.
    oem.ProductName = "<b>Bold</b>";
    oem.WebAddress = "https://x.example/?a=1&b=\"2\"";
    {
        TFormAbout box;
        EXPECT_EQ(box.LabelProduct->text(), "<b>Bold</b>");
        EXPECT_EQ(box.LabelProduct->textFormat(), Qt::PlainText);
        EXPECT_TRUE(box.LabelWeb->text().contains("&amp;b=&quot;2&quot;"));
    }
    SetUrlOpener(nullptr);
    OEMInfo = nullptr;
}
