// The frequency table editor: the tuned frequency and the name of all 160
// antenna and 160 cable channels in two grids, and their exchange with
// channel list files (".chl"). GUI thread only.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

// What the frequency editor accepts as typed: a whole number of Hz that is
// 0 (no channel) or inside the tuner's TV band. False, with the message to
// show in `error`, for anything else.
bool ParseTypedFrequency(const QString &text, int32_t lowest, int32_t highest, int32_t &out,
                         QString *error);

// The name Export writes to: with the first filter (".chl" files) chosen,
// ".chl" is added unless the name already ends in it.
QString ExportFileName(const QString &typed, bool channelListFilter);

class TFormEditFrequencyTable : public QDialog
{
    Q_OBJECT
public:
    explicit TFormEditFrequencyTable(QWidget *parent = nullptr);

    static const char *const FileFilter;

    QTabWidget *PageControlFreq;
    QWidget *TabSheetAntenna, *TabSheetCable;
    QTableWidget *StringGridAntenna, *StringGridCable;
    QLineEdit *SpinEditAntennaFrequency, *SpinEditCableFrequency;
    QLineEdit *EditAntennaChannelName, *EditCableChannelName;
    QPushButton *BitBtnOK, *BitBtnImport, *BitBtnExport;

    // Both grids from the channel table.
    void FillGrids();
    // A click on a data cell: the editor of its column over it.
    void GridCellClick(QTableWidget *grid, int row, int column);
    // The editor's value into its cell (a frequency only when valid).
    void FrequencyEditorDone(QTableWidget *grid, QLineEdit *editor);
    void NameEditorDone(QTableWidget *grid, QLineEdit *editor);
    void BitBtnOKClick();
    void BitBtnImportClick();
    void BitBtnExportClick();

    // The file dialogs; tests replace them. Open: the chosen path or empty.
    // Save: the typed name and whether the first filter was chosen.
    std::function<QString()> ChooseImportFile;
    std::function<QString(bool &channelListFilter)> ChooseExportFile;

private:
    QTableWidget *NewGrid(QWidget *tab);
    QLineEdit *FrequencyEditor(QTableWidget *grid) const;
    QLineEdit *NameEditor(QTableWidget *grid) const;
    int EditRow = 0;
};

// Opens the editor modally; true when closed with OK.
bool EditFrequencyTable(QWidget *parent = nullptr);
// Called with each editor right after it has been created (tests,
// screenshots).
void SetFrequencyEditorHook(std::function<void(TFormEditFrequencyTable *)> hook);
