// Applies arbitrary bytes as both language files to the program's windows: the first
// two bytes give the length of the .LNG file's part, the rest is lang.lng. Afterwards
// no entry of the burn window's table may be empty (an empty value keeps the entry).
#include "core/ini_file.h"
#include "core/texts.h"
#include "tests/ui/language_rig.h"
#include "ui/language_files.h"

#include "core/settings.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {
StartedWindows* rig = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QApplication(qtArgc, qtArgv);
    static QTemporaryDir home;  // the data module's folders and catalogue
    InitProgramPaths(home.path());
    rig = new StartedWindows;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t exeSize = std::min<std::size_t>(size - 2, (std::size_t{data[0]} << 8) | data[1]);
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    const ini::Profile exeFile = ini::Profile::parse(QByteArray(bytes, static_cast<qsizetype>(exeSize)));
    const ini::Profile langFile =
        ini::Profile::parse(QByteArray(bytes + exeSize, static_cast<qsizetype>(size - 2 - exeSize)));
    lang::ApplyExeLanguageFile(rig->Localised(), exeFile);
    lang::ApplyLangFile(rig->Localised(), langFile);
    QCoreApplication::processEvents();  // the layouts and repaints the new texts asked for
    for (int i = 0; i < texts::kBurnFrmCount; ++i)
        if (texts::BurnFrm(i).isEmpty())
            __builtin_trap();
    texts::ResetToDefaults();
    return 0;
}
