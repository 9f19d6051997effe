// Naming an item without a path after the archive file.
#include "archive/pathless_item_name.h"

#include "archive/string_convert.h"

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string Narrow(const UString& text)
{
    const AString bytes = UnicodeStringToMultiByte(text);
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}

}  // namespace

std::string NameForPathlessItem(std::string_view archivePath, const CArcInfoEx& format)
{
    std::string_view fileName = archivePath.substr(archivePath.find_last_of('/') + 1);
    std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::string(fileName);
    std::string_view stem = fileName.substr(0, dot);
    std::string_view extension = fileName.substr(dot + 1);
    for (int i = 0; i < format.Exts.Size(); ++i)
        if (EqualsIgnoringAsciiCase(Narrow(format.Exts[i].Ext), extension))
            return std::string(stem) + Narrow(format.Exts[i].AddExt);
    return std::string(stem);
}
