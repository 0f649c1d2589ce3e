#pragma once
// The pauses and retry counts of the write pipeline and of the drive waits, in one place.
// The defaults are the burner's; tests shorten them so that a drive that stays busy is
// given up in seconds instead of 100 minutes.

struct TBurnTiming {
    int busyRetryMs = 600;      // pause before a WRITE (10) that found the drive busy is repeated
    int busyRetries = 10000;    // attempts before "WRITER BUSY/BUFFER FULL"
    int closeRetryMs = 1000;    // pause between attempts to close the session
    int closeRetries = 1000;
    int leadOutPollMs = 1000;   // pause between the disc information polls of the DVD lead-out
    int leadOutPolls = 1800;    // polls before the lead-out is given up (30 min at 1 s)
    int waitDivisor = 1;        // WaitReady's pauses are divided by this (its budget is not)
};
