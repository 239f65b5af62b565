#pragma once

// The report page's German for the words of the run's files: the settings of run.json, the
// columns of stacks.csv, canals.csv and levels.csv and the shape classes of the table. A reader of
// the German page still has to find them in the files, so the file's own word follows in
// parentheses where it names a column or an option.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace quendra {

// "Schwellwert (--threshold)" for the setting "threshold", by its declared German label
// (BatchSettings.h); an unknown one as "--<name>".
std::string germanSettingName(std::string_view name);

// A setting's value as the page shows it: "ja", "nein", "automatisch", "nicht gesetzt",
// numbers with the decimal comma, other text as it is.
std::string germanSettingValue(const nlohmann::ordered_json& value);

// "erste Schicht (first_slice)" for the column "first_slice" of stacks.csv, canals.csv or
// levels.csv; an unknown column as it is.
std::string germanStackColumn(std::string_view column);

// "rund (round)" for the shape class "round"; an unknown class as it is.
std::string germanShape(std::string_view shape);

}  // namespace quendra
