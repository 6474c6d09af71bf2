// The JSON reader: values with their places, numbers as written, and errors that
// point at the character; the writer's strings and floats read back unchanged.
#include "render/json.h"

#include <gtest/gtest.h>

using namespace quillo::render;

TEST(Json, ReadsValuesWithWhereEachStarts) {
    const json::Value doc = json::parse(
        "{\"a\": [1, -2.50e1, true, null],\n \"b\": {\"c\": \"x\\u00e9\\ud83c\\udfb9\"}}");
    ASSERT_TRUE(doc.isObject());
    const json::Value& a = *doc.find("a");
    ASSERT_EQ(a.items.size(), 4u);
    EXPECT_EQ(a.items[1].text, "-2.50e1"); // as written
    EXPECT_EQ(a.items[1].number, -25.0);
    EXPECT_EQ(a.items[1].column, 11);
    EXPECT_TRUE(a.items[2].boolean);
    EXPECT_EQ(a.items[3].type, json::Value::Type::Null);
    const json::Value& c = *doc.find("b")->find("c");
    EXPECT_EQ(c.text, "x\xc3\xa9\xf0\x9f\x8e\xb9");
    EXPECT_EQ(c.line, 2);
    EXPECT_EQ(c.column, 13);
    EXPECT_EQ(doc.find("z"), nullptr);
}

TEST(Json, RefusesWhatIsNotJsonAtTheCharacter) {
    struct Case {
        const char* text;
        int line, column;
        const char* what;
    };
    for (const Case& bad : {Case{"{\"a\": 1,\n  }", 2, 3, "expected a key in double quotes"},
                            Case{"[1 2]", 1, 4, "expected ',' or ']'"},
                            Case{"{\"a\": 1, \"a\": 2}", 1, 10, "'a' given twice"},
                            Case{"01", 1, 2, "text after the value"},
                            Case{"\"abc", 1, 5, "the string has no closing quote"},
                            Case{"1e999", 1, 6, "the number 1e999 is too large"},
                            Case{"", 1, 1, "the text ends where a value should be"},
                            Case{"[\"\\ud800\"]", 1, 9, "a lone surrogate in \\u escapes"}}) {
        try {
            json::parse(bad.text);
            ADD_FAILURE() << bad.text;
        } catch (const json::SyntaxError& error) {
            EXPECT_EQ(error.what(), std::string(bad.what)) << bad.text;
            EXPECT_EQ(error.line, bad.line) << bad.text;
            EXPECT_EQ(error.column, bad.column) << bad.text;
        }
    }
    EXPECT_THROW(json::parse(std::string(1000, '[')), json::SyntaxError);
}

TEST(Json, WrittenStringsAndFloatsReadBackTheSame) {
    const std::string text = "tab\there \"quoted\" back\\slash \x01 caf\xc3\xa9";
    EXPECT_EQ(json::parse(json::quote(text)).text, text);
    for (float value : {0.3f, 0.1f + 0.2f, 1.0f / 3, 1e-7f, 0.0f, 0.51f}) {
        const std::string written = json::number(value);
        EXPECT_EQ(std::strtof(written.c_str(), nullptr), value) << written;
    }
    EXPECT_EQ(json::number(0.3f), "0.3");
}
