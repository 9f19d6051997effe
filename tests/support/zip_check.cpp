// The zip check, a Python script over the zip and the folder.
#include "tests/support/zip_check.h"

#include "tests/support/run_process.h"

namespace test_support {
namespace {

const char* const check_script = R"(
import os, struct, sys, time, zipfile, zlib
zip_path, folder = sys.argv[1], sys.argv[2]
problems = []
expected = {}
for top, dirs, files in os.walk(folder):
    for name in files:
        full = os.path.join(top, name)
        expected[os.path.relpath(full, folder).replace(os.sep, '/')] = full
z = zipfile.ZipFile(zip_path)
infos = z.infolist()
names = [i.filename for i in infos]
if sorted(names) != sorted(expected):
    problems.append('names %r, expected %r' % (sorted(names)[:10], sorted(expected)[:10]))
if len(set(names)) != len(names):
    problems.append('a name twice')
def stamp(extra):
    at = 0
    while at + 4 <= len(extra):
        kind, size = struct.unpack_from('<HH', extra, at)
        if kind == 0x5455 and size >= 5 and extra[at + 4] & 1:
            return struct.unpack_from('<i', extra, at + 5)[0]
        at += 4 + size
    return None
for info in infos:
    full = expected.get(info.filename)
    if full is None:
        continue
    data = open(full, 'rb').read()
    if info.compress_type != zipfile.ZIP_STORED:
        problems.append(info.filename + ': not stored')
    if not info.flag_bits & 0x800 and any(ord(c) > 127 for c in info.filename):
        problems.append(info.filename + ': no UTF-8 flag')
    if info.CRC != zlib.crc32(data):
        problems.append(info.filename + ': CRC %08x, expected %08x' % (info.CRC, zlib.crc32(data)))
    if z.read(info) != data:
        problems.append(info.filename + ': other bytes')
    mtime = int(os.stat(full).st_mtime)
    if stamp(info.extra) != mtime:
        problems.append(info.filename + ': timestamp %r, expected %r' % (stamp(info.extra), mtime))
    dos = time.gmtime(max(mtime, 315532800))[:6]
    dos = dos[:5] + (dos[5] // 2 * 2,)
    if info.date_time != dos:
        problems.append(info.filename + ': DOS time %r, expected %r' % (info.date_time, dos))
if z.testzip() is not None:
    problems.append('testzip failed')
print('\n'.join(problems[:20]))
)";

}  // namespace

std::string zip_differences(const std::string& zip, const std::string& folder, bool with_unzip)
{
    const process_result checked = run_process("/usr/bin/python3", {"-c", check_script, zip, folder});
    std::string differences = checked.out;
    if (checked.exit_status != 0)
        differences += "the check failed: " + checked.err;
    if (with_unzip) {
        const process_result tested = run_process("/usr/bin/unzip", {"-tqq", zip});
        if (tested.exit_status != 0)
            differences += "unzip -t: " + tested.out + tested.err;
    }
    while (!differences.empty() && differences.back() == '\n')
        differences.pop_back();
    return differences;
}

}  // namespace test_support
