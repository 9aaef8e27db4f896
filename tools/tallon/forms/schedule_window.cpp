#include "tools/tallon/forms/schedule_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

#include "tools/tallon/agent.h"
#include "tools/tallon/schedule.h"
#include "tools/tallon/timers.h"

namespace {

const char *const SourceTexts[] = {"TV (antenna)", "TV (cable)", "TV (memory)",
                                   "Composite",    "S-Video",    "FM radio"};
const char *const FormatTexts[] = {"MPEG 1",      "MPEG 2",    "MPEG 4",     "AVI",
                                   "VCD (NTSC)",  "VCD (PAL)", "DVD (NTSC)", "DVD (PAL)",
                                   "SVCD (NTSC)", "SVCD (PAL)"};

// Add and Edit: one entry's fields.
class TEntryDialog : public QDialog
{
public:
    explicit TEntryDialog(const TScheduleEntry &e, QWidget *parent) : QDialog(parent)
    {
        setWindowTitle(e.Id ? QString("Edit recording %1").arg(e.Id) : QString("New recording"));
        auto *form = new QFormLayout;
        Start = new QDateTimeEdit(e.Start.isValid() ? e.Start : QDateTime::currentDateTime());
        Start->setDisplayFormat("yyyy-MM-dd HH:mm");
        Start->setCalendarPopup(true);
        Duration = new QSpinBox;
        Duration->setRange(1, 24 * 60);
        Duration->setSuffix(" min");
        Duration->setValue(e.DurationMinutes > 0 ? e.DurationMinutes : 30);
        Source = new QComboBox;
        for (const char *s : SourceTexts)
            Source->addItem(s);
        Source->setCurrentIndex(e.Source);
        Channel = new QSpinBox;
        Channel->setRange(0, 9999);
        Channel->setValue(e.Channel);
        Format = new QComboBox;
        for (const char *f : FormatTexts)
            Format->addItem(f);
        Format->setCurrentIndex(e.Format);
        Name = new QLineEdit(e.Name);
        Name->setPlaceholderText("date and time");
        Name->setMaxLength(RelayNameMax / 4);
        PowerOff = new QCheckBox("Switch the computer off after the last recording");
        PowerOff->setChecked(e.PowerOff);
        form->addRow("Start", Start);
        form->addRow("Duration", Duration);
        form->addRow("Source", Source);
        form->addRow("Channel", Channel);
        form->addRow("Format", Format);
        form->addRow("File name", Name);
        form->addRow(PowerOff);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }
    void Fill(TScheduleEntry &e) const
    {
        e.Start = Start->dateTime();
        e.DurationMinutes = Duration->value();
        e.Source = Source->currentIndex();
        e.Channel = Channel->value();
        e.Format = Format->currentIndex();
        e.Name = Name->text().trimmed();
        e.PowerOff = PowerOff->isChecked();
    }

private:
    QDateTimeEdit *Start;
    QSpinBox *Duration, *Channel;
    QComboBox *Source, *Format;
    QLineEdit *Name;
    QCheckBox *PowerOff;
};

class TScheduleWindow : public QWidget
{
public:
    explicit TScheduleWindow(TAgent &agent) : Agent(agent)
    {
        setWindowTitle("Lyra - scheduled recordings");
        Table = new QTableWidget(0, 8);
        Table->setHorizontalHeaderLabels(
            {"ID", "Start", "Minutes", "Source", "Channel", "Format", "State", "Name / reason"});
        Table->setSelectionBehavior(QAbstractItemView::SelectRows);
        Table->setSelectionMode(QAbstractItemView::SingleSelection);
        Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        Table->verticalHeader()->hide();
        Table->horizontalHeader()->setStretchLastSection(true);
        Status = new QLabel;
        auto *add = new QPushButton("Add...");
        auto *edit = new QPushButton("Edit...");
        auto *remove = new QPushButton("Remove");
        auto *close = new QPushButton("Close");
        connect(add, &QPushButton::clicked, this, [this] { AddEntry(); });
        connect(edit, &QPushButton::clicked, this, [this] { EditEntry(); });
        connect(Table, &QTableWidget::cellDoubleClicked, this, [this] { EditEntry(); });
        connect(remove, &QPushButton::clicked, this, [this] { RemoveEntry(); });
        connect(close, &QPushButton::clicked, this, &QWidget::close);
        auto *buttons = new QHBoxLayout;
        for (QPushButton *b : {add, edit, remove})
            buttons->addWidget(b);
        buttons->addStretch();
        buttons->addWidget(close);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(Table);
        layout->addWidget(Status);
        layout->addLayout(buttons);
        resize(760, 360);
        Refresh();
    }

    void Refresh()
    {
        TSchedule schedule;
        QString error;
        Damaged = !schedule.Load(ScheduleFilePath(Agent.ProgramFolder), &error);
        const int keep = SelectedId();
        Table->setRowCount(0);
        for (const TScheduleEntry &e : schedule.Entries) {
            const int row = Table->rowCount();
            Table->insertRow(row);
            QString note = e.Name;
            if (!e.Reason.isEmpty())
                note += (note.isEmpty() ? "" : " / ") + e.Reason;
            const QStringList cells = {QString::number(e.Id),
                                       e.Start.toString("yyyy-MM-dd HH:mm"),
                                       QString::number(e.DurationMinutes),
                                       SourceTexts[e.Source],
                                       QString::number(e.Channel),
                                       FormatTexts[e.Format],
                                       StateName(e.State),
                                       note};
            for (int c = 0; c < cells.size(); ++c)
                Table->setItem(row, c, new QTableWidgetItem(cells[c]));
            if (e.Id == keep)
                Table->selectRow(row);
        }
        Status->setText(Damaged ? error
                        : Agent.Listening()
                            ? "Recordings start at their time while this agent runs."
                            : "Another tallon agent starts the recordings.");
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        // Planned recordings keep the agent running without its window.
        TSchedule schedule;
        QString error;
        const bool pending = schedule.Load(ScheduleFilePath(Agent.ProgramFolder), &error) &&
                             schedule.AnyPendingOrRunning();
        if (!pending || !Agent.Listening())
            QApplication::quit();
        event->accept();
    }

private:
    int SelectedId() const
    {
        const auto rows =
            Table->selectionModel() ? Table->selectionModel()->selectedRows() : QModelIndexList();
        return rows.isEmpty() ? 0 : Table->item(rows.first().row(), 0)->text().toInt();
    }

    // Loads, changes and saves the schedule; a damaged file is refused.
    bool Change(const std::function<bool(TSchedule &, QString &)> &change)
    {
        TSchedule schedule;
        QString error;
        const QString path = ScheduleFilePath(Agent.ProgramFolder);
        if (!schedule.Load(path, &error)) {
            QMessageBox::warning(this, windowTitle(),
                                 error + "\n\nThe schedule is left as it is; move the file away "
                                         "to start a new one.");
            return false;
        }
        if (!change(schedule, error) || !schedule.Save(path, &error)) {
            QMessageBox::warning(this, windowTitle(), error);
            return false;
        }
        Refresh();
        return true;
    }

    void AddEntry()
    {
        TScheduleEntry e;
        e.Start = QDateTime::currentDateTime().addSecs(60);
        TEntryDialog dialog(e, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        dialog.Fill(e);
        Change([&](TSchedule &s, QString &error) { return s.Add(e, &error); });
    }

    void EditEntry()
    {
        const int id = SelectedId();
        TSchedule schedule;
        QString error;
        if (!id || !schedule.Load(ScheduleFilePath(Agent.ProgramFolder), &error))
            return;
        const TScheduleEntry *found = schedule.Find(id);
        if (!found || found->State != TScheduleEntry::Pending) {
            QMessageBox::information(this, windowTitle(),
                                     "Only a recording that has not started can be changed.");
            return;
        }
        TScheduleEntry e = *found;
        TEntryDialog dialog(e, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        dialog.Fill(e);
        Change([&](TSchedule &s, QString &why) {
            TScheduleEntry *old = s.Find(id);
            if (!old || old->State != TScheduleEntry::Pending) {
                why = "The recording has started meanwhile.";
                return false;
            }
            // The changed entry goes through the same checks as a new one;
            // this agent times it from now on.
            TScheduleEntry checked = e;
            TSchedule probe;
            if (!probe.Add(checked, &why))
                return false;
            DisarmSystemdTimer(old->TimerUnit);
            checked.Id = id;
            checked.TimerUnit.clear();
            *old = checked;
            return true;
        });
    }

    void RemoveEntry()
    {
        const int id = SelectedId();
        if (!id)
            return;
        Change([id](TSchedule &s, QString &error) {
            if (const TScheduleEntry *e = s.Find(id))
                DisarmSystemdTimer(e->TimerUnit);
            if (s.Remove(id))
                return true;
            error = QString("There is no entry %1.").arg(id);
            return false;
        });
    }

    TAgent &Agent;
    QTableWidget *Table;
    QLabel *Status;
    bool Damaged = false;
};

} // namespace

int RunScheduleWindow(TAgent &agent)
{
    QApplication::setQuitOnLastWindowClosed(false);
    const bool listening = agent.Listen();
    TScheduleWindow window(agent);
    agent.OnScheduleChanged = [&window] { window.Refresh(); };
    agent.OnShowWindow = [&window] {
        window.Refresh();
        window.show();
        window.raise();
        window.activateWindow();
    };
    if (listening)
        agent.StartTimer();
    window.show();
    return QApplication::exec();
}
