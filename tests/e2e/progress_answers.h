#pragma once
// Plays the operator of a register command in a window test: presses OK as soon as the
// progress window shows an error, and, after a minute, aborts a wait that would otherwise
// never end, so that a hanging command fails its test instead of hanging it.

#include "link/ibus_session.h"
#include "ui/progress_form.h"

#include <QPushButton>
#include <QTimer>

struct ProgressAnswers {
    QTimer ok;
    QTimer guard;
    bool stuck = false;  // the guard had to end a wait

    ProgressAnswers(TProgressForm& progress, TVeskIBusComm& bus)
    {
        QObject::connect(&ok, &QTimer::timeout, [&progress] {
            if (progress.ProgressState() == kProgressErrorShown)
                progress.OKBtn->click();
        });
        ok.start(50);
        QObject::connect(&guard, &QTimer::timeout, [this, &bus] {
            stuck = true;
            bus.AbortExchange();
        });
        guard.start(60000);
    }
};
