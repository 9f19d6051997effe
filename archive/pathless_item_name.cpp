// Naming an item without a path after the archive file.
#include "archive/pathless_item_name.h"

#include "archive/string_convert.h"

namespace {

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
    const UString extension = MultiByteToUnicodeString(AString(std::string(fileName.substr(dot + 1)).c_str()));
    for (int i = 0; i < format.Exts.Size(); ++i)
        if (CompareNoCase(format.Exts[i].Ext, extension) == 0)
            return std::string(stem) + Narrow(format.Exts[i].AddExt);
    return std::string(stem);
}
