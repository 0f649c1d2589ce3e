#pragma once
// The command line of a benchmark: --help, and named options, each either a flag or
// "--name VALUE". Plain C++, so that every benchmark can use it.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

class BenchOptions {
public:
    // purpose: one paragraph printed by --help above the options.
    explicit BenchOptions(std::string purpose) : purpose_(std::move(purpose)) {}

    // A "--name VALUE" option; `value` names the value in the help and holds its default.
    BenchOptions& value(const char* name, const char* valueName, std::string fallback, const char* help)
    {
        options_.push_back({name, valueName, help, std::move(fallback), false});
        return *this;
    }
    // A flag without a value.
    BenchOptions& flag(const char* name, const char* help)
    {
        options_.push_back({name, nullptr, help, std::string(), false});
        return *this;
    }

    // Reads the arguments. Returns -1 to go on; otherwise the exit status to end with (0
    // after --help, 2 after a wrong argument, with its message on stderr).
    int parse(int argc, char** argv)
    {
        for (int i = 1; i < argc; ++i) {
            const char* a = argv[i];
            if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
                printHelp(argv[0]);
                return 0;
            }
            Option* o = find(a);
            if (!o) {
                std::fprintf(stderr, "%s: unknown option %s (see --help)\n", argv[0], a);
                return 2;
            }
            o->given = true;
            if (o->valueName) {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "%s: %s needs a value (see --help)\n", argv[0], a);
                    return 2;
                }
                o->current = argv[++i];
            }
        }
        return -1;
    }

    std::string text(const char* name) const { return get(name).current; }
    bool isSet(const char* name) const { return get(name).given; }
    // A positive whole number; a wrong one ends the program with status 2.
    long number(const char* name) const
    {
        const std::string& v = get(name).current;
        char* end = nullptr;
        const long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n <= 0) {
            std::fprintf(stderr, "%s: wants a positive whole number, not \"%s\"\n", name, v.c_str());
            std::exit(2);
        }
        return n;
    }

private:
    struct Option {
        const char* name;
        const char* valueName;  // null for a flag
        const char* help;
        std::string current;
        bool given;
    };

    Option* find(const char* name)
    {
        for (Option& o : options_)
            if (std::strcmp(o.name, name) == 0)
                return &o;
        return nullptr;
    }
    const Option& get(const char* name) const
    {
        for (const Option& o : options_)
            if (std::strcmp(o.name, name) == 0)
                return o;
        std::fprintf(stderr, "benchmark: no option %s\n", name);
        std::abort();
    }
    void printHelp(const char* program) const
    {
        std::printf("usage: %s [options]\n\n%s\n\noptions:\n", program, purpose_.c_str());
        for (const Option& o : options_) {
            std::string left = o.name;
            if (o.valueName)
                left += std::string(" ") + o.valueName;
            std::printf("  %-22s %s", left.c_str(), o.help);
            if (o.valueName && !o.current.empty())
                std::printf(" (default %s)", o.current.c_str());
            std::printf("\n");
        }
        std::printf("  %-22s %s\n", "--help", "this text");
    }

    std::string purpose_;
    std::vector<Option> options_;
};
