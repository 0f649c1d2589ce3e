#pragma once
// The detail and summary report downloads: connect, check the register's status, send
// the report request, fetch the pages until the end marker, arrange the lines in the
// grid, disconnect, store the report file and record it in the catalogue. They work on
// the objects they are given, so the window and the command line share them.

#include "reports/report_range.h"

#include <QString>
#include <cstdint>

class TVeskIBusComm;
class IProgressSink;
class ReportGridModel;
class TCatalogue;

enum class TReportKind { Detail, Summary };

enum class TDownloadOutcome {
    Stored,      // the report file was written and catalogued
    PortFailed,  // the port did not open (its message has been shown)
    LinkFailed,  // the register did not answer, an exchange failed, or Cancel was pressed
    Refused,     // the register refused the request, or read-only mode refused it
    FileFailed,  // the report file could not be written
};

struct TDownloadJob {
    TVeskIBusComm* bus = nullptr;
    IProgressSink* progress = nullptr;
    ReportGridModel* grid = nullptr;
    TCatalogue* catalogue = nullptr;
    TReportKind kind = TReportKind::Detail;
    TReportRange range;
    QString commName;       // "COM" + CommPort, or a device path
    int baudIndex = 0;
    uint16_t requestCode = 32;
    QString caption = QStringLiteral("FM Report");  // the report window's caption
    QString reportDir;      // where the report file goes
    QString errorText;      // filled with the text of a failure
    bool cancelled = false;  // the operator stopped the download
    int records = 0;        // report lines received
    QString checksumsFile;  // where the stored report's checksum is recorded (none: empty)
    bool checksumRecorded = false;
    QString checksumError;  // why it was not recorded (or, when recorded, a warning about the old file)
};

inline constexpr int kDetailRetryInterval = 2500;
inline constexpr int kSummaryRetryInterval = 50000;
inline constexpr int kDownloadRetryCount = 20;

// Sets the retry settings of the kind on the bus (the download buttons do this first).
void SetDownloadRetries(TVeskIBusComm& bus, TReportKind kind);

// Runs the download from opening the port on (the range has been chosen already; the
// detail download clears the grid itself, the summary one expects it cleared).
TDownloadOutcome RunReportDownload(TDownloadJob& job);

// The text of a 24-byte record: its bytes up to the first zero; empty when it starts with one.
QByteArray RecordText(const uint8_t* record);
