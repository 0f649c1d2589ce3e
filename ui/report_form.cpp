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

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
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
    QPalette gridPalette = ReportGrid->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
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
    pnl1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* buttons = new QHBoxLayout(pnl1);
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->setSpacing(2);
    auto makeButton = [this, buttons](const char* name, const QString& caption) {
        auto* b = new Designed<QPushButton>(QSize(88, 27), caption, pnl1);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    OpenBtn = makeButton("OpenBtn", QStringLiteral("Open"));
    btn1 = makeButton("btn1", QStringLiteral("Detail Report"));
    Button1 = makeButton("Button1", QStringLiteral("Summary Report"));
    Button2 = makeButton("Button2", QStringLiteral("As Save"));
    DeleteBtn = makeButton("DeleteBtn", QStringLiteral("Delete"));
    PrintBtn = makeButton("PrintBtn", QStringLiteral("Print"));
    RurnBtn = makeButton("RurnBtn", QStringLiteral("Burn"));
    buttons->addStretch();
    connect(OpenBtn, &QPushButton::clicked, this, &Tfmfrm::OpenBtnClick);
    connect(btn1, &QPushButton::clicked, this, &Tfmfrm::btn1Click);
    connect(Button1, &QPushButton::clicked, this, &Tfmfrm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfmfrm::Button2Click);
    connect(DeleteBtn, &QPushButton::clicked, this, &Tfmfrm::DeleteBtnClick);
    connect(PrintBtn, &QPushButton::clicked, this, &Tfmfrm::PrintBtnClick);
    connect(RurnBtn, &QPushButton::clicked, this, &Tfmfrm::RurnBtnClick);

    dlgSave1 = new QFileDialog(this, QString(), QString(), QStringLiteral("File (*.txt)"));
    dlgSave1->setObjectName(QStringLiteral("dlgSave1"));
    dlgSave1->setAcceptMode(QFileDialog::AcceptSave);
    dlgSave1->setOption(QFileDialog::DontConfirmOverwrite);
    dlgOpen1 = new QFileDialog(this, QString(), QString(), QStringLiteral("File (*.txt)"));
    dlgOpen1->setObjectName(QStringLiteral("dlgOpen1"));
    dlgOpen1->setFileMode(QFileDialog::ExistingFile);
    auto chooser = [](QFileDialog* dialog) {
        return [dialog]() -> QString {
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
                return {};
            return dialog->selectedFiles().first();
        };
    };
    ChooseOpenFile = chooser(dlgOpen1);
    ChooseSaveFile = chooser(dlgSave1);

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
    if (!path.isEmpty())
        LoadReportFile(*grid_, path);
}

void Tfmfrm::Button2Click()
{
    const QString path = ChooseSaveFile ? ChooseSaveFile() : QString();
    if (!path.isEmpty())
        SaveReportGrid(*grid_, path);
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
}

void Tfmfrm::DeleteBtnClick()
{
    if (catalogue_.IsEmpty())
        return;
    if (QMessageBox::information(this, texts::BurnFrm(8), texts::BurnFrm(7),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
        catalogue_.DeleteCurrent();
}

void Tfmfrm::dbgrd1DblClick()
{
    if (catalogue_.IsEmpty() || catalogue_.Current() < 0)
        return;
    const QString path = QFile::decodeName(catalogue_.Entry(catalogue_.Current()).FileName);
    if (!path.isEmpty() && QFile::exists(path))
        LoadReportFile(*grid_, path);
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
    RunReportDownload(job);
}
