#pragma once

// The run record (run.json): the settings, what the run reads and how the run ended. It is
// written when the run starts, with "status": "running", again before the table's next rows
// whenever problems were named, and at the end, each time replacing the whole file at once, so
// an interrupted run can be told from a finished one and names every problem before the last
// row of its table, however it ended:
//   "running"      the run is going on, or its process was killed outright;
//   "finished"     every input was taken in turn (problems, if any, are listed);
//   "interrupted"  SIGINT, SIGTERM or SIGHUP stopped it; the table holds every finished frame;
//   "stopped"      the table could not be written (a full disk), or the process ran out of
//                  a resource it cannot go on without, and the run ended early.
//
// Every stack taken is listed with the grey window its 16-bit slices were mapped by (null for
// a stack of 8-bit slices, which are taken as they are), so that the mapping of the run's
// frames can be told and repeated.
//
// What a resumed run must share with the run it continues is recorded too: the SHA-256 of the
// colour-class file and of the scale file, the settings, and every input with its size in
// bytes and its modification time (UTC, to the nanosecond the file system keeps); for a
// folder's stack, the bytes of all its slices and the latest time one of them changed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"

namespace quendra {

struct StackRecord {
    std::string stack;  // the input, as the table names it
    int slices = 0;
    std::optional<GreyWindow> window;  // none when no slice had 16 bits
    std::vector<std::string> notes;    // of its roots (StackResults.h)
};

struct RunOutcome {
    std::string status = "running";
    std::size_t itemsDone = 0;
    std::size_t framesDone = 0;
    std::vector<std::string> problems;
    int exitStatus = -1;              // not yet known while running
    std::string started, ended;       // UTC, ISO 8601 ("2026-12-07T21:03:04Z"); ended once it has
    int classThreshold = 0;           // the class threshold the colour classes were used with
    std::vector<StackRecord> stacks;  // in input order
};

// The time now as RunOutcome holds it.
std::string utcTimeNow();

// What the run reads, as it was when the run began.
struct RunSources {
    struct Input {
        std::uintmax_t bytes = 0;
        std::string modified;  // ISO 8601, UTC
    };
    std::optional<std::string> classesSha256, scaleSha256;
    std::vector<Input> inputs;  // by item
};

RunSources runSourcesOf(const BatchOptions& options, const std::vector<BatchItem>& items);

// The record's text: what the run is, written once (a run of many inputs rewrites its record
// often), and then the record as JSON text with how the run stands. Every name in it is UTF-8
// as the table writes it. `warnings` (options without effect, scale rows left out) are listed
// as "warnings".
std::string runRecordStart(const BatchOptions& options, const std::vector<BatchItem>& items,
                           const RunSources& sources, const std::vector<std::string>& warnings);
std::string runRecordText(const std::string& start, const RunOutcome& outcome);

// The problems a record names, and its stacks; none when it cannot be read.
std::vector<std::string> problemsOf(const std::string& recordText);
std::vector<StackRecord> stacksOf(const std::string& recordText);

// What differs between the record of an earlier run (its text) and this run, as a resumed run
// must have the settings and read the very files of the run it continues: one text per
// difference, none when the two agree.
std::vector<std::string> runDifferences(const std::string& recordText, const BatchOptions& options,
                                        const std::vector<BatchItem>& items,
                                        const RunSources& sources);

}  // namespace quendra
