#pragma once
// A small tmpfs mounted over a directory for one test: a disk that fills up, or one that
// cannot be written. Mounting needs root (or a user namespace); tests skip without it.

#include <QFile>
#include <QString>
#include <sys/mount.h>

class TmpfsMount {
public:
    TmpfsMount(const QString& dir, const char* options, unsigned long flags = 0)
        : dir_(QFile::encodeName(dir))
    {
        mounted_ = ::mount("tmpfs", dir_.constData(), "tmpfs", flags, options) == 0;
    }
    ~TmpfsMount()
    {
        if (mounted_)
            ::umount2(dir_.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    QByteArray dir_;
    bool mounted_ = false;
};
