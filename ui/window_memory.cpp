#include "ui/window_memory.h"

#include "core/ini_file.h"
#include "core/safe_file.h"
#include "core/settings.h"

namespace {
constexpr char kSection[] = "MainForm";

int readNumber(const ini::Profile& file, const char* key, bool* ok)
{
    long long value = 0;
    if (!ini::parseInteger(file.value(kSection, key), &value) || value < -100000 || value > 100000)
        *ok = false;
    return static_cast<int>(value);
}
}  // namespace

QString WindowStateFile()
{
    return Settings().ProgramDir + QStringLiteral("WINDOW.CFG");
}

TMainWindowState ReadWindowState(const QString& path)
{
    const ini::Profile file = ini::Profile::load(path);
    TMainWindowState state;
    bool ok = true;
    const QRect geometry(readNumber(file, "Left", &ok), readNumber(file, "Top", &ok), readNumber(file, "Width", &ok),
                         readNumber(file, "Height", &ok));
    if (ok && geometry.width() > 0 && geometry.height() > 0)
        state.geometry = geometry;
    state.maximized = file.value(kSection, "Maximized") == "1";
    const QList<QByteArray> parts = file.value(kSection, "Splitter").split(',');
    for (const QByteArray& part : parts) {
        long long width = 0;
        if (parts.size() != 2 || !ini::parseInteger(part, &width) || width < 0 || width > 100000) {
            state.splitter.clear();
            break;
        }
        state.splitter << static_cast<int>(width);
    }
    return state;
}

void WriteWindowState(const QString& path, const TMainWindowState& state)
{
    ini::Profile file = ini::Profile::load(path);
    file.setValue(kSection, "Left", QByteArray::number(state.geometry.left()));
    file.setValue(kSection, "Top", QByteArray::number(state.geometry.top()));
    file.setValue(kSection, "Width", QByteArray::number(state.geometry.width()));
    file.setValue(kSection, "Height", QByteArray::number(state.geometry.height()));
    file.setValue(kSection, "Maximized", state.maximized ? "1" : "0");
    QByteArray widths;
    for (int w : state.splitter)
        widths += (widths.isEmpty() ? "" : ",") + QByteArray::number(w);
    file.setValue(kSection, "Splitter", widths);
    writeFileAtomically(path, file.serialize());
}
