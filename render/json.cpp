#include "render/json.h"

#include "hosting/user_error.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillo::render::json {
namespace {

// Deep enough for any file of ours, shallow enough for the stack.
constexpr int kMaxDepth = 200;

class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text) {}

    Value document() {
        Value value = parseValue(0);
        skipSpace();
        if (at_ < text_.size()) fail("text after the value");
        return value;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw SyntaxError(line_, column_, what);
    }

    bool done() const { return at_ >= text_.size(); }
    char peek() const { return done() ? '\0' : text_[at_]; }

    char next() {
        const char c = text_[at_++];
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column_; // columns count characters, not the bytes of UTF-8
        }
        return c;
    }

    void skipSpace() {
        while (!done() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            next();
    }

    void expectWord(const char* word) {
        for (const char* c = word; *c; ++c) {
            if (peek() != *c) fail(std::string("expected '") + word + "'");
            next();
        }
    }

    Value parseValue(int depth) {
        skipSpace();
        if (depth > kMaxDepth) fail("nested too deeply");
        Value value;
        value.line = line_;
        value.column = column_;
        switch (peek()) {
        case '{': parseObject(value, depth); break;
        case '[': parseArray(value, depth); break;
        case '"':
            value.type = Value::Type::String;
            value.text = parseString();
            break;
        case 't':
            expectWord("true");
            value.type = Value::Type::Boolean;
            value.boolean = true;
            break;
        case 'f':
            expectWord("false");
            value.type = Value::Type::Boolean;
            break;
        case 'n': expectWord("null"); break;
        case '\0':
            if (done()) fail("the text ends where a value should be");
            [[fallthrough]];
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                parseNumber(value);
            } else {
                fail(std::string("unexpected '") + peek() + "'");
            }
        }
        return value;
    }

    void parseObject(Value& value, int depth) {
        value.type = Value::Type::Object;
        next();
        skipSpace();
        if (peek() == '}') {
            next();
            return;
        }
        for (;;) {
            skipSpace();
            if (peek() != '"') fail("expected a key in double quotes");
            const int keyLine = line_, keyColumn = column_;
            std::string key = parseString();
            if (value.find(key)) throw SyntaxError(keyLine, keyColumn, "'" + key + "' given twice");
            skipSpace();
            if (peek() != ':') fail("expected ':' after the key");
            next();
            Value member = parseValue(depth + 1);
            value.members.emplace_back(std::move(key), std::move(member));
            skipSpace();
            if (peek() == ',') {
                next();
            } else if (peek() == '}') {
                next();
                return;
            } else {
                fail("expected ',' or '}'");
            }
        }
    }

    void parseArray(Value& value, int depth) {
        value.type = Value::Type::Array;
        next();
        skipSpace();
        if (peek() == ']') {
            next();
            return;
        }
        for (;;) {
            value.items.push_back(parseValue(depth + 1));
            skipSpace();
            if (peek() == ',') {
                next();
            } else if (peek() == ']') {
                next();
                return;
            } else {
                fail("expected ',' or ']'");
            }
        }
    }

    void parseNumber(Value& value) {
        const size_t start = at_;
        auto digits = [&] {
            if (!(peek() >= '0' && peek() <= '9')) fail("expected a digit");
            while (peek() >= '0' && peek() <= '9')
                next();
        };
        if (peek() == '-') next();
        if (peek() == '0') {
            next();
        } else {
            digits();
        }
        if (peek() == '.') {
            next();
            digits();
        }
        if (peek() == 'e' || peek() == 'E') {
            next();
            if (peek() == '+' || peek() == '-') next();
            digits();
        }
        value.type = Value::Type::Number;
        value.text = text_.substr(start, at_ - start);
        value.number = std::strtod(value.text.c_str(), nullptr);
        if (!std::isfinite(value.number)) fail("the number " + value.text + " is too large");
    }

    unsigned hexQuad() {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            unsigned digit = 0;
            if (c >= '0' && c <= '9') {
                digit = unsigned(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = unsigned(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = unsigned(c - 'A' + 10);
            } else {
                fail("expected four hexadecimal digits after \\u");
            }
            next();
            code = code * 16 + digit;
        }
        return code;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | code >> 18);
            out += char(0x80 | (code >> 12 & 0x3F));
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    std::string parseString() {
        next(); // the opening quote
        std::string out;
        for (;;) {
            if (done()) fail("the string has no closing quote");
            const char c = peek();
            if (c == '"') {
                next();
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) fail("a control character inside a string");
            next();
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escaped = done() ? '\0' : next();
            switch (escaped) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code = hexQuad();
                if (code >= 0xD800 && code < 0xDC00) {
                    if (peek() != '\\') fail("a lone surrogate in \\u escapes");
                    next();
                    if (peek() != 'u') fail("a lone surrogate in \\u escapes");
                    next();
                    const unsigned low = hexQuad();
                    if (low < 0xDC00 || low >= 0xE000) fail("a lone surrogate in \\u escapes");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    fail("a lone surrogate in \\u escapes");
                }
                appendUtf8(out, code);
                break;
            }
            default: fail("an unknown escape in a string");
            }
        }
    }

    const std::string& text_;
    size_t at_ = 0;
    int line_ = 1;
    int column_ = 1;
};

} // namespace

const Value* Value::find(const std::string& key) const {
    for (const auto& [name, value] : members)
        if (name == key) return &value;
    return nullptr;
}

const char* describe(Value::Type type) {
    switch (type) {
    case Value::Type::Null: return "null";
    case Value::Type::Boolean: return "true or false";
    case Value::Type::Number: return "a number";
    case Value::Type::String: return "a string";
    case Value::Type::Array: return "a list";
    case Value::Type::Object: return "an object";
    }
    return "";
}

Value parse(const std::string& text) {
    return Parser(text).document();
}

Value parse(const std::string& text, const std::string& name) {
    try {
        return parse(text);
    } catch (const SyntaxError& error) {
        throw UserError(name + ":" + std::to_string(error.line) + ":" +
                        std::to_string(error.column) + ": " + error.what());
    }
}

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string number(float value) {
    char text[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

} // namespace quillo::render::json
