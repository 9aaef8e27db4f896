// The about box: the product as the OEM record names it, the program's
// version, and the maker's web and mail links. GUI thread only.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

class TFormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *parent = nullptr);

    QLabel *LabelProduct, *LabelVersion, *LabelCompany, *LabelLegal, *LabelWeb, *LabelMail;
    QPushButton *BitBtnOK;

    // A link was clicked: opened through the program's URL opener
    // (app/commands.h), so tests see the address without a browser.
    void LinkClick(const QString &link);
};

// Runs the about box modally.
void ShowAboutBox(QWidget *parent);

// Called with each about box right after it has been created (tests,
// screenshots).
void SetAboutBoxHook(std::function<void(TFormAbout *)> hook);
