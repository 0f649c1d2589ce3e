// docgen: writes the manual page or the bash completion of the command line from the
// same table as its --help text.
//   docgen man VERSION OUT      a roff manual page, section 1
//   docgen bash OUT             a bash completion script

#include "cli/usage.h"
#include "core/safe_file.h"
#include "tools/docgen/docgen.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "man" && argc == 4) {
            writeFileAtomically(QString::fromLocal8Bit(argv[3]), docgen::ManPage(QString::fromLocal8Bit(argv[2])).toUtf8());
            return 0;
        }
        if (mode == "bash" && argc == 3) {
            writeFileAtomically(QString::fromLocal8Bit(argv[2]), docgen::BashCompletion().toUtf8());
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "docgen: %s\n", error.what());
        return 3;
    }
    std::fprintf(stderr, "usage: docgen man VERSION OUT | docgen bash OUT\n");
    return 2;
}
