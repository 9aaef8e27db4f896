#include "playback/forms/play_list_menu.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/forms/plain_text.h"
#include "channels/languages.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "playback/playback_info.h"

namespace {

QPointer<TFormPlayListMenu> g_form;

// One held-back "next item" at most, however often the end is reported
// during a wait.
const char EndKey = 0;

} // namespace

TFormPlayListMenu::TFormPlayListMenu(TPlaybackInfo *info, QWidget *owner)
    : QWidget(owner, Qt::Tool), Info(info)
{
    setObjectName("FormPlayListMenu");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Play List");

    ListBoxPlaybak = new QListWidget(this);
    ListBoxPlaybak->setObjectName("ListBoxPlaybak");
    ListBoxPlaybak->setStyleSheet("QListWidget { background: black; color: lime; }");
    ListBoxPlaybak->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBoxPlaybak->installEventFilter(this);
    auto button = [this](const char *name, QStyle::StandardPixmap icon, const char *hint) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(icon));
        b->setText(hint);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    ToolButtonPrevious =
        button("ToolButtonPrevious", QStyle::SP_MediaSkipBackward, "Previous Track");
    ToolButtonNext = button("ToolButtonNext", QStyle::SP_MediaSkipForward, "Next Track");
    ToolButtonDelete = button("ToolButtonDelete", QStyle::SP_DialogDiscardButton, "Delete");
    ToolButtonExit = button("ToolButtonExit", QStyle::SP_DialogCloseButton, "Exit");
    connect(ToolButtonPrevious, &QToolButton::clicked, this, [this] { ToolButtonPreviousClick(); });
    connect(ToolButtonNext, &QToolButton::clicked, this, [this] { ToolButtonNextClick(); });
    connect(ToolButtonDelete, &QToolButton::clicked, this, [this] { ToolButtonDeleteClick(); });
    connect(ToolButtonExit, &QToolButton::clicked, this, [this] { ToolButtonExitClick(); });
    connect(ListBoxPlaybak, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { ListBoxDoubleClick(ListBoxPlaybak->row(item)); });

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    for (QToolButton *b : {ToolButtonPrevious, ToolButtonNext, ToolButtonDelete})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(ToolButtonExit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(ListBoxPlaybak);
    layout->addLayout(buttons);
    resize(240, 200);
    ApplyLanguage();

    if (Info) {
        PreviousItemChanged = Info->OnItemChanged;
        Info->OnItemChanged = [this](TPlaybackInfo &info, int index) {
            if (PreviousItemChanged)
                PreviousItemChanged(info, index);
            SelectLine(index);
        };
        Hooked = true;
    }
    Refresh();
    SelectLine(0);
}

TFormPlayListMenu::~TFormPlayListMenu()
{
    Unhook();
}

void TFormPlayListMenu::Unhook()
{
    if (Hooked && Info)
        Info->OnItemChanged = PreviousItemChanged;
    Hooked = false;
}

void TFormPlayListMenu::closeEvent(QCloseEvent *event)
{
    // The window is freed later, from the event loop; from now on it is
    // gone for the play list and for the next playback, which may open a
    // window of its own before then.
    Unhook();
    if (g_form == this)
        g_form = nullptr;
    QWidget::closeEvent(event);
}

void TFormPlayListMenu::ApplyLanguage()
{
    QString text, hint;
    auto translate = [&](const char *key) {
        return MultiLangInfo && MultiLangInfo->Translate(key, text, hint) && !text.isEmpty();
    };
    if (translate("PlayList"))
        setWindowTitle(text);
    const std::pair<const char *, QToolButton *> keys[] = {{"PreTrack", ToolButtonPrevious},
                                                           {"NextTrack", ToolButtonNext},
                                                           {"Delete", ToolButtonDelete},
                                                           {"Exit", ToolButtonExit}};
    for (const auto &[key, b] : keys)
        if (translate(key))
            b->setToolTip(PlainToolTip(hint.isEmpty() ? text : hint));
}

void TFormPlayListMenu::PlaceBesideOwner()
{
    QWidget *owner = parentWidget();
    if (!owner)
        return;
    const QRect frame = owner->frameGeometry();
    QScreen *screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    QPoint at(frame.right() + 1, frame.top());
    if (area.isValid() && at.x() + width() > area.right())
        at.setX(std::max(area.left(), frame.left() - frameGeometry().width()));
    move(at);
}

QStringList TFormPlayListMenu::Lines() const
{
    QStringList lines;
    for (int i = 0; i < ListBoxPlaybak->count(); ++i)
        lines << ListBoxPlaybak->item(i)->text();
    return lines;
}

void TFormPlayListMenu::Refresh()
{
    ListBoxPlaybak->clear();
    if (!Info)
        return;
    for (const QString &path : Info->PlayList)
        ListBoxPlaybak->addItem(QFileInfo(path).fileName());
    SelectLine(Info->CurrentIndex);
}

void TFormPlayListMenu::SelectLine(int index)
{
    if (index >= 0 && index < ListBoxPlaybak->count())
        ListBoxPlaybak->setCurrentRow(index);
}

int TFormPlayListMenu::SelectedLine() const
{
    return ListBoxPlaybak->currentRow();
}

bool TFormPlayListMenu::PlayingLine(int line) const
{
    // After a file failed to play, CurrentIndex names the item that moved
    // into its place, which is not playing.
    return Info && line == Info->CurrentIndex && line < Info->PlayList.size() &&
           Info->PlayList[line] == Info->CurrentFile;
}

void TFormPlayListMenu::ToolButtonPreviousClick()
{
    if (Info)
        Info->PlayPrevious();
    Refresh();
}

void TFormPlayListMenu::ToolButtonNextClick()
{
    if (Info)
        Info->PlayNext();
    Refresh();
}

void TFormPlayListMenu::ToolButtonDeleteClick()
{
    const int line = SelectedLine();
    if (!Info || line < 0)
        return;
    if (PlayingLine(line)) {
        ShowWarning(1106);
        return;
    }
    if (Info->DeletePlayListItem(line))
        delete ListBoxPlaybak->takeItem(line);
    SelectLine(std::min(line, int(ListBoxPlaybak->count()) - 1));
}

void TFormPlayListMenu::ToolButtonExitClick()
{
    close();
}

void TFormPlayListMenu::ListBoxDoubleClick(int line)
{
    if (!Info || line < 0 || PlayingLine(line))
        return;
    // A file that fails to play leaves the play list, and its line goes
    // with it.
    Info->PlayItem(line);
    Refresh();
}

void TFormPlayListMenu::PlaybackEnded()
{
    // The end is reported from the playback engine's own handler; the next
    // file's graph is built after that handler has returned.
    QMetaObject::invokeMethod(
        this,
        [this] {
            RunOutsideWaits(
                this,
                [this] {
                    // Closed meanwhile: the playback has ended with its mode.
                    if (g_form != this || !Info)
                        return;
                    Info->PlayNext();
                    Refresh();
                },
                &EndKey);
        },
        Qt::QueuedConnection);
}

bool TFormPlayListMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBoxPlaybak && event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat() && key->key() == Qt::Key_Up) {
            ToolButtonPreviousClick();
            return true;
        }
        if (!key->isAutoRepeat() && key->key() == Qt::Key_Down) {
            ToolButtonNextClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormPlayListMenu::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    Dragging = true;
    DragOffset = event->globalPosition().toPoint() - pos();
}

void TFormPlayListMenu::mouseMoveEvent(QMouseEvent *event)
{
    if (Dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - DragOffset);
}

void TFormPlayListMenu::mouseReleaseEvent(QMouseEvent *event)
{
    Dragging = false;
    QWidget::mouseReleaseEvent(event);
}

TFormPlayListMenu *OpenPlayListMenu(QWidget *owner)
{
    if (!g_form) {
        g_form = new TFormPlayListMenu(PlaybackInfo, owner);
        g_form->show();
        g_form->PlaceBesideOwner();
    } else {
        g_form->Refresh();
        g_form->show();
    }
    g_form->raise();
    return g_form;
}

void ClosePlayListMenu()
{
    if (g_form)
        g_form->close();
}

TFormPlayListMenu *PlayListMenu()
{
    return g_form;
}
