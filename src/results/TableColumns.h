#pragma once

// The column lists of the run's tables (ResultsTable.h, StacksTable.h). One list per table, in
// the table's order, makes its header, every row and the row of an input without results, and
// is what the readers find the columns by: a reader asks for a column by its id and finds it,
// by the name the list gives it, in the header it read. A column is named once, in its list,
// and a table with columns moved, added or left out (no millimetre columns) is read alike.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quendra {

// One column of a table whose rows are made from `Row`: its id (an enum that counts the list's
// places from 0), its name in the header, and its cell of a row.
template <typename Id, typename Row>
struct TableColumn {
    Id id;
    std::string_view name;
    std::string (*cell)(const Row&);
    bool place = false;        // says what the row is of: filled on a row without results too
    bool millimetres = false;  // only in a table with millimetre columns
};

// Whether every column stands at the place its id counts, so that an id finds its column.
template <typename Column, std::size_t N>
constexpr bool inIdOrder(const std::array<Column, N>& columns) {
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(columns[i].id) != i) return false;
    return true;
}

// The header line, with the millimetre columns or without.
template <typename Column, std::size_t N>
std::string headerLine(const std::array<Column, N>& columns, bool millimetres = false) {
    std::string line;
    for (const Column& c : columns)
        if (millimetres || !c.millimetres) line += (line.empty() ? "" : ",") + std::string(c.name);
    return line + "\r\n";
}

// A row in the header's columns: every cell, or with `placeOnly` those of the place columns
// alone, the others empty.
template <typename Column, std::size_t N, typename Row>
std::string rowLine(const std::array<Column, N>& columns, const Row& row, bool millimetres = false,
                    bool placeOnly = false) {
    std::string line;
    bool first = true;
    for (const Column& c : columns) {
        if (c.millimetres && !millimetres) continue;
        if (!std::exchange(first, false)) line += ',';
        if (c.place || !placeOnly) line += c.cell(row);
    }
    return line + "\r\n";
}

// Where a header read back holds the columns of a list, by id.
template <typename Id>
class ColumnPlaces {
public:
    static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

    template <typename Column, std::size_t N>
    ColumnPlaces(const std::array<Column, N>& columns, const std::vector<std::string>& header)
        : places(N, kNowhere) {
        for (const Column& c : columns) {
            const auto it = std::find(header.begin(), header.end(), c.name);
            places[static_cast<std::size_t>(c.id)] =
                it == header.end() ? kNowhere : static_cast<std::size_t>(it - header.begin());
        }
    }

    // The column's place in the header, kNowhere when it has none.
    std::size_t at(Id id) const { return places.at(static_cast<std::size_t>(id)); }
    bool has(Id id) const { return at(id) != kNowhere; }
    // A row's cell in the column: empty where the header has no such column or the row ends
    // before it.
    std::string_view cell(const std::vector<std::string>& fields, Id id) const {
        const std::size_t p = at(id);
        return p < fields.size() ? std::string_view(fields[p]) : std::string_view();
    }

private:
    std::vector<std::size_t> places;  // by id
};

}  // namespace quendra
