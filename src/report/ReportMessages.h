#pragma once

// The report page's German for the batch's English messages. The terminal and run.json keep
// the English the batch names problems in; the page, which a German reader opens, shows each
// in German. One table in ReportMessages.cpp holds every kind of message the batch makes
// ("<file>: cannot read the picture", "<stack>, slice 7: its size differs ..."), as a pattern
// with its German; a message of a kind the table does not know keeps its English text after a
// German lead-in, so that nothing is lost.

#include <string>
#include <string_view>

namespace quendra {

// A problem of run.json cut into the file it concerns and what is wrong with it: the text
// before the first ": " (without a ", frame N" or ", slice N" part), and the rest; a problem
// of the whole run ("the run stopped: ...") has no file.
struct ProblemParts {
    std::string file, reason;
};
ProblemParts splitProblem(std::string_view problem);

// The German of one English message (a problem's reason, a root's note); a message the table
// does not know as "(englische Meldung) <message>". Text, not markup.
std::string germanMessage(std::string_view english);

}  // namespace quendra
