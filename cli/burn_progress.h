#pragma once
// Progress of a burn on stderr: on a terminal a bar redrawn in place with the percentage,
// the speed and the time left; otherwise (a log, a pipe) one plain line per tenth done,
// "LABEL: N%" (the burn's label is "burning", the audit's "reading").

#include <cstdint>
#include <cstdio>
#include <string>

class TBurnProgress {
public:
    TBurnProgress(std::FILE* out, int64_t totalBytes, const char* label = "burning");
    // Called a few times a second with the bytes handed to the drive so far.
    void Update(int64_t bytesWritten, double seconds);
    // A line of its own (a message, the end): the bar is ended first.
    void Line(const std::string& text);
    void Finish();

    // "[#####-----]  50%   7.8 MB/s   0:12 left" for a bar of `width` characters.
    static std::string Bar(int64_t done, int64_t total, double seconds, int width);

private:
    std::FILE* out_;
    int64_t total_;
    const char* label_;
    bool terminal_;
    bool barShown_ = false;
    int lastTenth_ = -1;
};
