// Splitting the sim's small text files into lines and words.
#pragma once

#include <string>
#include <vector>

// The file's lines without their line ends.
std::vector<std::string> splitLines(const std::string& text);

// The words of a line, split on blanks. A word in double quotes keeps its
// blanks and loses its quotes; an unclosed quote makes the line bad (false).
// A '#' outside quotes starts a comment.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted);

// A whole word as a decimal number in [low, high].
bool parseNumber(const std::string& word, long long low, long long high, long long& value);

// "key=value" into its parts; false when there is no '='.
bool splitOption(const std::string& word, std::string& key, std::string& value);
