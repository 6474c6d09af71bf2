// The JSON quillo-render reads (automation files, job lists as JSON Lines,
// sidecars) and writes (sidecars, dataset manifests). Every value remembers where
// it starts, so a message can name the place in the file; numbers keep the text
// they were written as, so a value passes on exactly as the user wrote it.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillo::render::json {

struct Value {
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text; // a string's characters, or a number as written
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members; // in the order written
    int line = 1;                                       // where the value starts, from 1
    int column = 1;

    bool isNumber() const { return type == Type::Number; }
    bool isString() const { return type == Type::String; }
    bool isObject() const { return type == Type::Object; }
    bool isArray() const { return type == Type::Array; }
    // The member with this key, or null.
    const Value* find(const std::string& key) const;
};

// "a number", "an object", ...: for messages.
const char* describe(Value::Type type);

class SyntaxError : public std::runtime_error {
  public:
    SyntaxError(int line, int column, const std::string& what)
        : std::runtime_error(what), line(line), column(column) {}
    int line;
    int column;
};

// One value and nothing but white space around it. Keys may not repeat within an
// object. Throws SyntaxError.
Value parse(const std::string& text);
// The same for the text of a file; throws UserError "NAME:LINE:COLUMN: what".
Value parse(const std::string& text, const std::string& name);

// A string literal with its quotes, escaped as JSON needs.
std::string quote(const std::string& text);
// The shortest decimal text that reads back as the same float.
std::string number(float value);

} // namespace quillo::render::json
