#include "playback/forms/snapshot_list.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include "app/forms/plain_text.h"
#include "platform/messages.h"
#include "playback/forms/show_image.h"
#include "playback/snapshot_info.h"

namespace {

QPointer<TFormSnapshotList> g_form;

constexpr int FramePen = 4;
constexpr int BottomGap = 25;

} // namespace

TFormSnapshotList::TFormSnapshotList(QWidget *owner) : QWidget(owner, Qt::Tool)
{
    setObjectName("FormSnapshotList");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Snapshot");
    BuildControls();
    ApplyLanguage();
    adjustSize();
    setFixedSize(size());
    PlaceOnScreen();
    SelectedIndex = 0;
    Clamp();
    LoadPage();
    SelectImage(0);
}

TSnapshotInfo *TFormSnapshotList::Store() const
{
    return StoreOverride ? StoreOverride : SnapshotInfo;
}

void TFormSnapshotList::BuildControls()
{
    auto button = [this](const char *name, const char *text) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(text);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    ToolButtonPrePage = button("ToolButtonPrePage", "Previous");
    ToolButtonNextPage = button("ToolButtonNextPage", "Next");
    ToolButtonView = button("ToolButtonView", "View");
    ToolButtonSave = button("ToolButtonSave", "Save");
    ToolButtonSaveAll = button("ToolButtonSaveAll", "Save All");
    ToolButtonDelete = button("ToolButtonDelete", "Delete");
    ToolButtonDeleteAll = button("ToolButtonDeleteAll", "Delete All");
    ToolButtonExit = button("ToolButtonExit", "Exit");
    LabelPage = new QLabel("0/0", this);
    LabelPage->setObjectName("LabelPage");
    LabelPage->setTextFormat(Qt::PlainText);
    LabelPage->setAlignment(Qt::AlignCenter);
    LabelPage->setMinimumWidth(48);

    PopupMenu = new QMenu(this);
    itemPrePage = PopupMenu->addAction("Previous");
    itemNextPage = PopupMenu->addAction("Next");
    PopupMenu->addSeparator();
    itemView = PopupMenu->addAction("View");
    itemSave = PopupMenu->addAction("Save");
    itemSaveAll = PopupMenu->addAction("Save All");
    PopupMenu->addSeparator();
    itemDelete = PopupMenu->addAction("Delete");
    itemDeleteAll = PopupMenu->addAction("Delete All");
    PopupMenu->addSeparator();
    itemExit = PopupMenu->addAction("Exit");

    const std::pair<QToolButton *, QAction *> pairs[] = {
        {ToolButtonPrePage, itemPrePage},     {ToolButtonNextPage, itemNextPage},
        {ToolButtonView, itemView},           {ToolButtonSave, itemSave},
        {ToolButtonSaveAll, itemSaveAll},     {ToolButtonDelete, itemDelete},
        {ToolButtonDeleteAll, itemDeleteAll}, {ToolButtonExit, itemExit}};
    const std::array<void (TFormSnapshotList::*)(), 8> handlers = {
        &TFormSnapshotList::PrePageClick,   &TFormSnapshotList::NextPageClick,
        &TFormSnapshotList::ViewClick,      &TFormSnapshotList::SaveClick,
        &TFormSnapshotList::SaveAllClick,   &TFormSnapshotList::DeleteClick,
        &TFormSnapshotList::DeleteAllClick, &TFormSnapshotList::ExitClick};
    for (size_t i = 0; i < handlers.size(); ++i) {
        const auto handler = handlers[i];
        connect(pairs[i].first, &QToolButton::clicked, this,
                [this, handler] { (this->*handler)(); });
        connect(pairs[i].second, &QAction::triggered, this,
                [this, handler] { (this->*handler)(); });
    }

    auto *tools = new QHBoxLayout;
    tools->setSpacing(2);
    for (QToolButton *b : {ToolButtonPrePage, ToolButtonNextPage, ToolButtonView, ToolButtonSave,
                           ToolButtonSaveAll, ToolButtonDelete, ToolButtonDeleteAll})
        tools->addWidget(b);
    tools->addStretch();
    tools->addWidget(LabelPage);
    tools->addWidget(ToolButtonExit);

    auto *strip = new QHBoxLayout;
    strip->setSpacing(12);
    for (int i = 0; i < PageSize; ++i) {
        auto *image = new QLabel(this);
        image->setObjectName(QString("Image%1").arg(i + 1));
        image->setFixedSize(ThumbSize, ThumbSize);
        image->setScaledContents(true);
        image->installEventFilter(this);
        Images[size_t(i)] = image;
        strip->addWidget(image);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 10);
    layout->setSpacing(8);
    layout->addLayout(tools);
    layout->addLayout(strip);
}

void TFormSnapshotList::ApplyLanguage()
{
    TranslateSnapshotKey("Snapshot",
                         [this](const QString &text, const QString &) { setWindowTitle(text); });
    const std::tuple<const char *, QToolButton *, QAction *> keys[] = {
        {"PrePage", ToolButtonPrePage, itemPrePage},
        {"NextPage", ToolButtonNextPage, itemNextPage},
        {"ViewPic", ToolButtonView, itemView},
        {"SavePic", ToolButtonSave, itemSave},
        {"SaveAllPic", ToolButtonSaveAll, itemSaveAll},
        {"Delete", ToolButtonDelete, itemDelete},
        {"DeleteAll", ToolButtonDeleteAll, itemDeleteAll},
        {"Exit", ToolButtonExit, itemExit}};
    for (const auto &[key, button, item] : keys) {
        QToolButton *b = button;
        QAction *a = item;
        TranslateSnapshotKey(key, [b, a](const QString &text, const QString &hint) {
            b->setText(text);
            b->setToolTip(PlainToolTip(hint));
            a->setText(text);
        });
    }
}

void TFormSnapshotList::PlaceOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + area.height() - height() - BottomGap);
}

void TFormSnapshotList::Clamp()
{
    TSnapshotInfo *store = Store();
    const int count = store ? store->Count() : 0;
    if (count == 0) {
        SelectedIndex = 0;
        EraseFrame();
        FrameShown = false;
    } else {
        SelectedIndex = std::clamp(SelectedIndex, 0, count - 1);
    }
    PageCount = (count + PageSize - 1) / PageSize;
}

void TFormSnapshotList::LoadPage()
{
    for (QLabel *image : Images) {
        image->clear();
        image->setProperty("filled", false);
    }
    TSnapshotInfo *store = Store();
    const int count = store ? store->Count() : 0;
    const int first = FirstOfPage();
    const int last = std::min(first + PageSize - 1, count - 1);
    for (int i = first; i <= last; ++i) {
        QLabel *image = Images[size_t(i - first)];
        // The thumbnail keeps a small copy, not the whole frame.
        image->setPixmap(QPixmap::fromImage(store->Picture(i).scaled(
            ThumbSize, ThumbSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        image->setProperty("filled", true);
    }
    RefreshControls();
}

int TFormSnapshotList::FilledImages() const
{
    int n = 0;
    for (QLabel *image : Images)
        n += image->property("filled").toBool();
    return n;
}

void TFormSnapshotList::RefreshControls()
{
    TSnapshotInfo *store = Store();
    const int count = store ? store->Count() : 0;
    const bool c = count > 0;
    const auto enable = [](QToolButton *b, QAction *a, bool on) {
        b->setEnabled(on);
        a->setEnabled(on);
    };
    enable(ToolButtonView, itemView, c);
    enable(ToolButtonPrePage, itemPrePage, c && SelectedIndex > PageSize - 1);
    enable(ToolButtonNextPage, itemNextPage, c && SelectedIndex < PageCount * PageSize - PageSize);
    enable(ToolButtonDelete, itemDelete, c);
    enable(ToolButtonDeleteAll, itemDeleteAll, c);
    enable(ToolButtonSave, itemSave, c);
    enable(ToolButtonSaveAll, itemSaveAll, c);
    LabelPage->setText(
        c ? QString("%1/%2").arg((SelectedIndex + PageSize) / PageSize).arg(PageCount)
          : QString("0/0"));
}

QRect TFormSnapshotList::SelectionRect() const
{
    if (FrameSlot < 0 || FrameSlot >= PageSize)
        return {};
    return Images[size_t(FrameSlot)]->geometry().adjusted(-1, -1, 1, 1);
}

void TFormSnapshotList::EraseFrame()
{
    if (FrameShown)
        update(SelectionRect().adjusted(-FramePen, -FramePen, FramePen, FramePen));
}

void TFormSnapshotList::SelectImage(int slot)
{
    if (slot < 0 || slot >= PageSize || !Images[size_t(slot)]->property("filled").toBool())
        return;
    EraseFrame();
    FrameSlot = slot;
    FrameShown = true;
    SelectedIndex = FirstOfPage() + slot;
    update(SelectionRect().adjusted(-FramePen, -FramePen, FramePen, FramePen));
}

void TFormSnapshotList::paintEvent(QPaintEvent *)
{
    // A frame that is empty or touches the window's left or top edge is not
    // drawn.
    const QRect frame = SelectionRect();
    if (!FrameShown || frame.isEmpty() || frame.left() <= 0 || frame.top() <= 0)
        return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::yellow, FramePen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
}

void TFormSnapshotList::Refresh()
{
    show();
    raise();
    Clamp();
    LoadPage();
    SelectImage(0);
}

void TFormSnapshotList::PrePageClick()
{
    Clamp();
    SelectedIndex = std::max(0, SelectedIndex - PageSize);
    // The frame stays on the same slot of the new page.
    LoadPage();
}

void TFormSnapshotList::NextPageClick()
{
    Clamp();
    TSnapshotInfo *store = Store();
    if (!store || store->Count() == 0)
        return;
    SelectedIndex = std::min(SelectedIndex + PageSize, store->Count() - 1);
    LoadPage();
    SelectImage(0);
}

void TFormSnapshotList::MoveSelection(bool right)
{
    const int n = FilledImages();
    if (n == 0)
        return;
    const int slot = SelectedIndex % PageSize;
    SelectImage(right ? (slot + 1) % n : (slot + n - 1) % n);
}

void TFormSnapshotList::ViewClick()
{
    TSnapshotInfo *store = Store();
    if (!store || store->Count() == 0)
        return;
    ShowSnapshotImage(store->Picture(SelectedIndex), this);
}

void TFormSnapshotList::SaveClick()
{
    TSnapshotInfo *store = Store();
    if (!store || store->Count() == 0)
        return;
    const QString name = SnapshotSaveDialog(this);
    if (name.isEmpty())
        ShowWarning(1022);
    else if (!store->SaveOne(SelectedIndex, name))
        ShowWarning(1020);
}

void TFormSnapshotList::SaveAllClick()
{
    TSnapshotInfo *store = Store();
    if (!store || store->Count() == 0)
        return;
    const QString name = SnapshotSaveDialog(this);
    if (name.isEmpty())
        ShowWarning(1022);
    else if (!store->SaveAll(name))
        ShowWarning(1020);
}

void TFormSnapshotList::DeleteClick()
{
    TSnapshotInfo *store = Store();
    if (!store || !store->Delete(SelectedIndex))
        return;
    Clamp();
    LoadPage();
    const int n = FilledImages();
    if (n > 0 && SelectedIndex % PageSize >= n - 1)
        SelectImage(n - 1);
}

void TFormSnapshotList::DeleteAllClick()
{
    if (TSnapshotInfo *store = Store())
        store->Clear();
    Clamp();
    LoadPage();
}

void TFormSnapshotList::ExitClick()
{
    close();
}

void TFormSnapshotList::keyReleaseEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        MoveSelection(false);
        break;
    case Qt::Key_Right:
        MoveSelection(true);
        break;
    case Qt::Key_Delete:
        DeleteClick();
        break;
    default:
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
}

void TFormSnapshotList::contextMenuEvent(QContextMenuEvent *event)
{
    RefreshControls();
    PopupMenu->exec(event->globalPos());
}

bool TFormSnapshotList::eventFilter(QObject *watched, QEvent *event)
{
    const auto slot = std::find(Images.begin(), Images.end(), watched);
    if (slot != Images.end() && event->type() == QEvent::MouseButtonPress) {
        SelectImage(int(slot - Images.begin()));
        return true;
    }
    if (slot != Images.end() && event->type() == QEvent::MouseButtonDblClick) {
        // The double-click selects first, then opens the viewer.
        SelectImage(int(slot - Images.begin()));
        if ((*slot)->property("filled").toBool())
            ViewClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

TFormSnapshotList *ShowSnapshotList(QWidget *owner)
{
    if (g_form) {
        g_form->Refresh();
        return g_form;
    }
    g_form = new TFormSnapshotList(owner);
    g_form->show();
    return g_form;
}

TFormSnapshotList *SnapshotListForm()
{
    return g_form;
}
