#include "app/recent_files.h"

#include <sys/stat.h>

#include <cstdlib>

#include "core/file_io.h"
#include "core/file_save.h"

namespace varno::app {
namespace {

// One path a line; a path may hold any byte but NUL, so a line end and the
// backslash that escapes it are written as "\n" and "\\".
std::string Escaped(const std::string& path)
{
    std::string out;
    for (const char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(std::string_view line)
{
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out += line[++i] == 'n' ? '\n' : line[i];
        } else {
            out += line[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> RecentFilesStore::Load() const
{
    std::vector<std::string> paths;
    const WholeFile list = ReadWholeFile(file_, file_, 1 << 16, "a list of recent files is far shorter");
    if (!list.ok()) return paths;
    for (std::size_t start = 0; start < list.text.size();) {
        const std::size_t end = std::min(list.text.find('\n', start), list.text.size());
        if (end > start) paths.push_back(Unescaped(std::string_view(list.text).substr(start, end - start)));
        start = end + 1;
    }
    return paths;
}

bool RecentFilesStore::Store(const std::vector<std::string>& paths) const
{
    const std::size_t slash = file_.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        // Each folder on the way, as mkdir -p makes them, private to the user.
        for (std::size_t at = file_.find('/', 1); at != std::string::npos && at <= slash; at = file_.find('/', at + 1))
            mkdir(file_.substr(0, at).c_str(), 0700);
    }
    std::string text;
    for (const std::string& path : paths) (text += Escaped(path)) += '\n';
    return SaveFile(file_, text, SystemSaveIo()).ok();
}

bool RecentFilesStore::Exists() const
{
    struct stat info {};
    return stat(file_.c_str(), &info) == 0;
}

std::string DefaultRecentFilesPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/varno/recent-files";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/varno/recent-files";
}

}  // namespace varno::app
