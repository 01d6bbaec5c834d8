// The preferences text file ("tavomix.conf"): one "key = value" a line, blank lines, and
// comment lines starting with '#'. The lines are kept as they were read, so that a rewrite keeps
// the comments and the keys of other versions of the program.
//
// Threads: any; an object is used by one thread.
#pragma once

#include <string>
#include <vector>

class PreferenceFile {
  public:
    // Takes the text of a file. A line that is not blank, a comment or a setting, a key that is
    // not made of letters, digits, '-', '_' and '.', or a NUL byte makes it damaged: false, with
    // the first such line's number (from 1) in `badLine`, and the preferences are left empty.
    bool Parse(const std::string& text, int& badLine);
    // The value of `key` (its last setting when there are several), else `fallback`.
    std::string Get(const std::string& key, const std::string& fallback = "") const;
    // Changes the line of `key`, or adds one at the end. A value with a line break is refused
    // (false): it could not be read back.
    bool Set(const std::string& key, const std::string& value);
    // The file's text, a line break after each line.
    std::string Text() const;

  private:
    std::vector<std::string> lines_;
};
