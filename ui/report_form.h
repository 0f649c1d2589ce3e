#pragma once
// Tfmfrm: the report window docked in the main window: the catalogue on the left, the
// report grid on the right, the command buttons along the bottom.

#include <QWidget>
#include <functional>

class QFileDialog;
class QFrame;
class QPushButton;
class QSplitter;
class QTableView;
class IProgressSink;
class ReportGridModel;
class TCatalogue;
class TUploadReportDlg;
class TVeskIBusComm;

class Tfmfrm : public QWidget {
    Q_OBJECT
public:
    Tfmfrm(TVeskIBusComm& bus, IProgressSink& progress, TCatalogue& catalogue, QWidget* parent = nullptr);
    ~Tfmfrm() override;
    // The range dialog the downloads ask first; it is created after this window.
    void setRangeDialog(TUploadReportDlg* dialog) { rangeDialog_ = dialog; }

    ReportGridModel& Grid() { return *grid_; }
    TCatalogue& Catalogue() { return catalogue_; }
    // Marks the catalogued reports archived at least once (the side files read again); an
    // unreadable side file is said in the log of the caller (returned text).
    QString RefreshArchived();
    // The existing report files of the catalogue never archived, in catalogue order.
    QStringList UnarchivedReportFiles() const;

    void OpenBtnClick();
    void btn1Click();
    void Button1Click();
    void Button2Click();
    void DeleteBtnClick();
    void dbgrd1DblClick();
    // The print dialog, then the report grid printed on the chosen printer or PDF file.
    void PrintBtnClick();
    // RurnBtn: the selected, existing report files go to the burn window.
    void RurnBtnClick();
    // The report files of the selected catalogue rows that exist, in catalogue order.
    QStringList SelectedReportFiles() const;

    // File choosers (the open and save dialogs); tests replace them.
    std::function<QString()> ChooseOpenFile;
    std::function<QString()> ChooseSaveFile;
    // What a command did, for the main window's status bar, and the name of the report
    // now on display, for its title (set at start-up).
    std::function<void(const QString& text)> OnStatus;
    std::function<void(const QString& name)> OnReportShown;
    // The file name of the report on display (empty before any).
    QString ReportName() const { return reportName_; }
    // Shows the burn window modally with these files (set at start-up).
    std::function<void(const QStringList& files)> OnBurnFiles;

    QFrame* pnl2;
    QTableView* dbgrd1;
    QSplitter* spl1;
    QTableView* ReportGrid;
    QFrame* pnl1;
    QPushButton* OpenBtn;
    QPushButton* btn1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* DeleteBtn;
    QPushButton* PrintBtn;
    QPushButton* RurnBtn;
    QFileDialog* dlgSave1;
    QFileDialog* dlgOpen1;

    // The button bar's rows: 1, or more when the window is too narrow for one.
    int ButtonRows() const;
    // The width the seven buttons need in one row.
    int OneRowWidth() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunDownload(bool summary);
    // Records the report on display and tells the main window.
    void reportShown(const QString& path);
    void status(const QString& text);
    // Highlights the catalogue's current entry as the view's current row.
    void showCurrentEntry(int row);
    // Column widths: the designed ones at least, wider where the texts need it.
    void fitCatalogueColumns();
    void fitReportColumn();
    void arrangeButtons(int width);
    int buttonRows_ = 1;

    TVeskIBusComm& bus_;
    IProgressSink& progress_;
    TCatalogue& catalogue_;
    TUploadReportDlg* rangeDialog_ = nullptr;
    ReportGridModel* grid_;
    QString reportName_;
    bool followingView_ = false;
    bool sized_ = false;  // the catalogue pane got its first width  // the catalogue's current entry is following the view
};
