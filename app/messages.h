// The program's fixed console texts.
#pragma once

namespace app {

inline constexpr const char banner_text[] = "Vorsel -- a web archive browser based on 7-Zip";

inline constexpr const char usage_text[] =
    "Usage: Vorsel.exe archive\n"
    "Examples:\n"
    "  Vorsel a.7z      : browse 'a.7z'\n"
    "  Vorsel b.rar     : browse 'b.rar'\n"
    "  Vorsel c.zip     : browse 'c.zip'\n";

}  // namespace app
