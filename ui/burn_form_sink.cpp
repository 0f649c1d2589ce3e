#include "ui/burn_form_sink.h"

#include "cli/burn_archive.h"
#include "core/texts.h"
#include "ui/burn_log.h"

#include <QMessageBox>

bool AskBurnQuestion(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, texts::BurnFrm(8), text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

void TBurnFrm::Sink::Notice(const std::string& text)
{
    form_.handover_.RunInOrder([this, text] { form_.Log(BurnerText(text)); });
}

void TBurnFrm::Sink::WriteStarting(int64_t)
{
    form_.Log(texts::BurnFrm(2));
}

void TBurnFrm::Sink::LastWriteOut()
{
    form_.handover_.Post([this] { form_.mcdbLastWriteOut(); });
}

void TBurnFrm::Sink::FinalizingTrack()
{
    form_.handover_.Post([this] { form_.mcdbFinalizingTrack(); });
}

void TBurnFrm::Sink::WriteEnded()
{
    form_.endPending_ = true;
    form_.handover_.Post([this] { form_.mcdbWriteDone(); });
}

bool TBurnFrm::Sink::BurnUnchanged(const std::vector<std::string>& names)
{
    return AskBurnQuestion(&form_, texts::ExtraFormat("BurnAgainQuestion", {AlreadyOnDiscText(names)}));
}

bool TBurnFrm::Sink::ContinuePastUnimportable(const std::string& why)
{
    return AskBurnQuestion(&form_, texts::ExtraFormat("BurnImportQuestion", {BurnerText(why)}));
}
