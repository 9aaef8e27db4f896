// The snapshot list window: paging, the enabled rules, selection, delete,
// save, the language keys and the placement; offscreen.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QScreen>

#include <gtest/gtest.h>

#include "channels/languages.h"
#include "platform/messages.h"
#include "playback/forms/show_image.h"
#include "playback/forms/snapshot_list.h"
#include "playback/snapshot_info.h"
#include "snapshot_test_util.h"
#include "test_env.h"

namespace {

class TRecordingPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override { Shown << lines.join('\n'); }
    void Close() override {}
    bool ShownNumber(int number) const
    {
        return std::any_of(Shown.begin(), Shown.end(),
                           [&](const QString &s) { return s.contains(MessageText(number)); });
    }
    QStringList Shown;
};

// Picture i of the store is grey level 10 * i + 5, so a thumbnail tells
// which picture it shows.
QImage Numbered(int i)
{
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(qRgb(10 * i + 5, 10 * i + 5, 10 * i + 5));
    return image;
}

class SnapshotList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SnapshotInfo = &Store;
        SetWarningPresenter(&Presenter);
    }
    void TearDown() override
    {
        delete Form;
        SetSnapshotSaveDialog(nullptr);
        SetWarningPresenter(nullptr);
        SnapshotInfo = nullptr;
        MultiLangInfo = nullptr;
    }
    TFormSnapshotList &Open(int pictures)
    {
        for (int i = pictures - 1; i >= 0; --i)
            Store.Insert(Numbered(i));
        Form = ShowSnapshotList(nullptr);
        return *Form;
    }
    // Which picture a thumbnail shows (-1: none).
    static int Shows(const TFormSnapshotList &f, int slot)
    {
        const QLabel *image = f.Images[size_t(slot)];
        if (!image->property("filled").toBool())
            return -1;
        const QImage thumb = image->pixmap().toImage();
        EXPECT_EQ(thumb.size(), QSize(100, 100));
        return (qRed(thumb.pixel(50, 50)) - 5) / 10;
    }
    // Enabled state of every button, with the menu item checked against it:
    // Previous, Next, View, Save, Save All, Delete, Delete All, Exit.
    static std::string Enabled(const TFormSnapshotList &f)
    {
        const std::pair<QToolButton *, QAction *> pairs[] = {
            {f.ToolButtonPrePage, f.itemPrePage},     {f.ToolButtonNextPage, f.itemNextPage},
            {f.ToolButtonView, f.itemView},           {f.ToolButtonSave, f.itemSave},
            {f.ToolButtonSaveAll, f.itemSaveAll},     {f.ToolButtonDelete, f.itemDelete},
            {f.ToolButtonDeleteAll, f.itemDeleteAll}, {f.ToolButtonExit, f.itemExit}};
        std::string marks;
        for (const auto &[button, item] : pairs) {
            EXPECT_EQ(button->isEnabled(), item->isEnabled()) << button->objectName().toStdString();
            marks += button->isEnabled() ? 'x' : '.';
        }
        return marks;
    }
    void Release(int key)
    {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(Form, &event);
    }

    TSnapshotInfo Store;
    TRecordingPresenter Presenter;
    QPointer<TFormSnapshotList> Form;
};

TEST_F(SnapshotList, EmptyStore)
{
    TFormSnapshotList &f = Open(0);
    EXPECT_EQ(f.PageText(), "0/0");
    EXPECT_EQ(Enabled(f), ".......x");
    EXPECT_FALSE(f.FrameShown);
    EXPECT_EQ(f.FilledImages(), 0);
    EXPECT_EQ(f.PageCount, 0);
    // Commands on an empty store change nothing and open nothing.
    f.NextPageClick();
    f.PrePageClick();
    f.DeleteClick();
    f.SaveClick();
    f.ViewClick();
    EXPECT_EQ(f.SelectedIndex, 0);
    EXPECT_TRUE(Presenter.Shown.isEmpty());
}

TEST_F(SnapshotList, OnePictureAndOneFullPage)
{
    TFormSnapshotList &f = Open(1);
    EXPECT_EQ(f.PageText(), "1/1");
    EXPECT_EQ(Enabled(f), "..xxxxxx");
    EXPECT_TRUE(f.FrameShown);
    EXPECT_EQ(f.FrameSlot, 0);
    EXPECT_EQ(Shows(f, 0), 0);
    EXPECT_EQ(Shows(f, 1), -1);
    // An empty thumbnail cannot be selected.
    f.SelectImage(1);
    EXPECT_EQ(f.SelectedIndex, 0);
    delete Form;

    Store.Clear();
    TFormSnapshotList &g = Open(5);
    EXPECT_EQ(g.PageText(), "1/1");
    EXPECT_EQ(g.PageCount, 1);
    EXPECT_EQ(Enabled(g), "..xxxxxx");
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(Shows(g, slot), slot);
    // Arrows move within the page and wrap round.
    Release(Qt::Key_Left);
    EXPECT_EQ(g.SelectedIndex, 4);
    Release(Qt::Key_Right);
    EXPECT_EQ(g.SelectedIndex, 0);
    Release(Qt::Key_Right);
    EXPECT_EQ(g.SelectedIndex, 1);
    EXPECT_EQ(g.FrameSlot, 1);
    // The yellow frame is painted around the selected thumbnail only.
    const QImage shot = g.grab().toImage();
    const QRect frame = g.SelectionRect();
    ASSERT_EQ(frame, g.Images[1]->geometry().adjusted(-1, -1, 1, 1));
    EXPECT_EQ(shot.pixel(frame.left(), frame.center().y()), qRgb(255, 255, 0));
    EXPECT_EQ(shot.pixel(frame.center().x(), frame.bottom()), qRgb(255, 255, 0));
    const QRect other = g.Images[3]->geometry().adjusted(-1, -1, 1, 1);
    EXPECT_NE(shot.pixel(other.left(), other.center().y()), qRgb(255, 255, 0));
}

TEST_F(SnapshotList, SixPicturesPageByPage)
{
    TFormSnapshotList &f = Open(6);
    EXPECT_EQ(f.PageCount, 2);
    EXPECT_EQ(f.PageText(), "1/2");
    EXPECT_EQ(Enabled(f), ".xxxxxxx");
    f.SelectImage(2);
    f.NextPageClick();
    // Next page selects its first thumbnail.
    EXPECT_EQ(f.SelectedIndex, 5);
    EXPECT_EQ(f.PageText(), "2/2");
    EXPECT_EQ(Enabled(f), "x.xxxxxx");
    EXPECT_EQ(f.FilledImages(), 1);
    EXPECT_EQ(Shows(f, 0), 5);
    // Arrows on a page of one stay on it.
    Release(Qt::Key_Right);
    EXPECT_EQ(f.SelectedIndex, 5);
    f.PrePageClick();
    EXPECT_EQ(f.SelectedIndex, 0);
    EXPECT_EQ(f.PageText(), "1/2");
    EXPECT_EQ(Shows(f, 4), 4);

    // Deleting the only picture of the last page shows the page before with
    // its last thumbnail framed.
    f.NextPageClick();
    f.DeleteClick();
    EXPECT_EQ(Store.Count(), 5);
    EXPECT_EQ(f.SelectedIndex, 4);
    EXPECT_EQ(f.PageText(), "1/1");
    EXPECT_EQ(Enabled(f), "..xxxxxx");
    EXPECT_EQ(f.FrameSlot, 4);
    // Delete in the middle keeps the slot, which now shows the next picture.
    f.SelectImage(1);
    Release(Qt::Key_Delete);
    EXPECT_EQ(Store.Count(), 4);
    EXPECT_EQ(f.SelectedIndex, 1);
    EXPECT_EQ(Shows(f, 1), 2);
    f.DeleteAllClick();
    EXPECT_EQ(Store.Count(), 0);
    EXPECT_EQ(f.PageText(), "0/0");
    EXPECT_FALSE(f.FrameShown);
    EXPECT_EQ(Enabled(f), ".......x");
}

TEST_F(SnapshotList, ElevenPicturesThreePages)
{
    TFormSnapshotList &f = Open(11);
    EXPECT_EQ(f.PageCount, 3);
    EXPECT_EQ(f.PageText(), "1/3");
    EXPECT_EQ(Enabled(f), ".xxxxxxx");
    f.NextPageClick();
    EXPECT_EQ(f.PageText(), "2/3");
    EXPECT_EQ(Enabled(f), "xxxxxxxx");
    EXPECT_EQ(Shows(f, 4), 9);
    f.SelectImage(3);
    f.NextPageClick();
    EXPECT_EQ(f.SelectedIndex, 10);
    EXPECT_EQ(f.PageText(), "3/3");
    EXPECT_EQ(Enabled(f), "x.xxxxxx");
    // Previous keeps the slot: picture 5 of page 2.
    f.PrePageClick();
    EXPECT_EQ(f.SelectedIndex, 5);
    EXPECT_EQ(f.PageText(), "2/3");
    f.PrePageClick();
    EXPECT_EQ(f.SelectedIndex, 0);
    f.PrePageClick();
    EXPECT_EQ(f.SelectedIndex, 0);

    // A new snapshot arrives while on page 2: the page is reloaded and its
    // first thumbnail selected.
    f.NextPageClick();
    f.SelectImage(2);
    Store.Insert(Numbered(20));
    EXPECT_EQ(ShowSnapshotList(nullptr), Form.data());
    EXPECT_EQ(f.SelectedIndex, 5);
    EXPECT_EQ(f.PageText(), "2/3");
    EXPECT_EQ(Shows(f, 0), 4); // the old picture 4 moved to index 5
    // The store outlives the window.
    f.ExitClick();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Form.isNull());
    EXPECT_EQ(Store.Count(), 12);
    EXPECT_EQ(SnapshotListForm(), nullptr);
}

TEST_F(SnapshotList, SaveDialogsAndTheirFailures)
{
    TFormSnapshotList &f = Open(3);
    const QString dir = TestEnv::NewFolder("listsave");
    QString answer;
    SetSnapshotSaveDialog([&](QWidget *) { return answer; });

    f.SaveClick(); // cancelled
    EXPECT_TRUE(Presenter.ShownNumber(1022));
    Presenter.Shown.clear();
    f.SaveAllClick();
    EXPECT_TRUE(Presenter.ShownNumber(1022));
    Presenter.Shown.clear();

    f.SelectImage(1);
    answer = dir + "/one.jpg";
    f.SaveClick();
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    const QImage saved = DecodeJpeg(TestEnv::ReadFile(answer));
    EXPECT_EQ(saved.size(), QSize(64, 48));
    EXPECT_NEAR(qRed(saved.pixel(10, 10)), 15, 2); // picture 1

    answer = dir + "/all.JPG";
    f.SaveAllClick();
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            ReadBitmapHeader(TestEnv::ReadFile(QString("%1/all%2.JPG").arg(dir).arg(i))).Valid);

    // A file that cannot be written is reported, not passed over.
    answer = dir + "/missing/x.bmp";
    f.SaveClick();
    EXPECT_TRUE(Presenter.ShownNumber(1020));

    EXPECT_EQ(WithDefaultExtension("/a/Snapshot", true), "/a/Snapshot.jpg");
    EXPECT_EQ(WithDefaultExtension("/a/Snapshot", false), "/a/Snapshot.bmp");
    EXPECT_EQ(WithDefaultExtension("/a/Snapshot.png", true), "/a/Snapshot.png");
    EXPECT_EQ(WithDefaultExtension("", true), "");
}

TEST_F(SnapshotList, LanguageKeysAndPlacement)
{
    TMultiLangInfo lang;
    lang.CurrentLines = {"Snapshot=Schnappschuss@Bild",
                         "PrePage=Zurück@Vorherige Seite",
                         "NextPage=Weiter@Nächste Seite",
                         "ViewPic=Ansehen",
                         "SavePic=Speichern",
                         "SaveAllPic=Alle speichern",
                         "Delete=Löschen",
                         "DeleteAll=Alle löschen",
                         "Exit=Beenden@Schließen"};
    MultiLangInfo = &lang;
    TFormSnapshotList &f = Open(2);
    EXPECT_EQ(f.windowTitle(), "Schnappschuss");
    EXPECT_EQ(f.ToolButtonPrePage->text(), "Zurück");
    EXPECT_EQ(f.ToolButtonPrePage->toolTip(), "Vorherige Seite");
    EXPECT_EQ(f.itemPrePage->text(), "Zurück");
    EXPECT_EQ(f.ToolButtonView->toolTip(), "Ansehen");
    EXPECT_EQ(f.itemSaveAll->text(), "Alle speichern");
    EXPECT_EQ(f.ToolButtonDeleteAll->text(), "Alle löschen");
    EXPECT_EQ(f.ToolButtonExit->toolTip(), "Schließen");
    EXPECT_EQ(f.itemExit->text(), "Beenden");

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(f.x(), screen.x() + (screen.width() - f.width()) / 2);
    EXPECT_EQ(f.y(), screen.y() + screen.height() - f.height() - 25);
    for (QLabel *image : f.Images)
        EXPECT_EQ(image->size(), QSize(100, 100));
}

TEST(SnapshotViewer, ShowsThePictureAtItsSizeAndSaves)
{
    const QImage picture = TestPicture(320, 240);
    TFormShowImage viewer(picture);
    EXPECT_EQ(viewer.windowTitle(), "320 X 240");
    viewer.show();
    EXPECT_EQ(viewer.ImagePicture->size(), QSize(320, 240));
    EXPECT_EQ(viewer.width(), 320);
    EXPECT_GT(viewer.height(), 240);

    const QString dir = TestEnv::NewFolder("viewer");
    QString answer;
    SetSnapshotSaveDialog([&](QWidget *) { return answer; });
    viewer.ToolButtonSaveClick(); // cancelled: nothing
    EXPECT_TRUE(QDir(dir).isEmpty());
    answer = dir + "/v.jpeg";
    viewer.ToolButtonSaveClick();
    EXPECT_LT(MeanDifference(DecodeJpeg(TestEnv::ReadFile(answer)), picture), 8);
    SetSnapshotSaveDialog(nullptr);

    viewer.ToolButtonCopyClick();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(320, 240));
}

} // namespace
