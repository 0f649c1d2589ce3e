#pragma once
// The burn window's side of the burn procedure: the procedure's events shown in the
// window (lines of the caller's thread at once, those of the write thread through the
// window's hand-over, in order) and its questions asked in a message box.

#include "burn/burn_procedure.h"
#include "ui/burn_form.h"

// Asks the operator in the burn window's message box; true for OK, Cancel the default.
bool AskBurnQuestion(QWidget* parent, const QString& text);

// The procedure's events in the window: lines of the caller's thread at once, those of the
// write thread through the hand-over, in order.
class TBurnFrm::Sink : public IBurnSink {
public:
    explicit Sink(TBurnFrm& form) : form_(form) {}
    void Notice(const std::string& text) override;
    void WriteStarting(int64_t) override;
    void LastWriteOut() override;
    void FinalizingTrack() override;
    void WriteEnded() override;
    bool BurnUnchanged(const std::vector<std::string>& names) override;
    bool ContinuePastUnimportable(const std::string& why) override;

private:
    TBurnFrm& form_;
};
