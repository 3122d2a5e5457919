#include "header.h"

#include <vector>

namespace simmeter {
namespace {

struct Node {
    std::string_view text;  // "VOLTage"
    bool optional;
};

std::vector<Node> PatternNodes(std::string_view pattern)
{
    std::vector<Node> nodes;
    bool optional = false;
    size_t word = std::string_view::npos;
    for (size_t i = 0; i <= pattern.size(); ++i) {
        const char c = i < pattern.size() ? pattern[i] : ':';
        const bool separator = c == '[' || c == ']' || c == ':';
        if (!separator) {
            if (word == std::string_view::npos)
                word = i;
            continue;
        }
        if (word != std::string_view::npos)
            nodes.push_back({pattern.substr(word, i - word), optional});
        word = std::string_view::npos;
        if (c == '[')
            optional = true;
        else if (c == ']')
            optional = false;
    }
    return nodes;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The short form is the pattern's capitals; the long form the whole word.
bool NodeMatches(std::string_view given, std::string_view pattern)
{
    std::string_view longForm = pattern;
    size_t shortLength = 0;
    while (shortLength < pattern.size() && !(pattern[shortLength] >= 'a' && pattern[shortLength] <= 'z'))
        ++shortLength;
    auto equal = [given](std::string_view form) {
        if (form.size() != given.size())
            return false;
        for (size_t i = 0; i < form.size(); ++i)
            if (Upper(given[i]) != Upper(form[i]))
                return false;
        return true;
    };
    return equal(longForm) || equal(pattern.substr(0, shortLength));
}

bool MatchFrom(const std::vector<std::string_view>& given, size_t g, const std::vector<Node>& nodes, size_t n)
{
    if (n == nodes.size())
        return g == given.size();
    if (nodes[n].optional && MatchFrom(given, g, nodes, n + 1))
        return true;
    return g < given.size() && NodeMatches(given[g], nodes[n].text) && MatchFrom(given, g + 1, nodes, n + 1);
}

}  // namespace

bool Matches(std::string_view header, std::string_view pattern)
{
    if (!header.empty() && header.front() == ':')
        header.remove_prefix(1);
    std::vector<std::string_view> given;
    while (true) {
        const size_t colon = header.find(':');
        given.push_back(header.substr(0, colon));
        if (given.back().empty())
            return false;
        if (colon == std::string_view::npos)
            break;
        header.remove_prefix(colon + 1);
    }
    return MatchFrom(given, 0, PatternNodes(pattern), 0);
}

}  // namespace simmeter
