#include "ui/burn_log.h"

#include "burn/burner.h"
#include "core/base/extra_texts.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>

bool ShownInBurnLog(uint8_t kind, const std::string& text)
{
    const bool shownKind = kind == kMsgDriveError || kind == kMsgTableLimit || kind == kMsgFileSystem;
    return shownKind && text.find_first_not_of(' ') != std::string::npos;
}

QString BurnerText(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(extra::Reword(text)));
}

void AppendLogLine(QPlainTextEdit* log, const QString& line)
{
    log->appendPlainText(line);
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
}

QStringList LogLinesOf(const QPlainTextEdit* log)
{
    return log->toPlainText().split('\n', Qt::SkipEmptyParts);
}
