// Opening, listing and extracting through one handler.
#include "archive/archive_file.h"

#include "archive/extract_callback.h"
#include "archive/in_file_stream.h"
#include "archive/item_links.h"
#include "archive/joined_volumes.h"
#include "archive/open_callback.h"
#include "archive/pathless_item_name.h"
#include "archive/prop_variant.h"
#include "archive/string_convert.h"

namespace archive {

open_outcome archive_file::open(CCodecs& codecs, const std::string& path, std::optional<std::string> password,
                                const std::string& name)
{
    name_ = name.empty() ? path : name;
    make_stream_ = nullptr;
    return open_stream(codecs, path, -1, std::move(password));
}

open_outcome archive_file::open_decoded(CCodecs& codecs, stream_maker make, std::optional<std::string> password,
                                        const std::string& name, int format_index)
{
    name_ = name;
    make_stream_ = std::move(make);
    return open_stream(codecs, {}, format_index, std::move(password));
}

open_outcome archive_file::open_again(CCodecs& codecs, const archive_file& opened)
{
    name_ = opened.name_;
    names_code_page_ = opened.names_code_page_;
    make_stream_ = opened.make_stream_;
    watch_ = opened.watch_;
    return open_stream(codecs, opened.path_, opened.format_index_, opened.password_);
}

void archive_file::take_over(archive_file& other)
{
    close();
    path_ = other.path_;
    make_stream_ = other.make_stream_;
    name_ = other.name_;
    password_ = other.password_;
    names_code_page_ = other.names_code_page_;
    format_index_ = other.format_index_;
    format_ = other.format_;
    stream_ = other.stream_;
    handler_ = other.handler_;
    other.close();
}

void archive_file::close()
{
    handler_.Release();
    stream_.Release();
}

std::wstring archive_file::format_name() const
{
    return format_ ? std::wstring(static_cast<const wchar_t*>(format_->Name)) : std::wstring();
}

open_outcome archive_file::open_stream(CCodecs& codecs, const std::string& path, int format_index,
                                       std::optional<std::string> password)
{
    handler_.Release();
    stream_.Release();
    path_ = path;
    password_ = password.value_or(std::string());
    open_outcome outcome{open_status::cannot_open_file, false, {}};
    // Numbered volumes are read as the whole they were cut from, which goes by
    // the name without the number.
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (make_stream_) {
        stream_ = make_stream_();
        name = name_;
    } else if (IsFirstNumberedVolume(path)) {
        auto* joined = new CJoinedVolumesStream;
        stream_ = joined;
        if (!joined->Open(path, outcome.missing_volumes))
            return outcome;
        name.resize(name.size() - 4);
    } else {
        auto* file = new CInFileStream;
        stream_ = file;
        if (!file->Open(MultiByteToUnicodeString(AString(path.c_str()))))
            return outcome;
    }

    auto* callbackObject = new CArchiveOpenCallback(path.empty() ? name : path, name, std::move(password));
    CMyComPtr<IArchiveOpenCallback> callback(callbackObject);
    const HRESULT result = format_index < 0
                               ? OpenArchive(codecs, stream_, callback, handler_, format_index)
                               : OpenWithFormat(codecs, format_index, stream_, callback, handler_);
    outcome.password_asked = callbackObject->PasswordAsked;
    outcome.missing_volumes.insert(outcome.missing_volumes.end(), callbackObject->MissingVolumes.begin(),
                                   callbackObject->MissingVolumes.end());
    if (result != S_OK) {
        handler_.Release();
        outcome.status = open_status::not_an_archive;
        return outcome;
    }
    format_index_ = format_index;
    format_ = &codecs.FormatList[format_index];
    outcome.status = open_status::opened;
    return outcome;
}

names_outcome archive_file::list_items(const item_visitor& visit) const
{
    if (!handler_)
        return {};
    return ListItems(handler_, NameForPathlessItem(name_, *format_), names_code_page_, visit);
}

std::uint32_t archive_file::item_count() const
{
    UInt32 count = 0;
    if (!handler_ || handler_->GetNumberOfItems(&count) != S_OK)
        return 0;
    return count;
}

std::optional<std::uint32_t> archive_file::main_item() const
{
    CPropVariant value;
    if (!handler_ || handler_->GetArchiveProperty(archive_property::main_item, &value) != S_OK || value.vt != VT_UI4 ||
        value.ulVal >= item_count())
        return std::nullopt;
    return value.ulVal;
}

std::vector<item_details> archive_file::read_details()
{
    if (!handler_)
        return {};
    std::vector<item_details> details = ReadItemDetails(handler_);
    read_stored_link_targets(*this, details);
    return details;
}

namespace {

// One item's extraction as an extraction of several.
class single_item : public items_sink {
public:
    explicit single_item(item_sink& sink) : sink_(sink) {}
    item_sink* begin_item(std::uint32_t) override { return &sink_; }
    void end_item(std::uint32_t, item_status status) override { status_ = status; }
    bool wanted() override { return sink_.wanted(); }
    item_status status() const { return status_; }

private:
    item_sink& sink_;
    item_status status_ = item_status::failed;  // until the library reports one
};

// The results of an extraction, checked against the file's watch as each item
// ends: a file changed meanwhile makes an item that decoded well unsound.
class watched_items : public items_sink {
public:
    watched_items(items_sink& sink, const platform::file_watch& watch) : sink_(sink), watch_(watch) {}
    item_sink* begin_item(std::uint32_t index) override { return sink_.begin_item(index); }
    void end_item(std::uint32_t index, item_status status) override
    {
        sink_.end_item(index, status == item_status::ok && watch_.changed() ? item_status::archive_changed : status);
    }
    bool wanted() override { return sink_.wanted(); }
    void password_asked() override { sink_.password_asked(); }

private:
    items_sink& sink_;
    const platform::file_watch& watch_;
};

}  // namespace

item_status archive_file::extract(std::uint32_t index, item_sink& sink, const std::optional<std::string>& password)
{
    single_item item(sink);
    const item_status overall = extract_items({index}, item, password);
    if (overall == item_status::aborted || overall == item_status::archive_changed)
        return overall;
    if (item.status() == item_status::ok && overall != item_status::ok)
        return item_status::failed;
    return item.status();
}

item_status archive_file::extract_items(const std::vector<std::uint32_t>& indices, items_sink& sink,
                                        const std::optional<std::string>& password)
{
    if (!handler_)
        return item_status::failed;
    if (watch_ && watch_->changed())
        return item_status::archive_changed;
    std::optional<watched_items> watched;
    if (watch_)
        watched.emplace(sink, *watch_);
    auto* callbackObject =
        new CArchiveExtractCallback(watched ? static_cast<items_sink&>(*watched) : sink, password.value_or(password_));
    CMyComPtr<IArchiveExtractCallback> callback(callbackObject);
    const HRESULT result =
        handler_->Extract(indices.data(), static_cast<UInt32>(indices.size()), 0, callback);
    const item_status overall = callbackObject->Finish(result);
    return overall == item_status::ok && watch_ && watch_->changed() ? item_status::archive_changed : overall;
}

bool archive_file::item_size(std::uint32_t index, std::uint64_t& size) const
{
    CPropVariant value;
    if (!handler_ || handler_->GetProperty(index, item_property::size, &value) != S_OK || value.vt != VT_UI8)
        return false;
    size = prop_uint64(value);
    return true;
}

bool archive_file::item_modified(std::uint32_t index, std::uint64_t& filetime) const
{
    CPropVariant value;
    if (!handler_ || handler_->GetProperty(index, item_property::modified, &value) != S_OK || value.vt != VT_FILETIME)
        return false;
    filetime = (std::uint64_t{value.filetime.dwHighDateTime} << 32) | value.filetime.dwLowDateTime;
    return filetime != 0;
}

bool archive_file::item_is_folder(std::uint32_t index) const
{
    CPropVariant value;
    return handler_ && handler_->GetProperty(index, item_property::is_folder, &value) == S_OK &&
           value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
}

}  // namespace archive
