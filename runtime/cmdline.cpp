#include "cmdline.h"

#include <cstdio>

namespace cmdline {
namespace {
const Option kHelp{"help", Option::Value::None, {}, "print this text and end", 'h'};
const Option kVersion{"version", Option::Value::None, {}, "print the version and end", 0};

const Option* FindLong(const Program& program, const std::string& name)
{
    for (const Option* o : {&kHelp, &kVersion})
        if (o->name == name)
            return o;
    for (const Option& o : program.options)
        if (o.name == name && !o.toolkit)
            return &o;
    return nullptr;
}

const Option* FindToolkit(const Program& program, const std::string& name)
{
    for (const Option& o : program.options)
        if (o.name == name && o.toolkit)
            return &o;
    return nullptr;
}

const Option* FindShort(const Program& program, char c)
{
    if (c == 'h')
        return &kHelp;
    for (const Option& o : program.options)
        if (o.shortName != 0 && o.shortName == c)
            return &o;
    return nullptr;
}

void OptionHelp(std::string& text, const Option& o)
{
    std::string head = "  ";
    head += o.shortName != 0 ? std::string("-") + o.shortName + ", " : std::string("    ");
    head += "--" + o.name;
    if (o.value == Option::Value::Required)
        head += " " + o.valueName;
    else if (o.value == Option::Value::Optional)
        head += "[=" + o.valueName + "]";
    constexpr size_t kColumn = 26;
    head += head.size() < kColumn ? std::string(kColumn - head.size(), ' ') : "\n" + std::string(kColumn, ' ');
    text += head;
    for (const char c : o.help) {
        text += c;
        if (c == '\n')
            text += std::string(kColumn, ' ');
    }
    text += '\n';
}
}  // namespace

bool Parsed::Has(const std::string& name) const
{
    for (const Given& g : given)
        if (g.name == name)
            return true;
    return false;
}

std::optional<std::string> Parsed::Value(const std::string& name) const
{
    for (auto it = given.rbegin(); it != given.rend(); ++it)
        if (it->name == name)
            return it->value;
    return std::nullopt;
}

std::string HelpText(const Program& program)
{
    std::string text = "Usage: " + program.name + " " + program.synopsis + "\n";
    if (!program.description.empty())
        text += program.description + "\n";
    text += "\nOptions:\n";
    for (const Option& o : program.options)
        if (!o.toolkit)
            OptionHelp(text, o);
    OptionHelp(text, kHelp);
    OptionHelp(text, kVersion);
    if (!program.footer.empty())
        text += "\n" + program.footer + "\n";
    return text;
}

int Fail(const Program& program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.name.c_str(), message.c_str(),
                 program.name.c_str());
    return 2;
}

const char* PackageVersion() { return QV_PACKAGE_VERSION; }

int Parse(const Program& program, int argc, const char* const* argv, Parsed& out)
{
    out = Parsed{};
    bool optionsOver = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsOver || arg == "-" || arg.empty() || arg[0] != '-') {
            if (out.operands.size() >= program.maxOperands)
                return Fail(program, program.maxOperands == 0 ? "unexpected argument '" + arg + "'"
                                                              : "too many arguments ('" + arg + "')");
            out.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsOver = true;
            continue;
        }
        const Option* option = nullptr;
        std::optional<std::string> value;
        std::string shown = arg;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            shown = "--" + name;
            option = FindLong(program, name);
            if (option != nullptr && eq != std::string::npos) {
                if (option->value == Option::Value::None)
                    return Fail(program, "option '" + shown + "' takes no value");
                value = arg.substr(eq + 1);
            }
        } else if (arg.size() == 2) {
            option = FindShort(program, arg[1]);
        } else if (const Option* toolkit = FindToolkit(program, arg.substr(1))) {
            if (toolkit->value == Option::Value::Required && ++i >= argc)
                return Fail(program, "option '" + arg + "' needs a value (" + toolkit->valueName + ")");
            continue;  // the toolkit reads it itself
        }
        if (option == nullptr)
            return Fail(program, "unknown option '" + shown + "'");
        if (!value && option->value != Option::Value::None && i + 1 < argc) {
            const std::string next = argv[i + 1];
            // An optional value is taken from the next argument only when that
            // is no option itself.
            if (option->value == Option::Value::Required || (!next.empty() && next[0] != '-')) {
                value = next;
                ++i;
            }
        }
        if (!value && option->value == Option::Value::Required)
            return Fail(program, "option '" + shown + "' needs a value (" + option->valueName + ")");
        if (option == &kHelp) {
            std::fputs(HelpText(program).c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (option == &kVersion) {
            std::printf("%s %s\n", program.name.c_str(), program.version.c_str());
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        out.given.push_back({option->name, std::move(value)});
    }
    return -1;
}

}  // namespace cmdline
