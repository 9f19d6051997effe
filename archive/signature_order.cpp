// Signature ordering: each format with a signature of at least 2 bytes hangs in a
// bucket keyed by its first two bytes; one pass over the data walks the bucket of
// every position and takes each format out when its signature matches there.
#include "archive/signature_order.h"

#include <cstring>
#include <vector>

CRecordVector<int> OrderFormatsBySignature(const CObjectVector<CArcInfoEx>& formats, const unsigned char* data,
                                           std::size_t size)
{
    const int count = formats.Size();
    // A bucket is a singly linked list through `next`, newest format first.
    std::vector<int> heads(65536, -1);
    std::vector<int> next(static_cast<std::size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        const CByteBuffer& signature = formats[i].StartSignature;
        if (signature.GetCapacity() < 2)
            continue;
        const unsigned key = signature[0] + 256u * signature[1];
        next[static_cast<std::size_t>(i)] = heads[key];
        heads[key] = i;
    }

    CRecordVector<int> order;
    std::vector<bool> matched(static_cast<std::size_t>(count), false);
    for (std::size_t position = 0; position + 1 < size; ++position) {
        int* link = &heads[data[position] + 256u * data[position + 1]];
        while (*link != -1) {
            const int candidate = *link;
            const CByteBuffer& signature = formats[candidate].StartSignature;
            if (position + signature.GetCapacity() <= size &&
                std::memcmp(signature.Items(), data + position, signature.GetCapacity()) == 0) {
                order.Add(candidate);
                matched[static_cast<std::size_t>(candidate)] = true;
                *link = next[static_cast<std::size_t>(candidate)];
            } else {
                link = &next[static_cast<std::size_t>(candidate)];
            }
        }
    }
    for (int i = 0; i < count; ++i)
        if (!matched[static_cast<std::size_t>(i)])
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
