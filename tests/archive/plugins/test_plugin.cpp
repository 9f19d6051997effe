// A small plug-in library for the tests, standing in for behaviour that the real
// library never shows. One source, built several times; the variant macro picks
// what the library exports and how it answers:
//   TEST_PLUGIN_FORMATS             methods, formats and handlers that log each Open
//   TEST_PLUGIN_NO_CREATE_OBJECT    formats but no CreateObject
//   TEST_PLUGIN_FAILING_COUNT       GetNumberOfFormats fails
//   TEST_PLUGIN_SINGLE_PROPERTY     only GetHandlerProperty, while claiming 3 formats
#include "archive/plugin_interface.h"
#include "platform/ole_automation.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct format_row {
    const wchar_t* name;
    bool has_class_id;
    const wchar_t* extensions;
    const wchar_t* add_extensions;
    const char* signature;  // null: none
};

// Handlers of these formats accept a stream that starts with "ACCEPT"; the others
// refuse every stream.
const format_row formats[] = {
    {L"first", true, L"fst", L"", "SIGA"},
    {L"noclass", false, L"nc", L"", nullptr},
    {L"tar", true, L"tar tgz", L"* .tar", "SIGB"},
    {L"iso", true, L"iso img", L"", nullptr},
    {L"udf", true, L"udf", L"", nullptr},
    {L"accepting", true, L"acc", L"", nullptr},
};
constexpr UInt32 format_count = sizeof formats / sizeof formats[0];

// Class ids: format i is {..., 0xF0, i}; method i decodes as {..., 0xD0, i} and,
// for method 0 only, encodes as {..., 0xE0, i}.
GUID make_id(std::uint8_t kind, std::uint8_t index)
{
    return GUID{0x7E570000, 0, 0, {0, 0, 0, 0, 0, 0, kind, index}};
}

std::string open_log;

void put_bstr(PROPVARIANT* value, const void* data, std::uint32_t byte_length)
{
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringByteLen(data, byte_length);
}

void put_text(PROPVARIANT* value, const wchar_t* text)
{
    put_bstr(value, text, static_cast<std::uint32_t>(std::wcslen(text) * sizeof(wchar_t)));
}

void put_id(PROPVARIANT* value, const GUID& id)
{
    put_bstr(value, &id, sizeof id);
}

class test_handler final : public IInArchive {
public:
    explicit test_handler(UInt32 format) : format_(format) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IInArchive) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (--references_ != 0)
            return references_;
        delete this;
        return 0;
    }

    HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const UInt64*, IArchiveOpenCallback*) override
    {
        char name[32];
        std::snprintf(name, sizeof name, "%ls", formats[format_].name);
        if (!open_log.empty())
            open_log += ' ';
        open_log += name;
        char start[6] = {};
        UInt32 processed = 0;
        stream->Read(start, sizeof start, &processed);
        const bool accepted = std::wcscmp(formats[format_].name, L"accepting") == 0 && processed == sizeof start &&
                              std::memcmp(start, "ACCEPT", sizeof start) == 0;
        return accepted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetNumberOfItems(UInt32* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetProperty(UInt32, PROPID, PROPVARIANT*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Extract(const UInt32*, UInt32, Int32, IArchiveExtractCallback*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID, PROPVARIANT*) override { return S_OK; }

private:
    UInt32 format_;
    ULONG references_ = 0;
};

// The object that stands for every coder this library makes.
class test_coder final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID&, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
} coder;

HRESULT format_property(UInt32 index, PROPID id, PROPVARIANT* value)
{
    if (index >= format_count)
        return E_FAIL;
    const format_row& row = formats[index];
    switch (id) {
    case handler_property::name:
        put_text(value, row.name);
        break;
    case handler_property::class_id:
        if (row.has_class_id)
            put_id(value, make_id(0xF0, static_cast<std::uint8_t>(index)));
        break;
    case handler_property::extension:
        put_text(value, row.extensions);
        break;
    case handler_property::add_extension:
        put_text(value, row.add_extensions);
        break;
    case handler_property::update:
        value->vt = VT_BOOL;
        value->boolVal = VARIANT_TRUE;
        break;
    case handler_property::keep_name:
        value->vt = VT_BOOL;
        value->boolVal = index == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case handler_property::start_signature:
        if (row.signature)
            put_bstr(value, row.signature, static_cast<std::uint32_t>(std::strlen(row.signature)));
        break;
    }
    return S_OK;
}

}  // namespace

#ifndef TEST_PLUGIN_NO_CREATE_OBJECT
EXPORT HRESULT STDMETHODCALLTYPE CreateObject(const GUID* class_id, const GUID* iid, void** object)
{
    *object = nullptr;
    for (UInt32 i = 0; i < format_count; ++i) {
        if (*class_id == make_id(0xF0, static_cast<std::uint8_t>(i))) {
            if (!(*iid == IID_IInArchive))
                return E_NOINTERFACE;
            auto* handler = new test_handler(i);
            handler->AddRef();
            *object = handler;
            return S_OK;
        }
    }
    if (*class_id == make_id(0xD0, 0) || *class_id == make_id(0xD0, 1) || *class_id == make_id(0xE0, 0)) {
        *object = &coder;
        return S_OK;
    }
    return E_FAIL;
}
#endif

#ifdef TEST_PLUGIN_SINGLE_PROPERTY
EXPORT HRESULT STDMETHODCALLTYPE GetHandlerProperty(PROPID id, PROPVARIANT* value)
{
    return format_property(0, id, value);
}
#else
EXPORT HRESULT STDMETHODCALLTYPE GetHandlerProperty2(UInt32 index, PROPID id, PROPVARIANT* value)
{
    return format_property(index, id, value);
}
#endif

EXPORT HRESULT STDMETHODCALLTYPE GetNumberOfFormats(UInt32* count)
{
#ifdef TEST_PLUGIN_FAILING_COUNT
    *count = 0;
    return E_FAIL;
#elif defined TEST_PLUGIN_SINGLE_PROPERTY
    *count = 3;
    return S_OK;
#else
    *count = format_count;
    return S_OK;
#endif
}

#ifdef TEST_PLUGIN_FORMATS
EXPORT HRESULT STDMETHODCALLTYPE GetNumberOfMethods(UInt32* count)
{
    *count = 2;
    return S_OK;
}

EXPORT HRESULT STDMETHODCALLTYPE GetMethodProperty(UInt32 index, PROPID id, PROPVARIANT* value)
{
    if (index > 1)
        return E_FAIL;
    if (id == method_property::decoder)
        put_id(value, make_id(0xD0, static_cast<std::uint8_t>(index)));
    else if (id == method_property::encoder && index == 0)
        put_id(value, make_id(0xE0, 0));
    else if (id == 1)
        put_text(value, index == 0 ? L"method0" : L"method1");
    return S_OK;
}

// The names of the formats whose handlers were asked to open, in order.
EXPORT const char* TestOpenLog()
{
    return open_log.c_str();
}

EXPORT void TestClearOpenLog()
{
    open_log.clear();
}
#endif
