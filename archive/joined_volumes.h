// CJoinedVolumesStream: the numbered volumes of a set cut by size ("x.7z.001",
// "x.7z.002", ...) read as the one stream they were cut from, so that any
// handler opens the whole. A volume that is missing while a later one exists
// stands as a gap of the first volume's size (the size of every volume but the
// last) whose reads find nothing: the items it holds fail, the others decode.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/in_stream.h"
#include "platform/input_file.h"

// Whether `path` names the first of a set of numbered volumes: it ends in ".001".
bool IsFirstNumberedVolume(const std::string& path);

class CJoinedVolumesStream : public CInStream {
public:
    // Opens the volumes from `firstPath` (UTF-8, ending in ".001") to the
    // highest-numbered one in its folder. False when the first cannot be opened.
    // `missing` gets the names of the volumes missing in between.
    bool Open(const std::string& firstPath, std::vector<std::string>& missing);

    HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) override;
    HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) override;

private:
    struct volume {
        std::unique_ptr<platform::input_file> file;  // null: missing
        UInt64 start = 0;
        UInt64 size = 0;
    };

    std::vector<volume> Volumes;
    UInt64 Total = 0;
    UInt64 Position = 0;
};
