#include "ui/report_form.h"

#include "reports/progress_sink.h"
#include "reports/register_test.h"
#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "reports/archive_record.h"
#include "reports/report_checksums.h"
#include "reports/report_download.h"
#include "reports/report_file.h"
#include "reports/report_grid_model.h"
#include "print/report_printer.h"
#include "ui/delete_key.h"
#include "ui/designed.h"
#include "ui/upload_report_dialog.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QShortcut>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

Tfmfrm::Tfmfrm(TVeskIBusComm& bus, IProgressSink& progress, TCatalogue& catalogue, QWidget* parent)
    : QWidget(parent), bus_(bus), progress_(progress), catalogue_(catalogue), grid_(new ReportGridModel(this))
{
    setObjectName(QStringLiteral("fmfrm"));
    setWindowTitle(QStringLiteral("FM Report"));
    resize(684, 447);

    pnl2 = new QFrame;
    pnl2->setObjectName(QStringLiteral("pnl2"));
    dbgrd1 = new QTableView(pnl2);
    dbgrd1->setObjectName(QStringLiteral("dbgrd1"));
    dbgrd1->setModel(&catalogue_);
    dbgrd1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgrd1->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgrd1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dbgrd1->verticalHeader()->setDefaultSectionSize(std::max(18, dbgrd1->fontMetrics().height() + 4));
    dbgrd1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgrd1->setTabKeyNavigation(false);  // Tab goes on to the next control; arrows move in the grid
    fitCatalogueColumns();
    OnDeleteKey(dbgrd1, [this] { DeleteBtn->click(); });  // asks first, as the button does
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&catalogue_, signal, this, [this] { fitCatalogueColumns(); });
    connect(&catalogue_, &QAbstractItemModel::modelReset, this, [this] { fitCatalogueColumns(); });
    connect(&catalogue_, &QAbstractItemModel::dataChanged, this, [this] { fitCatalogueColumns(); });
    connect(&catalogue_, &QAbstractItemModel::headerDataChanged, this, [this] { fitCatalogueColumns(); });
    auto* catalogueLayout = new QVBoxLayout(pnl2);
    catalogueLayout->setContentsMargins(0, 0, 0, 0);
    catalogueLayout->addWidget(dbgrd1);
    pnl2->resize(228, pnl2->height());
    // dbgrd1 is bound to fmRpt: the highlighted current row and the current entry follow
    // each other both ways.
    connect(dbgrd1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid() || current.row() == catalogue_.Current())
                    return;
                const QScopedValueRollback following(followingView_, true);
                catalogue_.SetCurrent(current.row());
            });
    connect(&catalogue_, &TCatalogue::currentChanged, this, [this](int row) {
        if (!followingView_)
            showCurrentEntry(row);
    });
    connect(dbgrd1, &QTableView::doubleClicked, this, [this] { dbgrd1DblClick(); });

    ReportGrid = new QTableView;
    ReportGrid->setObjectName(QStringLiteral("ReportGrid"));
    ReportGrid->setModel(grid_);
    ReportGrid->horizontalHeader()->hide();
    ReportGrid->verticalHeader()->hide();
    ReportGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ReportGrid->verticalHeader()->setDefaultSectionSize(20);
    fitReportColumn();
    connect(grid_, &QAbstractItemModel::modelReset, this, [this] { fitReportColumn(); });
    connect(grid_, &QAbstractItemModel::dataChanged, this, [this] { fitReportColumn(); });
    ReportGrid->setShowGrid(false);
    ReportGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current row only moves the view; no row is painted as selected.
    ReportGrid->setSelectionMode(QAbstractItemView::NoSelection);
    // A line wider than the view can still be read to its end.
    ReportGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ReportGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ReportGrid->setWordWrap(false);
    ReportGrid->setTabKeyNavigation(false);
    // The report on the theme's pale tool-tip ground, in the tool-tip's own text colour.
    QPalette gridPalette = ReportGrid->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        gridPalette.setColor(group, QPalette::Base, gridPalette.color(group, QPalette::ToolTipBase));
        gridPalette.setColor(group, QPalette::Text, gridPalette.color(group, QPalette::ToolTipText));
    }
    ReportGrid->setPalette(gridPalette);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    ReportGrid->setFont(mono);
    connect(grid_, &ReportGridModel::currentRowChanged, this, [this](int row) {
        const QModelIndex i = grid_->index(row, 0);
        ReportGrid->setCurrentIndex(i);
        ReportGrid->scrollTo(i);
    });

    spl1 = new QSplitter(Qt::Horizontal);
    spl1->setObjectName(QStringLiteral("spl1"));
    spl1->setHandleWidth(4);
    spl1->addWidget(pnl2);
    spl1->addWidget(ReportGrid);
    spl1->setSizes({228, 456});

    // The button bar: 33 pixels high and buttons of 88 x 27 at least, more where a
    // caption needs it.
    pnl1 = new Designed<QFrame>(QSize(0, 33));
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // On a narrow screen (a large scale) the buttons take two rows rather than being cut:
    // the bar's width does not hold the window wide, the buttons follow its width.
    pnl1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* buttons = new QGridLayout(pnl1);
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->setSpacing(2);
    auto makeButton = [this, buttons](const char* name, const QString& caption) {
        auto* b = new Designed<QPushButton>(QSize(88, 27), caption, pnl1);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b, 0, buttons->count());
        return b;
    };
    OpenBtn = makeButton("OpenBtn", QStringLiteral("&Open"));
    btn1 = makeButton("btn1", QStringLiteral("&Detail Report"));
    Button1 = makeButton("Button1", QStringLiteral("&Summary Report"));
    Button2 = makeButton("Button2", QStringLiteral("&As Save"));
    DeleteBtn = makeButton("DeleteBtn", QStringLiteral("D&elete"));
    PrintBtn = makeButton("PrintBtn", QStringLiteral("&Print"));
    RurnBtn = makeButton("RurnBtn", QStringLiteral("&Burn"));
    buttons->setColumnStretch(7, 1);
    pnl1->installEventFilter(this);
    connect(OpenBtn, &QPushButton::clicked, this, &Tfmfrm::OpenBtnClick);
    connect(btn1, &QPushButton::clicked, this, &Tfmfrm::btn1Click);
    connect(Button1, &QPushButton::clicked, this, &Tfmfrm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfmfrm::Button2Click);
    connect(DeleteBtn, &QPushButton::clicked, this, &Tfmfrm::DeleteBtnClick);
    connect(PrintBtn, &QPushButton::clicked, this, &Tfmfrm::PrintBtnClick);
    connect(RurnBtn, &QPushButton::clicked, this, &Tfmfrm::RurnBtnClick);
    // The desktop's standard keys for the commands that have one.
    for (const auto& [key, target] : {std::pair{QKeySequence::Open, OpenBtn}, {QKeySequence::SaveAs, Button2},
                                      {QKeySequence::Print, PrintBtn}, {QKeySequence::Delete, DeleteBtn}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        QPushButton* button = target;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }

    dlgSave1 = new QFileDialog(this, QString(), QString(), texts::Extra("FileFilter") + QStringLiteral(" (*.txt)"));
    dlgSave1->setObjectName(QStringLiteral("dlgSave1"));
    dlgSave1->setAcceptMode(QFileDialog::AcceptSave);
    dlgSave1->setOption(QFileDialog::DontConfirmOverwrite);
    dlgOpen1 = new QFileDialog(this, QString(), QString(), texts::Extra("FileFilter") + QStringLiteral(" (*.txt)"));
    dlgOpen1->setObjectName(QStringLiteral("dlgOpen1"));
    dlgOpen1->setFileMode(QFileDialog::ExistingFile);
    // Both start in the report folder; Save As suggests the name of the report on display.
    auto chooser = [this](QFileDialog* dialog) {
        return [this, dialog]() -> QString {
            dialog->setDirectory(Settings().ReportDir);
            const bool saving = dialog == dlgSave1;
            dialog->setWindowTitle(texts::Extra(saving ? "SaveTitle" : "OpenTitle"));
            dialog->selectFile(saving ? reportName_ : QString());
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
                return {};
            return dialog->selectedFiles().first();
        };
    };
    ChooseOpenFile = chooser(dlgOpen1);
    ChooseSaveFile = chooser(dlgSave1);

    // Tab: the catalogue, the report, then the buttons from left to right.
    QWidget* previous = dbgrd1;
    for (QWidget* next : {static_cast<QWidget*>(ReportGrid), static_cast<QWidget*>(OpenBtn),
                          static_cast<QWidget*>(btn1), static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button2),
                          static_cast<QWidget*>(DeleteBtn), static_cast<QWidget*>(PrintBtn),
                          static_cast<QWidget*>(RurnBtn)}) {
        setTabOrder(previous, next);
        previous = next;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(spl1, 1);
    layout->addWidget(pnl1);
}

Tfmfrm::~Tfmfrm() = default;

namespace {
constexpr int kReportLineLength = 24;  // characters of one report record
}  // namespace

int Tfmfrm::ButtonRows() const
{
    return buttonRows_;
}

namespace {
// The bar's width with the buttons in that many columns.
int barWidth(const QFrame* bar, const QList<QPushButton*>& buttons, int columns)
{
    const auto* grid = static_cast<const QGridLayout*>(bar->layout());
    int width = grid->contentsMargins().left() + grid->contentsMargins().right() + bar->frameWidth() * 2 +
                grid->spacing() * (columns - 1);
    for (int c = 0; c < columns; ++c) {
        int widest = 0;
        for (int i = c; i < buttons.size(); i += columns)
            widest = std::max({widest, buttons[i]->sizeHint().width(), buttons[i]->minimumSizeHint().width()});
        width += widest;
    }
    return width;
}
}  // namespace

int Tfmfrm::OneRowWidth() const
{
    return barWidth(pnl1, {OpenBtn, btn1, Button1, Button2, DeleteBtn, PrintBtn, RurnBtn}, 7);
}

void Tfmfrm::arrangeButtons(int width)
{
    const QList<QPushButton*> all{OpenBtn, btn1, Button1, Button2, DeleteBtn, PrintBtn, RurnBtn};
    auto* grid = static_cast<QGridLayout*>(pnl1->layout());
    // As many in a row as the width takes, in as few rows as that allows.
    int columns = static_cast<int>(all.size());
    while (columns > 1 && barWidth(pnl1, all, columns) > width)
        --columns;
    const int rows = (static_cast<int>(all.size()) + columns - 1) / columns;
    columns = (static_cast<int>(all.size()) + rows - 1) / rows;
    if (rows == buttonRows_ && grid->columnCount() >= columns && grid->itemAtPosition(0, columns - 1) &&
        (columns == static_cast<int>(all.size()) || !grid->itemAtPosition(0, columns)))
        return;
    buttonRows_ = rows;
    for (QPushButton* b : all)
        grid->removeWidget(b);
    for (int i = 0; i < all.size(); ++i)
        grid->addWidget(all[i], i / columns, i % columns);
    for (int c = 0; c <= 7; ++c)
        grid->setColumnStretch(c, c == columns ? 1 : 0);
    pnl1->updateGeometry();
}

bool Tfmfrm::eventFilter(QObject* watched, QEvent* event)
{
    // A new caption (the language files) changes the buttons' widths.
    if (watched == pnl1 && event->type() == QEvent::LayoutRequest)
        arrangeButtons(width());
    return QWidget::eventFilter(watched, event);
}

void Tfmfrm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrangeButtons(width());
}

void Tfmfrm::fitCatalogueColumns()
{
    // Type 60, Name 100, DateTime 130 pixels at least; wider where a title or a value
    // needs it.
    static constexpr int kDesigned[] = {60, 100, 130};
    for (int c = 0; c < 3; ++c) {
        const int needed = std::max(dbgrd1->horizontalHeader()->sectionSizeHint(c), static_cast<QAbstractItemView*>(dbgrd1)->sizeHintForColumn(c));
        dbgrd1->setColumnWidth(c, std::max(kDesigned[c], needed));
    }
}

void Tfmfrm::fitReportColumn()
{
    ReportGrid->setColumnWidth(0, std::max(500, static_cast<QAbstractItemView*>(ReportGrid)->sizeHintForColumn(0)));
}

void Tfmfrm::showCurrentEntry(int row)
{
    QItemSelectionModel* selection = dbgrd1->selectionModel();
    if (row < 0) {
        selection->clearCurrentIndex();
        return;
    }
    const QModelIndex index = catalogue_.index(row, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    dbgrd1->scrollTo(index);
}

void Tfmfrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    catalogue_.SetColumnTitles(texts::BurnFrm(11), texts::BurnFrm(12), texts::BurnFrm(13));
    // "File|*.txt", its name in the language files' words.
    for (QFileDialog* dialog : {dlgSave1, dlgOpen1})
        dialog->setNameFilter(texts::Extra("FileFilter") + QStringLiteral(" (*.txt)"));
    QFont font = ReportGrid->font();
    font.setPointSize(Settings().PrintFontSize > 0 ? Settings().PrintFontSize : 9);
    ReportGrid->setFont(font);
    // Rows of 20 pixels, taller when the font size needs it.
    ReportGrid->verticalHeader()->setDefaultSectionSize(std::max(20, QFontMetrics(font).height() + 4));
    fitReportColumn();
    if (!sized_) {
        // The catalogue pane starts 228 pixels wide, or wide enough for its three columns
        // as long as the report beside it keeps room for a whole 24-character line.
        sized_ = true;
        const int marker = std::max(dbgrd1->verticalHeader()->sizeHint().width(),
                                    dbgrd1->fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 8);
        int columns = 0;
        for (int c = 0; c < 3; ++c)
            columns += dbgrd1->columnWidth(c);
        constexpr int kSlack = 4;  // header and cell borders
        const int wanted = std::max(228, marker + columns + 2 * dbgrd1->frameWidth() + kSlack +
                                             dbgrd1->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        const int total = spl1->sizes().value(0) + spl1->sizes().value(1);
        const int reportLine = ReportGrid->fontMetrics().horizontalAdvance(QString(kReportLineLength, QLatin1Char('W'))) +
                               2 * ReportGrid->frameWidth() + kSlack +
                               ReportGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const int catalogue = std::max(228, std::min(wanted, total - reportLine));
        spl1->setSizes({catalogue, std::max(total - catalogue, 0)});
    }
}

void Tfmfrm::OpenBtnClick()
{
    const QString path = ChooseOpenFile ? ChooseOpenFile() : QString();
    if (path.isEmpty())
        return;
    LoadReportFile(*grid_, path);
    reportShown(path);
}

void Tfmfrm::Button2Click()
{
    const QString path = ChooseSaveFile ? ChooseSaveFile() : QString();
    if (path.isEmpty())
        return;
    SaveReportGrid(*grid_, path);
    status(texts::ExtraFormat("StatusSaved", {QDir::toNativeSeparators(path)}));
}

void Tfmfrm::reportShown(const QString& path)
{
    reportName_ = QFileInfo(path).fileName();
    if (OnReportShown)
        OnReportShown(reportName_);
    status(texts::ExtraFormat("StatusOpened", {QDir::toNativeSeparators(path)}));
}

void Tfmfrm::status(const QString& text)
{
    if (OnStatus)
        OnStatus(text);
}

void Tfmfrm::PrintBtnClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dlgPnt1(&printer, this);
    dlgPnt1.setOption(QAbstractPrintDialog::PrintPageRange, false);  // every page is printed
    if (dlgPnt1.exec() != QDialog::Accepted)
        return;
    // A failure leaves this handler for the standard error box.
    PrintReport(printer, grid_->Rows(), {Settings().PrintPages, Settings().PrintFontSize});
    status(texts::ExtraFormat("StatusPrinted", {printer.outputFileName().isEmpty() ? printer.printerName()
                                                                                   : printer.outputFileName()}));
}

void Tfmfrm::DeleteBtnClick()
{
    if (catalogue_.IsEmpty())
        return;
    if (QMessageBox::information(this, texts::BurnFrm(8), texts::BurnFrm(7),
                                 QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    const QString name = QFile::decodeName(catalogue_.Entry(catalogue_.Current()).FileName);
    catalogue_.DeleteCurrent();
    status(texts::ExtraFormat("StatusDeleted", {QFileInfo(name).fileName()}));
}

void Tfmfrm::dbgrd1DblClick()
{
    if (catalogue_.IsEmpty() || catalogue_.Current() < 0)
        return;
    const QString path = QFile::decodeName(catalogue_.Entry(catalogue_.Current()).FileName);
    if (!path.isEmpty() && QFile::exists(path)) {
        LoadReportFile(*grid_, path);
        reportShown(path);
    }
}

QStringList Tfmfrm::SelectedReportFiles() const
{
    QStringList files;
    for (int row = 0; row < catalogue_.Count(); ++row) {
        if (!dbgrd1->selectionModel()->isRowSelected(row, {}))
            continue;
        const QString path = QFile::decodeName(catalogue_.Entry(row).FileName);
        if (QFile::exists(path))
            files << path;
    }
    return files;
}

QString Tfmfrm::RefreshArchived()
{
    QSet<QString> names;
    QString errors;
    LoadArchivedReportNames(&names, &errors);
    catalogue_.SetArchived(std::move(names));
    return errors;
}

QStringList Tfmfrm::UnarchivedReportFiles() const
{
    QStringList files;
    for (int i = 0; i < catalogue_.Count(); ++i) {
        const QString path = QFile::decodeName(catalogue_.Entry(i).FileName);
        if (!catalogue_.IsArchived(i) && QFileInfo(path).isFile())
            files << path;
    }
    return files;
}

void Tfmfrm::RurnBtnClick()
{
    if (OnBurnFiles)
        OnBurnFiles(SelectedReportFiles());
}

void Tfmfrm::btn1Click()
{
    RunDownload(false);
}

void Tfmfrm::Button1Click()
{
    RunDownload(true);
}

void Tfmfrm::RunDownload(bool summary)
{
    const TReportKind kind = summary ? TReportKind::Summary : TReportKind::Detail;
    SetDownloadRetries(bus_, kind);
    if (summary)
        grid_->ClearReportGrid();
    if (!rangeDialog_ || !rangeDialog_->Execute())
        return;
    TDownloadJob job;
    job.bus = &bus_;
    job.progress = &progress_;
    job.grid = grid_;
    job.catalogue = &catalogue_;
    job.kind = kind;
    job.range = rangeDialog_->Result;
    job.commName = PortNameOf(Settings().CommPort);
    job.baudIndex = Settings().CommBaudRate;
    job.requestCode = summary ? Settings().SummaryRequestCode : Settings().DetailRequestCode;
    job.caption = windowTitle();
    job.reportDir = Settings().ReportDir;
    job.checksumsFile = ReportChecksumsFile();
    const TDownloadOutcome outcome = RunReportDownload(job);
    const QString stored = job.reportDir + job.range.ReportFileName;
    switch (outcome) {
    case TDownloadOutcome::Stored:
        reportName_ = job.range.ReportFileName;
        if (OnReportShown)
            OnReportShown(reportName_);
        status(texts::ExtraFormat(job.records == 0 ? "StatusNoRecords" : "StatusStored",
                                  {QDir::toNativeSeparators(stored)}));
        break;
    case TDownloadOutcome::PortFailed:
        status(texts::ExtraFormat("StatusPortFailed", {job.commName}));
        break;
    case TDownloadOutcome::LinkFailed:
        status(job.cancelled ? texts::Extra("StatusCancelled") : texts::ExtraFormat("StatusFailed", {job.errorText}));
        break;
    case TDownloadOutcome::Refused:
        status(texts::ExtraFormat("StatusRefused", {job.errorText}));
        break;
    case TDownloadOutcome::FileFailed:
        status(texts::ExtraFormat("StatusFileFailed", {job.errorText}));
        break;
    }
}
