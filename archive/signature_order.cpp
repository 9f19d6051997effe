// Signature ordering. Formats whose signature sits at its offset from the
// start are picked out first by a direct look. The others hang, one entry per
// signature, in buckets keyed by a signature's first two bytes; one pass over
// the data walks the bucket of every position and takes a format out at the
// first of its signatures that matches there.
#include "archive/signature_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool matches_at(const CByteBuffer& signature, const unsigned char* data, std::size_t size, std::size_t position)
{
    const std::size_t length = signature.GetCapacity();
    return length >= 2 && position <= size && length <= size - position &&
           std::memcmp(signature.Items(), data + position, length) == 0;
}

// One signature of one format in a bucket.
struct bucket_entry {
    int format;
    int signature;
    int next;  // the next entry of the bucket, or -1
};

}  // namespace

bool SignatureSitsAtItsOffset(const CArcInfoEx& format, const unsigned char* data, std::size_t size)
{
    for (int i = 0; i < format.Signatures.Size(); ++i)
        if (matches_at(format.Signatures[i], data, size, format.SignatureOffset))
            return true;
    return false;
}

CRecordVector<int> OrderFormatsBySignature(const CObjectVector<CArcInfoEx>& formats, const unsigned char* data,
                                           std::size_t size, bool zip_ends_file)
{
    const int count = formats.Size();
    CRecordVector<int> order;
    std::vector<bool> placed(static_cast<std::size_t>(count), false);
    const auto place = [&](int format) {
        order.Add(format);
        placed[static_cast<std::size_t>(format)] = true;
    };

    // At the start: by offset, and at one offset the later format first.
    std::vector<int> at_start;
    for (int i = count - 1; i >= 0; --i)
        if (SignatureSitsAtItsOffset(formats[i], data, size))
            at_start.push_back(i);
    std::stable_sort(at_start.begin(), at_start.end(),
                     [&](int a, int b) { return formats[a].SignatureOffset < formats[b].SignatureOffset; });
    for (const int format : at_start)
        place(format);
    if (zip_ends_file) {
        const int zip = FindFormatByName(formats, L"zip");
        if (zip >= 0 && !placed[static_cast<std::size_t>(zip)])
            place(zip);
    }

    // A bucket is a singly linked list through `next`, newest entry first.
    std::vector<int> heads(65536, -1);
    std::vector<bucket_entry> entries;
    for (int i = 0; i < count; ++i) {
        if (placed[static_cast<std::size_t>(i)])
            continue;
        for (int s = 0; s < formats[i].Signatures.Size(); ++s) {
            const CByteBuffer& signature = formats[i].Signatures[s];
            if (signature.GetCapacity() < 2)
                continue;
            const unsigned key = signature[0] + 256u * signature[1];
            entries.push_back({i, s, heads[key]});
            heads[key] = static_cast<int>(entries.size() - 1);
        }
    }
    for (std::size_t position = 0; position + 1 < size; ++position) {
        int* link = &heads[data[position] + 256u * data[position + 1]];
        while (*link != -1) {
            const bucket_entry& entry = entries[static_cast<std::size_t>(*link)];
            if (placed[static_cast<std::size_t>(entry.format)]) {
                *link = entry.next;  // placed through another of its signatures
            } else if (matches_at(formats[entry.format].Signatures[entry.signature], data, size, position)) {
                place(entry.format);
                *link = entry.next;
            } else {
                link = &entries[static_cast<std::size_t>(*link)].next;
            }
        }
    }
    for (int i = 0; i < count; ++i)
        if (!placed[static_cast<std::size_t>(i)])
            order.Add(i);

    if (order.Size() >= 2) {
        const int iso = FindFormatByName(formats, L"iso");
        const int udf = FindFormatByName(formats, L"udf");
        if (iso >= 0 && udf >= 0) {
            for (int i = 0; i + 1 < order.Size(); ++i) {
                if (order[i] == iso && order[i + 1] == udf) {
                    order[i] = udf;
                    order[i + 1] = iso;
                    break;
                }
            }
        }
    }
    return order;
}

bool EndsWithZipEndRecord(const unsigned char* tail, std::size_t size)
{
    constexpr std::size_t record_size = 22;
    constexpr std::size_t longest_comment = 65535;
    if (size < record_size)
        return false;
    // The record's start, from the last possible one back over every comment length.
    for (std::size_t comment = 0; comment <= longest_comment && record_size + comment <= size; ++comment) {
        const unsigned char* record = tail + size - record_size - comment;
        if (record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6 &&
            (record[20] | (record[21] << 8)) == static_cast<int>(comment))
            return true;
    }
    return false;
}
