// Recursive-descent reader for strict JSON.
#include "tests/support/strict_json.h"

#include <cstdlib>
#include <stdexcept>

namespace test_support {
namespace {

class reader {
public:
    explicit reader(const std::string& text) : text_(text) {}

    bool document(json_value& out)
    {
        return value(out) && (skip_space(), pos_ == text_.size());
    }

private:
    void skip_space()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    bool take(char c)
    {
        skip_space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool literal(const char* word)
    {
        std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0)
            return false;
        pos_ += w.size();
        return true;
    }

    bool value(json_value& out)
    {
        skip_space();
        if (pos_ >= text_.size())
            return false;
        char c = text_[pos_];
        if (c == '{')
            return object(out);
        if (c == '[')
            return array(out);
        if (c == '"') {
            out.type = json_value::kind::string;
            return string(out.text);
        }
        if (c == 't' || c == 'f') {
            out.type = json_value::kind::boolean;
            out.boolean = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n')
            return literal("null");
        return number(out);
    }

    bool object(json_value& out)
    {
        out.type = json_value::kind::object;
        ++pos_;
        if (take('}'))
            return true;
        do {
            std::string key;
            skip_space();
            if (pos_ >= text_.size() || text_[pos_] != '"' || !string(key) || !take(':'))
                return false;
            json_value member;
            if (!value(member))
                return false;
            out.keys.push_back(std::move(key));
            out.values.push_back(std::move(member));
        } while (take(','));
        return take('}');
    }

    bool array(json_value& out)
    {
        out.type = json_value::kind::array;
        ++pos_;
        if (take(']'))
            return true;
        do {
            json_value item;
            if (!value(item))
                return false;
            out.items.push_back(std::move(item));
        } while (take(','));
        return take(']');
    }

    bool hex4(unsigned& code)
    {
        if (pos_ + 4 > text_.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            code <<= 4;
            if (c >= '0' && c <= '9') code |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f') code |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') code |= unsigned(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    static void append_utf8(std::string& out, unsigned code)
    {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    bool string(std::string& out)
    {
        ++pos_;
        while (pos_ < text_.size()) {
            unsigned char c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (pos_ >= text_.size())
                return false;
            char e = text_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code;
                if (!hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    unsigned low;
                    if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low >= 0xE000)
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                append_utf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool number(json_value& out)
    {
        std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-')
            ++pos_;
        std::size_t digits = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        if (pos_ == digits)
            return false;
        out.type = json_value::kind::number;
        out.number = std::strtod(text_.substr(start, pos_ - start).c_str(), nullptr);
        return true;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

const json_value& json_value::at(const std::string& key) const
{
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key)
            return values[i];
    throw std::out_of_range("no JSON member " + key);
}

std::optional<json_value> parse_strict_json(const std::string& text)
{
    json_value out;
    if (!reader(text).document(out))
        return std::nullopt;
    return out;
}

}  // namespace test_support
