#include "app/forms/about_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/commands.h"
#include "app/oem_info.h"
#include "channels/languages.h"
#include "platform/log.h"

namespace {

std::function<void(TFormAbout *)> &Hook()
{
    static std::function<void(TFormAbout *)> hook;
    return hook;
}

QLabel *PlainLabel(const QString &text)
{
    auto *l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel *LinkLabel(const QString &href, const QString &text)
{
    auto *l = new QLabel(
        QString("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), text.toHtmlEscaped()));
    l->setTextFormat(Qt::RichText);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}

} // namespace

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent)
{
    const TOEMInfo defaults;
    const TOEMInfo &oem = OEMInfo ? *OEMInfo : defaults;
    QString caption = "About";
    if (MultiLangInfo) {
        const QString text = MultiLangInfo->Translate("About");
        if (!text.isEmpty())
            caption = text;
    }
    setWindowTitle(caption + " " + oem.ProductName);

    LabelProduct = PlainLabel(oem.ProductName);
    QFont big = LabelProduct->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    LabelProduct->setFont(big);
    LabelVersion = PlainLabel(oem.VersionText.trimmed() + "  (" LYRA_VERSION ")");
    LabelCompany = PlainLabel(oem.CompanyName);
    LabelLegal = PlainLabel(oem.LegalNotice);
    LabelLegal->setWordWrap(true);
    LabelWeb = LinkLabel(oem.WebAddress, oem.WebAddress);
    LabelMail = LinkLabel("mailto:" + oem.SupportEmail, oem.SupportEmail);
    for (QLabel *l : {LabelWeb, LabelMail})
        connect(l, &QLabel::linkActivated, this, &TFormAbout::LinkClick);

    BitBtnOK = new QPushButton("OK");
    if (MultiLangInfo) {
        const QString ok = MultiLangInfo->Translate("OK");
        if (!ok.isEmpty())
            BitBtnOK->setText(ok);
    }
    BitBtnOK->setDefault(true);
    connect(BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    for (QLabel *l : {LabelProduct, LabelVersion, LabelCompany, LabelLegal, LabelWeb, LabelMail})
        layout->addWidget(l);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(BitBtnOK);
    layout->addLayout(row);
    if (MultiLangInfo)
        setFont(LanguageFont(*MultiLangInfo));
}

void TFormAbout::LinkClick(const QString &link)
{
    if (!OpenUrl(QUrl(link)))
        qCWarning(lcUi) << "cannot open" << link;
}

void ShowAboutBox(QWidget *parent)
{
    TFormAbout box(parent);
    if (Hook())
        Hook()(&box);
    box.exec();
}

void SetAboutBoxHook(std::function<void(TFormAbout *)> hook)
{
    Hook() = std::move(hook);
}
