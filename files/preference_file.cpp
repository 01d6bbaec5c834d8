#include "files/preference_file.h"

#include <algorithm>

namespace {

constexpr char kBlanks[] = " \t\r";

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool IsKey(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

// Splits a setting line into its key and value; false for a blank or comment line.
bool Split(const std::string& line, std::string& key, std::string& value) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') return false;
    const size_t equals = trimmed.find('=');
    key = Trim(trimmed.substr(0, equals));
    value = equals == std::string::npos ? "" : Trim(trimmed.substr(equals + 1));
    if (equals == std::string::npos) key.clear(); // not a setting: IsKey refuses it
    return true;
}

} // namespace

bool PreferenceFile::Parse(const std::string& text, int& badLine) {
    lines_.clear();
    badLine = 0;
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        ++number;
        std::string key, value;
        if (line.find('\0') != std::string::npos || (Split(line, key, value) && !IsKey(key))) {
            lines_.clear();
            badLine = number;
            return false;
        }
        lines_.push_back(line);
        start = end + 1;
    }
    return true;
}

std::string PreferenceFile::Get(const std::string& key, const std::string& fallback) const {
    std::string found = fallback, k, v;
    for (const std::string& line : lines_)
        if (Split(line, k, v) && k == key) found = v;
    return found;
}

bool PreferenceFile::Set(const std::string& key, const std::string& value) {
    if (!IsKey(key) || value.find_first_of("\n\r") != std::string::npos ||
        value.find('\0') != std::string::npos)
        return false;
    const std::string line = key + " = " + Trim(value);
    std::string k, v;
    // The last setting of the key is the one read back: it is the one changed.
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
        if (Split(*it, k, v) && k == key) {
            *it = line;
            return true;
        }
    lines_.push_back(line);
    return true;
}

std::string PreferenceFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) text += line + "\n";
    return text;
}
