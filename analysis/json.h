#pragma once
// A small, strict JSON reader for the files the program writes itself (the
// sweep's companion file): bounded in size and depth, every error a short
// sentence. Not a general JSON library.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace analysis::json {

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;                                   // String
    std::vector<Value> items;                           // Array
    std::vector<std::pair<std::string, Value>> fields;  // Object, in the file's order

    // The field `name` of an object; nullptr when absent or not an object.
    const Value* Find(std::string_view name) const;
};

constexpr size_t kMaxText = 64 * 1024;
constexpr int kMaxDepth = 16;

// Parses one JSON value filling the whole text (white space around it
// allowed). False, with `why`, for anything else: too long, too deep, a
// malformed number, string or escape, a duplicate key.
bool Parse(std::string_view text, Value& out, std::string& why);

}  // namespace analysis::json
