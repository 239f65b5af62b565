#pragma once

// The counts of a run's table read the plainest way: line by line, split at every comma (the
// tests' file names and tooth types hold none), by the header's column names. Independent of
// the report's own reading, for tests to hold it to.

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quendra {

struct PlainCounts {
    std::size_t items = 0, frames = 0, teeth = 0, canals = 0, none = 0, notRecognised = 0;
    std::map<std::string, std::size_t> types;
};

inline PlainCounts plainCounts(const std::string& table) {
    std::istringstream in(table);
    std::string line;
    std::vector<std::string> header;
    std::set<std::string> files, frames;
    PlainCounts c;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (line.back() == ',') f.emplace_back();
        if (header.empty()) {
            header = f;
            continue;
        }
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < header.size() && i < f.size(); ++i) row[header[i]] = f[i];
        files.insert(row["file"]);
        frames.insert(row["file"] + "\n" + row["frame"]);
        if (row["object"] == "none") ++c.none;
        if (row["object"] == "tooth") ++c.teeth, ++c.types[row["type"]];
        if (row["object"].rfind("canal", 0) == 0) ++c.canals;
        if (row["type"] == "Zahn nicht erkannt.") ++c.notRecognised;
    }
    c.items = files.size();
    c.frames = frames.size();
    return c;
}

}  // namespace quendra
