// RunOnce: runs a command once at the user's next login, through an XDG
// autostart entry that removes itself before it starts the command.
#include "helvex1.h"

#include <QDir>
#include <QSaveFile>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The autostart folder of the XDG Base Directory rules.
std::string autostartFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || !*home)
            return {};
        base = std::string(home) + "/.config";
    }
    return base + "/autostart";
}

// One argument of an Exec key: quoted when it holds a reserved character,
// with `"`, `` ` ``, `$` and `\` escaped inside the quotes.
std::string quoteArgument(const std::string &arg)
{
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    if (!arg.empty() && arg.find_first_of(reserved) == std::string::npos)
        return arg;
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// A value of type string in a desktop entry: backslash and control
// characters escaped; for the Exec key also "%" doubled (field codes).
std::string escapeValue(const std::string &value, bool exec)
{
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '%':
            out += exec ? "%%" : "%";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string execLine(const std::string &entryPath, const std::string &command)
{
    // $0 is the entry, $1 the command: the entry goes first, and only when
    // it has gone does the command run, so it never runs twice.
    const std::vector<std::string> argv = {
        "/bin/sh", "-c", "rm -f -- \"$0\" && exec /bin/sh -c \"$1\"", entryPath, command};
    std::string line;
    for (const std::string &a : argv) {
        if (!line.empty())
            line += ' ';
        line += quoteArgument(a);
    }
    return escapeValue(line, true);
}

bool validName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

extern "C" HELVEX1_API HX_BOOL RunOnce(const char *name, const char *command)
{
    if (!name || !command || !validName(name))
        return 0;
    const std::string folder = autostartFolder();
    if (folder.empty() || !QDir().mkpath(QString::fromStdString(folder)))
        return 0;
    const std::string path = folder + '/' + name + ".desktop";
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=" + escapeValue(name, false) + "\n"
                              "Exec=" + execLine(path, command) + "\n"
                              "NoDisplay=true\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    if (file.write(entry.data(), static_cast<qint64>(entry.size())) != static_cast<qint64>(entry.size()))
        return 0;
    return file.commit() ? 1 : 0;
}
